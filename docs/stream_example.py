#!/usr/bin/env python3
"""Sonar images from `ondrix-cli serve` or the viewer as NumPy arrays: stream_example.py [URL [COUNT]]"""
import asyncio, json, struct, sys
import numpy, websockets

async def receive(url, count):
    async with websockets.connect(url, max_size=None) as stream:
        while count > 0:
            message = await stream.recv()
            if isinstance(message, str):  # a state change: online, recording, playback
                print("state", json.loads(message)); continue
            magic, version, header, length, _ = struct.unpack_from("<4sHHII", message)
            meta = json.loads(message[header:header + length])
            w, h = meta["width"], meta["height"]
            bearings = numpy.frombuffer(message, "<i2", w, header + length) / 100.0  # degrees
            image = numpy.frombuffer(message, numpy.uint8, w * h, header + length + 2 * w).reshape(h, w)
            print(meta["seq"], image.shape, round(float(image.mean()), 2), bearings[0], bearings[-1], meta["range_m"])
            count -= 1

asyncio.run(receive(sys.argv[1] if len(sys.argv) > 1 else "ws://127.0.0.1:8090/stream", int(sys.argv[2]) if len(sys.argv) > 2 else 10))
