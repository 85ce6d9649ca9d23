#!/usr/bin/env python3
"""Writes the standard palette image: 256 x 60 pixels, 24-bit Windows bitmap.

Six bands of ten identical rows, band p at rows 10p..10p+9 from the top. Each band
passes exactly through its sample colours (entries 0, 32, ..., 224, 255) and runs
between them on a monotone cubic, so there is no overshoot and no visible kink.

Usage: generate-palettes.py OUTPUT.bmp
"""
import struct
import sys

SAMPLE_POSITIONS = [0, 32, 64, 96, 128, 160, 192, 224, 255]

BANDS = [
    # grey
    [(1, 1, 1), (49, 49, 49), (95, 95, 95), (125, 125, 125), (153, 153, 153),
     (183, 183, 183), (213, 213, 213), (234, 234, 234), (254, 254, 254)],
    # amber
    [(2, 1, 0), (64, 41, 0), (126, 80, 0), (186, 118, 0), (242, 157, 6),
     (255, 243, 204), (255, 247, 223), (255, 251, 239), (255, 255, 255)],
    # blue
    [(0, 2, 6), (0, 60, 148), (0, 99, 177), (0, 147, 204), (1, 193, 230),
     (47, 222, 243), (96, 250, 255), (211, 253, 255), (255, 255, 255)],
    # green
    [(0, 2, 0), (12, 59, 3), (57, 99, 0), (114, 148, 0), (169, 194, 1),
     (206, 223, 46), (242, 250, 95), (252, 254, 214), (255, 255, 255)],
    # red
    [(3, 0, 0), (85, 12, 7), (167, 24, 13), (215, 55, 19), (212, 111, 22),
     (206, 175, 26), (218, 202, 26), (236, 218, 25), (253, 234, 25)],
    # spectrum
    [(0, 0, 0), (0, 0, 103), (0, 33, 191), (0, 114, 252), (52, 173, 202),
     (184, 229, 70), (255, 255, 0), (255, 255, 135), (255, 255, 255)],
]

WIDTH = 256
ROWS_PER_BAND = 10


def monotone_slopes(xs, ys):
    """Fritsch-Carlson tangents: keep each segment monotone between samples."""
    n = len(xs)
    secants = [(ys[k + 1] - ys[k]) / (xs[k + 1] - xs[k]) for k in range(n - 1)]
    slopes = [secants[0]] + [0.0] * (n - 2) + [secants[-1]]
    for k in range(1, n - 1):
        if secants[k - 1] * secants[k] <= 0:
            slopes[k] = 0.0
        else:
            h0 = xs[k] - xs[k - 1]
            h1 = xs[k + 1] - xs[k]
            w0 = 2 * h1 + h0
            w1 = h1 + 2 * h0
            slopes[k] = (w0 + w1) / (w0 / secants[k - 1] + w1 / secants[k])
    return slopes


def interpolate(xs, ys, slopes, x):
    for k in range(len(xs) - 1):
        if xs[k] <= x <= xs[k + 1]:
            h = xs[k + 1] - xs[k]
            t = (x - xs[k]) / h
            h00 = 2 * t ** 3 - 3 * t ** 2 + 1
            h10 = t ** 3 - 2 * t ** 2 + t
            h01 = -2 * t ** 3 + 3 * t ** 2
            h11 = t ** 3 - t ** 2
            return h00 * ys[k] + h10 * h * slopes[k] + h01 * ys[k + 1] + h11 * h * slopes[k + 1]
    raise ValueError(x)


def band_colours(samples):
    channels = []
    for c in range(3):
        ys = [float(s[c]) for s in samples]
        slopes = monotone_slopes(SAMPLE_POSITIONS, ys)
        values = []
        for i in range(WIDTH):
            v = round(interpolate(SAMPLE_POSITIONS, ys, slopes, float(i)))
            values.append(max(0, min(255, v)))
        channels.append(values)
    return [(channels[0][i], channels[1][i], channels[2][i]) for i in range(WIDTH)]


def write_bmp(path, rows):
    height = len(rows)
    row_bytes = WIDTH * 3  # 768, already a multiple of four
    image_size = row_bytes * height
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    with open(path, 'wb') as out:
        out.write(header)
        out.write(info)
        for row in reversed(rows):  # bitmaps store the bottom row first
            out.write(bytes(b for (r, g, bl) in row for b in (bl, g, r)))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    rows = []
    for samples in BANDS:
        colours = band_colours(samples)
        for pos, sample in zip(SAMPLE_POSITIONS, samples):
            assert colours[pos] == sample, (pos, colours[pos], sample)
        rows.extend([colours] * ROWS_PER_BAND)
    write_bmp(sys.argv[1], rows)


if __name__ == '__main__':
    main()
