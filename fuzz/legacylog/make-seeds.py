#!/usr/bin/env python3
# Writes the seed corpus of the older-format reader: small well-formed files
# covering each record kind, and a few near misses.
import os, struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')

def header(magic=0x11223344):
    return struct.pack('<II16sIIQd', magic, 48, b'Ondrix', 1, 0, 0, 1700000000.0)

def record(kind, time, payload, flag=0, size=None):
    size = len(payload) if size is None else size
    return struct.pack('<IIHHIdHHIII', 0xAABBCCDD, 40, kind, flag, 0, time, 0, 0, size, size, 0) + payload

def ping(version, beams=2, ranges=2):
    fixed = 202 if version == 2 else 122
    image = bytes(range(beams * ranges))
    body = bytearray(fixed)
    total = fixed + 2 * beams + len(image)
    struct.pack_into('<HHHHHIH', body, 0, 0x3A7C, 51001, 0, 0x23, version, total - 16, 1032)
    counts = (170, 190) if version == 2 else (106, 110)
    struct.pack_into('<HH', body, counts[0], ranges, beams)
    struct.pack_into('<II', body, counts[1], fixed + 2 * beams, len(image))
    return bytes(body) + struct.pack('<%dh' % beams, *range(beams)) + image

def configuration(beams):
    return struct.pack('<fffHH', 10.0, 50.0, 1.0, 4, beams) + struct.pack('<%dh' % beams, *range(beams))

seeds = {
    'header-only': header(),
    'group-of-three': header() + b''.join(record(10, 5.0, ping(1)) for _ in range(3)),
    'ping-v2': header() + record(10, 5.0, ping(2), flag=2) + record(10, 6.0, ping(1)),
    'configured-images': header() + record(20, 5.0, configuration(3)) + record(21, 5.0, bytes(12)) * 2,
    'image-before-configuration': header() + record(21, 5.0, bytes(8)) + record(99, 5.5, b'xyz'),
    'truncated-payload': header() + record(10, 5.0, ping(1), size=400),
    'wrong-magic': header(0x11223345) + record(10, 5.0, ping(1)),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)
