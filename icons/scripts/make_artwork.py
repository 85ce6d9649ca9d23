#!/usr/bin/env python3
"""Generates the raster artwork into icons/artwork/:

- devices/Ondrix*.png: product pictures of the sonar heads (256 px, transparent);
- recording.gif: the pulsing red dot shown while a log is being recorded;
- ondrix-lumivane.svg and OndrixLumivane.ico: the application icon.

Each picture is described once as a list of shapes and written as SVG and as
ImageMagick MVG; `convert` rasterises the MVG (it has no SVG reader here).

Run from anywhere: python3 icons/scripts/make_artwork.py
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_logos import fan_emblem  # noqa: E402
from svgkit import circle_path, fmt, write  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ARTWORK = os.path.normpath(os.path.join(HERE, "..", "artwork"))


class Gradient:
    """Linear gradient between two points in picture coordinates."""

    def __init__(self, x0, y0, x1, y1, stops):
        self.x0, self.y0, self.x1, self.y1, self.stops = x0, y0, x1, y1, stops


class Shape:
    def __init__(self, d, fill=None, stroke=None, width=0.0, opacity=1.0):
        self.d, self.fill, self.stroke, self.width, self.opacity = d, fill, stroke, width, opacity


def rounded_rect(x0, y0, x1, y1, r):
    return (f"M{fmt(x0 + r)} {fmt(y0)} H{fmt(x1 - r)} A{fmt(r)} {fmt(r)} 0 0 1 {fmt(x1)} {fmt(y0 + r)} "
            f"V{fmt(y1 - r)} A{fmt(r)} {fmt(r)} 0 0 1 {fmt(x1 - r)} {fmt(y1)} H{fmt(x0 + r)} "
            f"A{fmt(r)} {fmt(r)} 0 0 1 {fmt(x0)} {fmt(y1 - r)} V{fmt(y0 + r)} "
            f"A{fmt(r)} {fmt(r)} 0 0 1 {fmt(x0 + r)} {fmt(y0)} Z")


def to_svg(size, shapes, comment):
    defs, body = [], []
    for i, s in enumerate(shapes):
        fill = "none"
        if isinstance(s.fill, Gradient):
            g = s.fill
            stops = "".join(f'<stop offset="{fmt(o)}" stop-color="{c}"/>' for o, c in g.stops)
            defs.append(f'<linearGradient id="g{i}" gradientUnits="userSpaceOnUse" x1="{fmt(g.x0)}" '
                        f'y1="{fmt(g.y0)}" x2="{fmt(g.x1)}" y2="{fmt(g.y1)}">{stops}</linearGradient>')
            fill = f"url(#g{i})"
        elif s.fill:
            fill = s.fill
        stroke = f' stroke="{s.stroke}" stroke-width="{fmt(s.width)}" stroke-linecap="round"' \
            if s.stroke else ' stroke="none"'
        opacity = f' opacity="{fmt(s.opacity)}"' if s.opacity < 1 else ""
        body.append(f'<path d="{s.d}" fill="{fill}"{stroke}{opacity}/>')
    defs_text = f"<defs>\n{chr(10).join(defs)}\n</defs>\n" if defs else ""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f"<!-- {comment} -->\n"
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="{size}" '
            f'height="{size}" viewBox="0 0 {size} {size}">\n{defs_text}' + "\n".join(body) + "\n</svg>\n")


def to_mvg(size, shapes):
    out = [f"viewbox 0 0 {size} {size}"]
    for i, s in enumerate(shapes):
        out.append("push graphic-context")
        if isinstance(s.fill, Gradient):
            g = s.fill
            out += ["push defs",
                    f"push gradient 'g{i}' linear {fmt(g.x0)},{fmt(g.y0)} {fmt(g.x1)},{fmt(g.y1)}"]
            out += [f"stop-color '{c}' {fmt(o)}" for o, c in g.stops]
            out += ["pop gradient", "pop defs", f"fill 'url(#g{i})'"]
        else:
            out.append(f"fill '{s.fill}'" if s.fill else "fill none")
        if s.stroke:
            out += [f"stroke '{s.stroke}'", f"stroke-width {fmt(s.width)}", "stroke-linecap round"]
        else:
            out.append("stroke none")
        if s.opacity < 1:
            out.append(f"opacity {fmt(s.opacity)}")
        out.append(f"path '{s.d}'")
        out.append("pop graphic-context")
    return "\n".join(out) + "\n"


def rasterise(size, shapes, target, out_size=None):
    with tempfile.NamedTemporaryFile("w", suffix=".mvg", delete=False) as f:
        f.write(to_mvg(size, shapes))
        name = f.name
    try:
        # No time stamps in the files, so regenerating unchanged art changes nothing.
        command = ["convert", "-size", f"{size}x{size}", "-background", "none", f"MVG:{name}",
                   "-define", "png:exclude-chunks=date,time"]
        if out_size:
            command += ["-resize", f"{out_size}x{out_size}"]
        subprocess.run(command + [target], check=True)
    finally:
        os.unlink(name)


# --- device pictures -----------------------------------------------------------

METAL = [(0, "#8a95a1"), (0.3, "#5d6772"), (1, "#22272d")]
WINDOW = [(0, "#2a3038"), (1, "#07090b")]


def ellipse_path(cx, cy, rx, ry):
    return (f"M{fmt(cx - rx)} {fmt(cy)} A{fmt(rx)} {fmt(ry)} 0 1 1 {fmt(cx + rx)} {fmt(cy)} "
            f"A{fmt(rx)} {fmt(ry)} 0 1 1 {fmt(cx - rx)} {fmt(cy)} Z")


def sonar_head(length, diameter, band_colour, bracket=False):
    """A compact sonar head seen from the side: a cylindrical anodised housing,
    the domed dark acoustic window in front (right), a coloured model band
    behind the window and the cable leaving through a gland at the back."""
    cx, cy = 138, 112
    x0, x1 = cx - length / 2, cx + length / 2
    r = diameter / 2
    y0, y1 = cy - r, cy + r
    shapes = []
    if bracket:
        shapes.append(Shape(rounded_rect(x0 + 14, y1 - 10, x1 - 20, y1 + 20, 5),
                            fill=Gradient(0, y1 - 10, 0, y1 + 20, METAL), stroke="#1c2025", width=2))
        for hx in (x0 + 32, x1 - 38):
            shapes.append(Shape(ellipse_path(hx, y1 + 9, 5, 4), fill="#101316"))
    # Cable first, so the gland covers its end.
    shapes.append(Shape(f"M{fmt(x0 - 26)} {fmt(cy)} C{fmt(x0 - 64)} {fmt(cy)} {fmt(x0 - 56)} {fmt(cy + 86)} "
                        f"{fmt(x0 - 10)} {fmt(cy + 112)}", stroke="#15181c", width=11))
    shapes.append(Shape(rounded_rect(x0 - 30, cy - 9, x0 - 6, cy + 9, 3),
                        fill=Gradient(0, cy - 9, 0, cy + 9, [(0, "#9aa5b1"), (0.4, "#5f6974"), (1, "#2a2f35")])))
    shapes.append(Shape(rounded_rect(x0 - 16, cy - 14, x0 - 4, cy + 14, 3),
                        fill=Gradient(0, cy - 14, 0, cy + 14, [(0, "#a4afbb"), (0.4, "#68727e"), (1, "#2d3238")])))
    # Back cap and body of the cylinder.
    shapes.append(Shape(ellipse_path(x0, cy, 12, r), fill=Gradient(0, y0, 0, y1, METAL),
                        stroke="#1c2025", width=2))
    shapes.append(Shape(f"M{fmt(x0)} {fmt(y0)} H{fmt(x1)} V{fmt(y1)} H{fmt(x0)} Z",
                        fill=Gradient(0, y0, 0, y1, METAL)))
    shapes.append(Shape(f"M{fmt(x0)} {fmt(y0)} H{fmt(x1)} M{fmt(x0)} {fmt(y1)} H{fmt(x1)}",
                        stroke="#1c2025", width=2))
    # Flange bolts near the back.
    for k in (-0.55, 0, 0.55):
        shapes.append(Shape(ellipse_path(x0 + 14, cy + k * r, 2.6, 3.2), fill="#b7c0c9",
                            stroke="#2a2f35", width=1))
    # Model band just behind the window.
    band = Gradient(0, y0, 0, y1, [(0, band_colour), (0.7, band_colour), (1, "#3a3d42")])
    shapes.append(Shape(f"M{fmt(x1 - 36)} {fmt(y0)} H{fmt(x1 - 16)} V{fmt(y1)} H{fmt(x1 - 36)} Z", fill=band))
    # Highlight along the top of the cylinder.
    shapes.append(Shape(rounded_rect(x0 + 4, y0 + 0.18 * diameter - 4, x1 - 4, y0 + 0.18 * diameter + 4, 4),
                        fill="#ffffff", opacity=0.28))
    # Domed acoustic window with a reflection.
    shapes.append(Shape(ellipse_path(x1, cy, 0.24 * diameter, r), fill=Gradient(x1, y0, x1, y1, WINDOW),
                        stroke="#07090b", width=2))
    shapes.append(Shape(f"M{fmt(x1 + 0.04 * diameter)} {fmt(y0 + 0.16 * diameter)} "
                        f"Q{fmt(x1 + 0.2 * diameter)} {fmt(cy - 0.2 * diameter)} {fmt(x1 + 0.19 * diameter)} "
                        f"{fmt(cy + 0.05 * diameter)}", stroke="#ffffff", width=3, opacity=0.3))
    return shapes


DEVICES = {
    # Variant letters follow the model names: B Halcyr, C Verdane, F Morvel.
    "Ondrix": (120, 84, "#1fa3c4", False),
    "Ondrix_Halcyr": (96, 112, "#e0662a", False),
    "Ondrix_Verdane": (150, 66, "#46b35a", False),
    "Ondrix_Morvel": (120, 84, "#d4b02a", True),
}


# --- recording animation -----------------------------------------------------------

def recording_frames(size=24, frames=12):
    import math
    out = []
    for i in range(frames):
        phase = (1 - math.cos(2 * math.pi * i / frames)) / 2  # 0 .. 1 .. 0
        radius = 5.5 + 2.5 * phase
        red = int(0xb0 + (0xff - 0xb0) * phase)
        green = int(0x1a + (0x3b - 0x1a) * phase)
        colour = f"#{red:02x}{green:02x}{green:02x}"
        out.append([Shape(circle_path(size / 2, size / 2, radius), fill=colour)])
    return out


# --- application icon ------------------------------------------------------------

def app_icon(size=256):
    k = size / 256
    shapes = [Shape(rounded_rect(8 * k, 8 * k, 248 * k, 248 * k, 52 * k),
                    fill=Gradient(0, 0, 0, size, [(0, "#1b2e3c"), (1, "#0a141c")]))]
    shapes.append(Shape(fan_emblem(128 * k, 188 * k, 112 * k),
                        fill=Gradient(0, 76 * k, 0, 188 * k, [(0, "#7fe3f2"), (1, "#1591b5")])))
    # Two echoes on the fan make it a sonar picture rather than a signal meter.
    for ex, ey, rx, ry in ((156, 98, 11, 6), (94, 134, 8, 5)):
        shapes.append(Shape(ellipse_path(ex * k, ey * k, rx * k, ry * k), fill="#ffb347"))
    return shapes


def main():
    os.makedirs(os.path.join(ARTWORK, "devices"), exist_ok=True)
    for name, (length, diameter, band, bracket) in DEVICES.items():
        rasterise(256, sonar_head(length, diameter, band, bracket), "PNG32:" + os.path.join(ARTWORK, "devices", name + ".png"))

    with tempfile.TemporaryDirectory() as folder:
        frames = []
        for i, shapes in enumerate(recording_frames()):
            frame = os.path.join(folder, f"frame{i:02d}.png")
            rasterise(24, shapes, "PNG32:" + frame)
            frames.append(frame)
        subprocess.run(["convert", "-dispose", "background", "-delay", "8", "-loop", "0", *frames,
                        os.path.join(ARTWORK, "recording.gif")], check=True)

    icon = app_icon()
    write(os.path.join(ARTWORK, "ondrix-lumivane.svg"),
          to_svg(256, icon, "Ondrix Lumivane application icon"))
    with tempfile.TemporaryDirectory() as folder:
        sizes = []
        for s in (16, 24, 32, 48, 64, 128, 256):
            target = os.path.join(folder, f"icon{s}.png")
            # Draw the large picture once per size and scale it down: small sizes
            # stay crisp because the shapes are bold.
            rasterise(256, icon, "PNG32:" + target, out_size=s)
            sizes.append(target)
        subprocess.run(["convert", *sizes, os.path.join(ARTWORK, "OndrixLumivane.ico")], check=True)
    print(f"artwork written to {ARTWORK}")


if __name__ == "__main__":
    main()
