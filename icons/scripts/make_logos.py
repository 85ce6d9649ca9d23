#!/usr/bin/env python3
"""Generates the logos: Keldar (maker), Ondrix (product) and Lumivane (viewer).

Letters come from a small monoline alphabet drawn here and turned into filled
outlines, so the logos look the same on every machine (no fonts involved) and
are recoloured through `fill` alone, which is what the toolkit's logo widgets
and the main window set.

Run from anywhere: python3 icons/scripts/make_logos.py
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from svgkit import fmt, outline_polyline, polar, pt, sample_arc, write  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
LOGOS = os.path.join(HERE, "..", "resources", "keldar-icons", "Logos")
ARTWORK = os.path.join(HERE, "..", "artwork")

CAP = 10.0  # cap height of the alphabet, in its own units

# Each glyph: (advance width, list of polylines). y grows downwards, 0 is the cap line.
GLYPHS = {
    "A": (7.6, [[(0, 10), (3.8, 0), (7.6, 10)], [(1.45, 6.2), (6.15, 6.2)]]),
    "D": (7.6, [[(0, 0), (0, 10), (2.6, 10)] + sample_arc(2.6, 5, 5, 5, 180, 0)
                + [(0, 0)]]),
    "E": (6.0, [[(6, 0), (0, 0), (0, 10), (6, 10)], [(0, 5), (5, 5)]]),
    "I": (0.0, [[(0, 0), (0, 10)]]),
    "K": (6.6, [[(0, 0), (0, 10)], [(6.6, 0), (0, 6.2)], [(2.4, 3.95), (6.6, 10)]]),
    "L": (5.8, [[(0, 0), (0, 10), (5.8, 10)]]),
    "M": (8.4, [[(0, 10), (0, 0), (4.2, 7), (8.4, 0), (8.4, 10)]]),
    "N": (7.2, [[(0, 10), (0, 0), (7.2, 10), (7.2, 0)]]),
    "O": (9.4, [sample_arc(4.7, 5, 4.7, 5, 0, 360, 72)]),
    "R": (6.6, [[(0, 10), (0, 0), (3.4, 0)] + sample_arc(3.4, 2.8, 2.8, 2.8, 0, 180, 24)
                + [(0, 5.6)], [(3.0, 5.6), (6.6, 10)]]),
    "U": (7.2, [[(0, 0), (0, 6.4)] + sample_arc(3.6, 6.4, 3.6, 3.6, 270, 90, 30) + [(7.2, 0)]]),
    "V": (7.6, [[(0, 0), (3.8, 10), (7.6, 0)]]),
    "X": (7.2, [[(0, 0), (7.2, 10)], [(7.2, 0), (0, 10)]]),
}


def wordmark(text, x, y, height, weight, tracking):
    """Filled outline of `text`, top left at (x, y), cap height `height`.

    `weight` is the stroke width as a fraction of the cap height, `tracking`
    the gap between letters in the same unit. Returns (path data, width).
    """
    scale = height / CAP
    half = weight * CAP / 2
    parts = []
    cursor = 0.0
    for i, letter in enumerate(text):
        advance, strokes = GLYPHS[letter]
        for stroke in strokes:
            points = [(x + (cursor + px) * scale, y + py * scale) for px, py in stroke]
            parts.append(outline_polyline(points, half * scale))
        cursor += advance
        if i + 1 < len(text):
            cursor += tracking * CAP
    return " ".join(parts), cursor * scale


def fan_bands(cx, cy, radii, half_angle, heading=0.0):
    """Concentric bands of a sonar fan as filled ring sectors, apex at (cx, cy).
    A band with inner radius 0 is the solid tip of the fan."""
    parts = []
    for inner, outer in radii:
        a0, a1 = heading - half_angle, heading + half_angle
        o0, o1 = polar(cx, cy, outer, a0), polar(cx, cy, outer, a1)
        head = f"M{pt(*o0)} A{fmt(outer)} {fmt(outer)} 0 0 1 {pt(*o1)} "
        if inner <= 0:
            parts.append(head + f"L{pt(cx, cy)} Z")
            continue
        i1, i0 = polar(cx, cy, inner, a1), polar(cx, cy, inner, a0)
        parts.append(head + f"L{pt(*i1)} A{fmt(inner)} {fmt(inner)} 0 0 0 {pt(*i0)} Z")
    return " ".join(parts)


def fan_emblem(cx, cy, size):
    """The sonar fan mark shared by the product and viewer logos and the app icon:
    a wide fan split by two range rings. `size` is its height, its width is
    about 1.7 times that."""
    k = size / 20.0
    return fan_bands(cx, cy, [(0, 6.6 * k), (7.5 * k, 13.2 * k), (14.1 * k, 20 * k)], 60)


def document(width, height, comment, elements):
    body = "\n".join(elements)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f"<!-- {comment} -->\n"
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{fmt(width)}" height="{fmt(height)}" viewBox="0 0 {fmt(width)} {fmt(height)}">\n'
            f"{body}\n</svg>\n")


def filled(element_id, d, colour):
    return f'<path id="{element_id}" d="{d}" fill="{colour}" stroke="none"/>'


def keldar_logo():
    # Emblem: a transducer bar sending two wave fronts, then the name.
    emblem = outline_polyline([(4, 6), (4, 30)], 2.1)
    for r in (6.5, 12):
        emblem += " " + outline_polyline(sample_arc(4, 18, r, r, 45, 135, 24), 2.1)
    text, width = wordmark("KELDAR", 30, 8, 20, 0.2, 0.36)
    total = 30 + width + 4
    comment = ('Keldar logo. First colour: element "firstColour" (and the document fill); '
               'second colour: element "secondColour". Both are set through fill.')
    return document(total, 36, comment, [filled("firstColour", text, "#1d232b"),
                                         filled("secondColour", emblem, "#e0662a")])


def ondrix_logo():
    emblem = fan_emblem(20, 27, 22)
    text, width = wordmark("ONDRIX", 44, 7, 20, 0.19, 0.34)
    total = 44 + width + 3
    comment = 'Ondrix product logo, one colour: the fill of element "logo" (or of the whole document).'
    return document(total, 34, comment, [f'<g id="logo">\n{filled("mark", emblem, "#1d232b")}\n'
                                         f'{filled("name", text, "#1d232b")}\n</g>'])


def lumivane_logo():
    emblem = fan_emblem(46, 62, 50)
    product, product_width = wordmark("ONDRIX", 100, 14, 13, 0.16, 0.7)
    viewer, viewer_width = wordmark("LUMIVANE", 100, 36, 26, 0.19, 0.32)
    total = 100 + max(product_width, viewer_width) + 6
    comment = ('Ondrix Lumivane logo. Recolour through fill: "text" (the word ONDRIX, usually the '
               'foreground colour), "text2" (LUMIVANE) and "logo" (the fan mark), usually the accent.')
    return document(total, 72, comment, [filled("text", product, "#1d232b"),
                                         filled("text2", viewer, "#1fa3c4"),
                                         filled("logo", emblem, "#1fa3c4")])


def main():
    write(os.path.join(LOGOS, "KeldarLogo.svg"), keldar_logo())
    write(os.path.join(LOGOS, "OndrixLogo.svg"), ondrix_logo())
    write(os.path.join(ARTWORK, "LumivaneLogo.svg"), lumivane_logo())
    print("logos written")


if __name__ == "__main__":
    main()
