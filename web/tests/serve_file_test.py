#!/usr/bin/env python3
"""`ondrix-cli serve FILE`: a recording of the simulator is played to a stream
client, which pauses it, seeks it and plays it again; the file's bytes stay as
they were.

    serve_file_test.py ONDRIX_SIM ONDRIX_CLI
"""
import asyncio
import hashlib
import json
import os
import subprocess
import sys
import tempfile

import websockets  # Debian's python3-websockets

from loopback import Loopback

sim, cli = sys.argv[1], sys.argv[2]
work = tempfile.TemporaryDirectory()


net = Loopback()
web_port = net.web_port
sonar = net.simulator(sim, 64201, "--range-lines", "80", "--duration", "60")
try:
    subprocess.run([cli, "record", "--serial", "64201", "--count", "30", "--folder", work.name, *net.listen],
                   check=True, capture_output=True)
finally:
    sonar.terminate()
    sonar.wait()
[name] = os.listdir(work.name)
path = os.path.join(work.name, name)
before = hashlib.sha256(open(path, "rb").read()).hexdigest()


async def next_state(stream, wanted):
    while True:
        message = await asyncio.wait_for(stream.recv(), 20)
        if isinstance(message, str):
            state = json.loads(message)
            if wanted(state):
                return state


async def next_image(stream):
    while True:
        message = await asyncio.wait_for(stream.recv(), 20)
        if not isinstance(message, str):
            header, length = int.from_bytes(message[6:8], "little"), int.from_bytes(message[8:12], "little")
            return json.loads(message[header:header + length])


async def drive():
    async with websockets.connect("ws://127.0.0.1:%d/stream" % web_port, max_size=None) as stream:
        first = await next_image(stream)
        assert first["playback"]["frames"] == 30, first["playback"]
        await stream.send(json.dumps({"control": "pause"}))
        await next_state(stream, lambda s: s["playback"] and not s["playback"]["playing"])
        await stream.send(json.dumps({"control": "seek", "frame": 17}))
        image = await next_image(stream)
        while image["playback"]["frame"] != 17:  # images sent before the pause
            image = await next_image(stream)
        assert image["height"] == 80, image
        await stream.send(json.dumps({"control": "seek", "frame": 30}))  # past the end: ignored
        await stream.send(json.dumps({"control": "record"}))  # not a control there is
        await stream.send(json.dumps({"control": "play"}))
        await next_state(stream, lambda s: s["playback"] and s["playback"]["playing"])
        image = await next_image(stream)
        assert image["playback"]["frame"] != 17 or image["playback"]["playing"], image


server = subprocess.Popen([cli, "serve", path, "--port", str(web_port)], stdout=subprocess.PIPE, text=True)
try:
    assert "http://127.0.0.1:%d/" % web_port in server.stdout.readline()
    asyncio.run(drive())
finally:
    server.terminate()
    assert server.wait(timeout=10) == 0, "serve did not end cleanly on SIGTERM"
assert hashlib.sha256(open(path, "rb").read()).hexdigest() == before, "serving changed the recording"
assert os.listdir(work.name) == [name], os.listdir(work.name)
print("serve file test passed")
