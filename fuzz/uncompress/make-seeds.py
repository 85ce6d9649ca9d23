#!/usr/bin/env python3
"""Writes the seed corpus: a few small framed streams (4-byte little-endian
length + zlib stream) and some near misses around them."""
import pathlib
import struct
import zlib

corpus = pathlib.Path(__file__).resolve().parent / "corpus"
corpus.mkdir(exist_ok=True)


def frame(data: bytes, level: int) -> bytes:
    return struct.pack("<I", len(data)) + zlib.compress(data, level)


samples = {
    "text-l6": frame(b"Ondrix sonar frame " * 8, 6),
    "zeros-l9": frame(bytes(2000), 9),
    "stored-l0": frame(bytes(range(256)), 0),
    "speckle-l1": frame(bytes((i * 73 + (i >> 3) * 11) & 0x3F for i in range(700)), 1),
    "one-byte": frame(b"\x42", 6),
    "prefix-too-long": struct.pack("<I", 1001) + zlib.compress(bytes(1000)),
    "prefix-huge": struct.pack("<I", 0xFFFFFFFF) + zlib.compress(b"abc"),
    "prefix-only": struct.pack("<I", 5) + b"\x78",
    "bad-checksum": frame(b"checksum", 6)[:-1] + b"\x00",
}
for name, data in samples.items():
    (corpus / name).write_bytes(data)
