#!/usr/bin/env python3
"""log export-frames against recordings of the simulator, read back with NumPy
and checked against `log frames --json` and against the stored messages
themselves (decoded here independently of the C++ parsers).

    export_frames_test.py ONDRIX_SIM ONDRIX_CLI
"""
import json
import os
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import zlib

import numpy  # a missing NumPy fails the test: it is what analysts read with

from loopback import free_port  # beside this script

sim, cli = sys.argv[1], sys.argv[2]
work = tempfile.TemporaryDirectory()


def run(*args, expect=0):
    done = subprocess.run([cli, *args], capture_output=True, text=True)
    assert done.returncode == expect, (args, done.returncode, done.stderr)
    return done


def record(serial, folder, *options):
    os.makedirs(folder)
    run("record", "--serial", str(serial), "--count", "6", "--folder", folder, *options, *listen)
    [name] = os.listdir(folder)
    return os.path.join(folder, name)


def stored_samples(path, entry_id):
    """Samples of a stored version-2 ping result, 4-bit ones widened: the low
    nibble is the earlier sample and each ends up in the high half."""
    (payload,) = sqlite3.connect(path).execute("SELECT payload FROM data WHERE entryId = ?", (entry_id,)).fetchone()
    code = payload[161]
    ranges, beams = struct.unpack_from("<HH", payload, 170)
    offset, size = struct.unpack_from("<II", payload, 190)
    raw = numpy.frombuffer(payload[offset:offset + size], dtype=numpy.uint8)
    if code == 4:
        raw = numpy.stack([(raw << 4) & 0xF0, raw & 0xF0], axis=1).reshape(-1)
    return raw.reshape(ranges, beams)


def png_pixels(path):
    """An 8-bit grayscale PNG decoded with zlib alone."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    chunks, at = {}, 8
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        chunks.setdefault(kind, b"")
        chunks[kind] += data[at + 8:at + 8 + length]
        at += 12 + length
    width, height, depth, colour = struct.unpack_from(">IIBB", chunks[b"IHDR"])
    assert (depth, colour) == (8, 0), (depth, colour)
    raw = zlib.decompress(chunks[b"IDAT"])
    rows, previous = [], bytearray(width)
    for y in range(height):
        kind, line = raw[y * (width + 1)], bytearray(raw[y * (width + 1) + 1:(y + 1) * (width + 1)])
        for x in range(width):
            a = line[x - 1] if x else 0
            b, c = previous[x], previous[x - 1] if x else 0
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            line[x] = (line[x] + [0, a, b, (a + b) // 2, paeth][kind]) & 0xFF
        rows.append(bytes(line))
        previous = line
    return numpy.frombuffer(b"".join(rows), dtype=numpy.uint8).reshape(height, width)


status_port, tcp_port = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM)
listen = ["--listen-address", "127.0.0.1", "--listen-port", str(status_port), "--sonar-port", str(tcp_port)]
sonars = [
    subprocess.Popen([sim, "--quiet", "--no-commands", "--serial", str(serial), "--address", address,
                      "--port", str(tcp_port), "--status-port", str(status_port), "--status-interval-ms", "100",
                      "--range-lines", str(lines), "--duration", "120", *extra])
    for serial, address, lines, extra in [(63001, "127.0.0.2", 40, []), (63002, "127.0.0.3", 30, ["--four-bit"])]
]
try:
    plain = record(63001, os.path.join(work.name, "plain"), "--full-beams")
    packed = record(63002, os.path.join(work.name, "packed"))
finally:
    for sonar in sonars:
        sonar.terminate()
        sonar.wait()

# Frames 1..4 of the 512-beam recording, against the frame list and the
# stored messages.
frames = [json.loads(line) for line in run("log", "frames", plain, "--json").stdout.splitlines()]
out = os.path.join(work.name, "plain.npz")
run("log", "export-frames", plain, "--format", "npz", "--from", "1", "--to", "4", out)
with numpy.load(out) as npz:
    images = npz["images"]
    assert images.dtype == numpy.uint8 and images.shape == (4, 40, 512), (images.dtype, images.shape)
    assert npz["frames"].tolist() == [1, 2, 3, 4]
    assert npz["entry_ids"].tolist() == [f["entryId"] for f in frames[1:5]]
    assert npz["timestamps_ms"].tolist() == [f["timestamp"] for f in frames[1:5]]
    assert numpy.allclose(npz["pitch"], [f["pitch"] for f in frames[1:5]])
    assert numpy.allclose(npz["range_m"], [f["range"] for f in frames[1:5]])
    assert npz["bearings_deg"].shape == (4, 512) and npz["bearings_deg"][0, 0] < 0 < npz["bearings_deg"][0, -1]
    rows = npz["row_ranges_m"]
    assert rows.shape == (4, 40) and numpy.isclose(rows[0, 0], frames[1]["range"] / 80), rows[0, :2]
    for i in range(4):
        assert (images[i] == stored_samples(plain, frames[i + 1]["entryId"])).all(), i
    assert images.std() > 0, "the images hold a scene, not a constant"
# An existing output is never overwritten.
assert "not overwritten" in run("log", "export-frames", plain, "--format", "npz", out, expect=4).stderr

# 4-bit samples are widened as the display widens them.
out = os.path.join(work.name, "packed.npz")
run("log", "export-frames", packed, "--format", "npz", out)
with numpy.load(out) as npz:
    assert npz["images"].shape == (6, 30, 256)
    assert (npz["images"][5] == stored_samples(packed, int(npz["entry_ids"][5]))).all()
    assert (npz["images"] & 0x0F == 0).all()

# A log whose shape changes: the .npz is refused with the spans listed; PNGs
# take any mix.
mixed = os.path.join(work.name, "mixed.ondrix")
subprocess.run(["cp", plain, mixed], check=True)
db = sqlite3.connect(mixed)
db.executemany("INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (?, ?, 1, ?, ?)",
               sqlite3.connect(packed).execute("SELECT timestamp, type, length, payload FROM data LIMIT 2"))
db.commit()
refused = run("log", "export-frames", mixed, "--format", "npz", os.path.join(work.name, "mixed.npz"), expect=6)
assert "frames 0-5: 512 beams x 40 ranges" in refused.stderr and "frames 6-7: 256 beams x 30 ranges" in refused.stderr
assert not os.path.exists(os.path.join(work.name, "mixed.npz"))
pictures = os.path.join(work.name, "pictures")
run("log", "export-frames", mixed, "--format", "png", "--from", "5", "--to", "6", pictures)
assert sorted(os.listdir(pictures)) == ["frame_000005.png", "frame_000006.png", "frames.csv"]
csv = [line.split(",") for line in open(os.path.join(pictures, "frames.csv")).read().splitlines()]
assert csv[0][:4] == ["file", "frame", "entry_id", "timestamp_ms"] and len(csv) == 3
assert [row[7:9] for row in csv[1:]] == [["512", "40"], ["256", "30"]]
for row in csv[1:]:
    pixels = png_pixels(os.path.join(pictures, row[0]))
    assert (pixels == stored_samples(mixed, int(row[2]))).all(), row[0]
    assert len(row[11].split(" ")) == int(row[7]) and len(row[12].split(" ")) == int(row[8])
print("export-frames: all checks passed")
