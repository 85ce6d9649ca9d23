#!/usr/bin/env python3
"""Writes the four layers of the attitude indicator as SVG files.

All layers share one unit: the instrument is 240 units across, its window
(where sky and ground show) has radius 100 and the bezel reaches 118. Each
layer is drawn centred in its own view box; the widget rotates and shifts the
layers about their centres. Pitch moves the face by 1.7 units per degree, so
the ladder rungs are 8.5 units apart for every 5 degrees.
"""
import math
import pathlib

OUT = pathlib.Path(__file__).resolve().parent / "adiWidget"
UNITS_PER_DEGREE = 1.7
SKY_TOP, SKY_HORIZON = "#1B5A9E", "#5FA8E8"
GROUND_HORIZON, GROUND_BOTTOM = "#8C5A2B", "#4E3015"


def document(size, body):
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
            f'viewBox="0 0 {size} {size}">\n{body}</svg>\n')


def gradients():
    return (f'<defs>\n'
            f'<linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{SKY_TOP}"/><stop offset="1" stop-color="{SKY_HORIZON}"/></linearGradient>\n'
            f'<linearGradient id="ground" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{GROUND_HORIZON}"/><stop offset="1" stop-color="{GROUND_BOTTOM}"/></linearGradient>\n'
            f'</defs>\n')


def back():
    # Sky and ground behind the face; seen only at the rim when the face moves.
    c, r = 120, 100
    return document(240, gradients() +
                    f'<path d="M {c - r} {c} A {r} {r} 0 0 1 {c + r} {c} Z" fill="url(#sky)"/>\n'
                    f'<path d="M {c - r} {c} A {r} {r} 0 0 0 {c + r} {c} Z" fill="url(#ground)"/>\n')


def face():
    # Large enough to cover the window when shifted by 20 degrees of pitch and rotated.
    size = 300
    c = size / 2
    parts = [gradients(),
             f'<rect x="0" y="0" width="{size}" height="{c}" fill="url(#sky)"/>\n',
             f'<rect x="0" y="{c}" width="{size}" height="{c}" fill="url(#ground)"/>\n',
             f'<line x1="0" y1="{c}" x2="{size}" y2="{c}" stroke="#FFFFFF" stroke-width="1.6"/>\n']
    for degrees in range(-30, 31, 5):
        if degrees == 0:
            continue
        y = c - degrees * UNITS_PER_DEGREE
        half = 20 if degrees % 10 == 0 else 9
        parts.append(f'<line x1="{c - half}" y1="{y:.1f}" x2="{c + half}" y2="{y:.1f}" '
                     f'stroke="#FFFFFF" stroke-width="1.2" stroke-linecap="round"/>\n')
        if degrees % 10 == 0:
            label = str(abs(degrees))
            for x, anchor in ((c - half - 3, "end"), (c + half + 3, "start")):
                parts.append(f'<text x="{x}" y="{y + 3:.1f}" font-family="sans-serif" font-size="8" '
                             f'font-weight="bold" fill="#FFFFFF" text-anchor="{anchor}">{label}</text>\n')
    return document(size, "".join(parts))


def ring():
    # The roll scale: a dark band with ticks, read against the fixed pointer of the case.
    c, outer, inner = 120, 100, 84
    parts = [f'<path d="M {c} {c - outer} A {outer} {outer} 0 1 1 {c - 0.01} {c - outer} Z '
             f'M {c} {c - inner} A {inner} {inner} 0 1 0 {c + 0.01} {c - inner} Z" '
             f'fill="#000000" fill-opacity="0.35" fill-rule="evenodd"/>\n']
    for angle, length, width in ((10, 6, 1.2), (20, 6, 1.2), (30, 11, 1.8), (45, 6, 1.2), (60, 11, 1.8), (90, 11, 1.8)):
        for sign in (-1, 1):
            a = math.radians(sign * angle)
            x1, y1 = c + outer * math.sin(a), c - outer * math.cos(a)
            x2, y2 = c + (outer - length) * math.sin(a), c - (outer - length) * math.cos(a)
            parts.append(f'<line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}" '
                         f'stroke="#FFFFFF" stroke-width="{width}" stroke-linecap="round"/>\n')
    # The zero mark: an open triangle at the top of the scale.
    parts.append(f'<path d="M {c} {c - inner - 1} L {c - 6} {c - outer + 1} L {c + 6} {c - outer + 1} Z" '
                 f'fill="none" stroke="#FFFFFF" stroke-width="1.4" stroke-linejoin="round"/>\n')
    return document(240, "".join(parts))


def case():
    # The fixed bezel, the roll pointer and the level marker.
    c, inner, outer = 120, 100, 118
    marker, outline = "#FFB300", "#1A1A1A"
    parts = [f'<defs><linearGradient id="bezel" x1="0" y1="0" x2="0" y2="1">'
             f'<stop offset="0" stop-color="#5A5F66"/><stop offset="1" stop-color="#23262A"/></linearGradient></defs>\n',
             f'<path d="M {c} {c - outer} A {outer} {outer} 0 1 1 {c - 0.01} {c - outer} Z '
             f'M {c} {c - inner} A {inner} {inner} 0 1 0 {c + 0.01} {c - inner} Z" '
             f'fill="url(#bezel)" fill-rule="evenodd"/>\n',
             f'<circle cx="{c}" cy="{c}" r="{inner + 0.6}" fill="none" stroke="#0D0F11" stroke-width="1.6"/>\n',
             f'<circle cx="{c}" cy="{c}" r="{outer - 0.6}" fill="none" stroke="#7A8089" stroke-width="1"/>\n',
             # Roll pointer, reaching into the scale from below it.
             f'<path d="M {c} {c - inner + 1} L {c - 6} {c - inner + 11} L {c + 6} {c - inner + 11} Z" '
             f'fill="{marker}" stroke="{outline}" stroke-width="1" stroke-linejoin="round"/>\n']
    # Level marker: two wings with a drop at their inner ends and a centre dot.
    for sign in (-1, 1):
        x_outer, x_inner = c + sign * 62, c + sign * 22
        parts.append(f'<path d="M {x_outer} {c - 2.5} L {x_inner} {c - 2.5} L {x_inner} {c + 8} '
                     f'L {x_inner - sign * 5} {c + 8} L {x_inner - sign * 5} {c + 2.5} L {x_outer} {c + 2.5} Z" '
                     f'fill="{marker}" stroke="{outline}" stroke-width="1" stroke-linejoin="round"/>\n')
    parts.append(f'<circle cx="{c}" cy="{c}" r="3.5" fill="{marker}" stroke="{outline}" stroke-width="1"/>\n')
    return document(240, "".join(parts))


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, make in (("Back", back), ("Face", face), ("Ring", ring), ("Case", case)):
        (OUT / f"{name}.svg").write_text(make(), encoding="utf-8")


if __name__ == "__main__":
    main()
