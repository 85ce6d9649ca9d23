#!/usr/bin/env python3
"""Generates the viewer's line icons into icons/resources/keldar-icons/<Group>/.

House style: a 24 x 24 grid, content kept inside 2..22, 2 px strokes with round
caps and joins. Colour lives only in plain `fill` and `stroke` attributes (never
in `style` or CSS) so the toolkit's SVG handler can recolour every icon for the
theme and the button state. Every outline element says fill="none" itself: the
handler fills anything that does not, so relying on an inherited "none" from a
group would turn outlines into blobs.

Run from anywhere: python3 icons/scripts/make_icons.py
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from svgkit import INK, arc_path, fmt, polar, pt, sector_path, write  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "keldar-icons")

HEADER = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    "<!-- Keldar line icon: 24 px grid, 2 px round strokes. Colours are plain fill/stroke\n"
    "     attributes so the toolkit can recolour them; outlines carry fill=\"none\" themselves. -->\n"
    '<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="24" height="24" '
    'viewBox="0 0 24 24" stroke-width="2" stroke-linecap="round" stroke-linejoin="round">\n'
)


# --- element helpers ---------------------------------------------------------

def line(d, extra=""):
    return f'<path d="{d}" fill="none" stroke="{INK}"{extra}/>'


def solid(d):
    """Filled shape that is also stroked, so its corners are as round as the lines."""
    return f'<path d="{d}" fill="{INK}" stroke="{INK}"/>'


def dot(cx, cy, r):
    return f'<circle cx="{fmt(cx)}" cy="{fmt(cy)}" r="{fmt(r)}" fill="{INK}" stroke="none"/>'


def ring(cx, cy, r, extra=""):
    return f'<circle cx="{fmt(cx)}" cy="{fmt(cy)}" r="{fmt(r)}" fill="none" stroke="{INK}"{extra}/>'


def box(x, y, w, h, rx=0.0, filled=False):
    fill = INK if filled else "none"
    return (f'<rect x="{fmt(x)}" y="{fmt(y)}" width="{fmt(w)}" height="{fmt(h)}" rx="{fmt(rx)}" '
            f'fill="{fill}" stroke="{INK}"/>')


def group(elements, rotate=0.0, mirror=False):
    transforms = []
    if rotate:
        transforms.append(f"rotate({fmt(rotate)} 12 12)")
    if mirror:
        transforms.append("matrix(-1 0 0 1 24 0)")
    inner = "\n  ".join(elements)
    return f'<g transform="{" ".join(transforms)}">\n  {inner}\n</g>'


ICONS = {}


def icon(group_name, name):
    def register(function):
        ICONS[(group_name, name)] = function
        return function
    return register


# --- shared motifs -----------------------------------------------------------

def fan(cx=12.0, cy=19.0, r=14.0, half=40.0, heading=0.0):
    return line(sector_path(cx, cy, r, half, heading))


def arrow_head(tip_x, tip_y, heading, size=3.5):
    """Open chevron whose tip points towards `heading` degrees."""
    ax, ay = polar(tip_x, tip_y, size, heading + 180 - 45)
    bx, by = polar(tip_x, tip_y, size, heading + 180 + 45)
    return line(f"M{pt(ax, ay)} L{pt(tip_x, tip_y)} L{pt(bx, by)}")


def document(extra):
    return [line("M14 3 H7 a2 2 0 0 0 -2 2 V19 a2 2 0 0 0 2 2 H17 a2 2 0 0 0 2 -2 V8 Z"),
            line("M14 3 V8 H19")] + extra


def bookmark(x0=6.0, x1=18.0):
    mid = (x0 + x1) / 2
    return line(f"M{fmt(x0 + 1)} 3 H{fmt(x1 - 1)} a1 1 0 0 1 1 1 V21 L{fmt(mid)} 16.5 "
                f"L{fmt(x0)} 21 V4 a1 1 0 0 1 1 -1 Z")


# --- General -----------------------------------------------------------------

@icon("General", "Add")
def add():
    return [line("M12 5 V19 M5 12 H19")]


@icon("General", "Subtract")
def subtract():
    return [line("M5 12 H19")]


@icon("General", "Close")
def close():
    return [line("M6 6 L18 18 M18 6 L6 18")]


@icon("General", "CloseFile")
def close_file():
    return document([line("M9.5 12.5 L14.5 17.5 M14.5 12.5 L9.5 17.5")])


@icon("General", "OpenFile")
def open_file():
    return [line("M3 18 V6 a1 1 0 0 1 1 -1 H9 l2 2 H18 a1 1 0 0 1 1 1 V10"),
            line("M3 19 L6.2 11.5 a1 1 0 0 1 0.9 -0.6 H21 a0.8 0.8 0 0 1 0.7 1.1 L18.7 18.4 "
                 "a1 1 0 0 1 -0.9 0.6 H3 Z")]


@icon("General", "ConfigSpanner")
def config_spanner():
    # Drawn lying along the x axis, then turned so the jaw sits top right.
    h = 2.0       # half width of the handle
    r = 5.5       # head radius
    cx = 16.0     # head centre
    jaw = 2.0     # half width of the jaw slot
    dx_h = math.sqrt(r * r - h * h)
    dx_j = math.sqrt(r * r - jaw * jaw)
    d = (f"M3.5 {fmt(12 - h)} H{fmt(cx - dx_h)} "
         f"A{fmt(r)} {fmt(r)} 0 0 1 {pt(cx + dx_j, 12 - jaw)} "
         f"H{fmt(cx + 0.5)} V{fmt(12 + jaw)} H{fmt(cx + dx_j)} "
         f"A{fmt(r)} {fmt(r)} 0 0 1 {pt(cx - dx_h, 12 + h)} "
         f"H3.5 A{fmt(h)} {fmt(h)} 0 0 1 3.5 {fmt(12 - h)} Z")
    return [group([line(d)], rotate=-45)]


@icon("General", "SettingsCog")
def settings_cog():
    teeth, outer, inner = 8, 10.0, 7.4
    points = []
    step = 360 / teeth
    for i in range(teeth):
        c = i * step
        for angle, radius in ((c - step * 0.36, inner), (c - step * 0.17, outer),
                              (c + step * 0.17, outer), (c + step * 0.36, inner)):
            points.append(polar(12, 12, radius, angle))
    d = "M" + " L".join(pt(x, y) for x, y in points) + " Z"
    return [line(d), ring(12, 12, 3)]


@icon("General", "Delete")
def delete():
    return [line("M4 6.5 H20"),
            line("M9 6.5 V4.5 a1 1 0 0 1 1 -1 H14 a1 1 0 0 1 1 1 V6.5"),
            line("M6 6.5 L7 19.5 a1.5 1.5 0 0 0 1.5 1.5 H15.5 a1.5 1.5 0 0 0 1.5 -1.5 L18 6.5"),
            line("M10 10.5 V17 M14 10.5 V17")]


@icon("General", "Edit")
def edit():
    return [line("M4 20 L4.8 16.2 L15.6 5.4 a2 2 0 0 1 2.8 0 L18.6 5.6 a2 2 0 0 1 0 2.8 "
                 "L7.8 19.2 Z"),
            line("M13.6 7.4 L16.6 10.4")]


# --- Capture -----------------------------------------------------------------

@icon("Capture", "Record")
def record():
    return [ring(12, 12, 9), dot(12, 12, 4.5)]


@icon("Capture", "StopRecording")
def stop_recording():
    return [ring(12, 12, 9), box(9, 9, 6, 6, rx=0.5, filled=True)]


@icon("Capture", "StillCapture")
def still_capture():
    return [line("M3 9 a2 2 0 0 1 2 -2 H7.5 L9 4.5 H15 L16.5 7 H19 a2 2 0 0 1 2 2 V18 "
                 "a2 2 0 0 1 -2 2 H5 a2 2 0 0 1 -2 -2 Z"),
            ring(12, 13.5, 3.5)]


# --- Playback ----------------------------------------------------------------

@icon("Playback", "Play")
def play():
    return [solid("M7.5 5 L18.5 12 L7.5 19 Z")]


@icon("Playback", "Pause")
def pause():
    return [box(6.5, 5, 3, 14, rx=0.5, filled=True), box(14.5, 5, 3, 14, rx=0.5, filled=True)]


@icon("Playback", "Speed")
def speed():
    parts = [line(arc_path(12, 14, 9, -120, 120))]
    tip = polar(12, 14, 6.5, 45)
    parts.append(line(f"M12 14 L{pt(*tip)}"))
    parts.append(dot(12, 14, 1.8))
    for angle in (-90, -45, 0, 90):
        a = polar(12, 14, 6.5, angle)
        b = polar(12, 14, 8, angle)
        parts.append(line(f"M{pt(*a)} L{pt(*b)}"))
    return parts


@icon("Playback", "Scrub")
def scrub():
    return [line("M3 16 H21"),
            line("M3 13 V19 M21 13 V19"),
            line("M10 9 V20"),
            solid("M7.5 4 H12.5 L10 7 Z")]


@icon("Playback", "Bookmark")
def bookmark_icon():
    return [bookmark()]


@icon("Playback", "AddBookmark")
def add_bookmark():
    return [bookmark(), line("M12 7 V12.5 M9.25 9.75 H14.75")]


@icon("Playback", "Export")
def export():
    return [line("M4 14 V18.5 a1.5 1.5 0 0 0 1.5 1.5 H18.5 a1.5 1.5 0 0 0 1.5 -1.5 V14"),
            line("M12 15 V3.5"),
            line("M7.5 8 L12 3.5 L16.5 8")]


@icon("Playback", "Loop")
def loop():
    return [line("M3 11.5 V10 a4 4 0 0 1 4 -4 H20"),
            line("M16.5 2.5 L20 6 L16.5 9.5"),
            line("M21 12.5 V14 a4 4 0 0 1 -4 4 H4"),
            line("M7.5 21.5 L4 18 L7.5 14.5")]


# --- Display controls --------------------------------------------------------

@icon("Display-Controls", "Palette")
def palette():
    return [line("M12 21 A9 9 0 1 1 21 12 Q21 15.5 17.5 15.5 H16 Q14 15.5 14 17.5 V19 "
                 "Q14 21 12 21 Z"),
            dot(7.5, 11.5, 1.6), dot(10, 7.2, 1.6), dot(15, 7.2, 1.6), dot(8.8, 16, 1.6)]


@icon("Display-Controls", "Filters")
def filters():
    return [line("M3.5 4 H20.5 L14 12.5 V18.5 L10 21 V12.5 Z")]


@icon("Display-Controls", "AdditionalDisplays")
def additional_displays():
    return [box(2.5, 4, 19, 16, rx=2),
            box(14, 7.5, 4.5, 3.5, rx=0.5, filled=True),
            box(14, 13, 4.5, 3.5, rx=0.5, filled=True)]


# --- Measurement -------------------------------------------------------------

@icon("Measurement", "Measure")
def measure():
    ticks = []
    for i, x in enumerate((6.5, 9.5, 12.5, 15.5, 18.5)):
        depth = 4 if i % 2 == 0 else 2.5
        ticks.append(f"M{fmt(x)} 8 V{fmt(8 + depth)}")
    return [group([box(2.5, 8, 19, 8, rx=1.5), line(" ".join(ticks))], rotate=-45)]


@icon("Measurement", "MeasureLine")
def measure_line():
    return [ring(5.5, 18.5, 2.5), ring(18.5, 5.5, 2.5), line("M7.3 16.7 L16.7 7.3")]


@icon("Measurement", "MeasureRectangle")
def measure_rectangle():
    handles = [box(x - 1.25, y - 1.25, 2.5, 2.5, filled=True)
               for x, y in ((4, 6), (20, 6), (4, 18), (20, 18))]
    edges = line("M7.5 6 H16.5 M7.5 18 H16.5 M4 9.5 V14.5 M20 9.5 V14.5")
    return [edges] + handles


@icon("Measurement", "MeasureCircleCentre")
def measure_circle_centre():
    edge = polar(12, 12, 9, 45)
    return [ring(12, 12, 9), dot(12, 12, 2), line(f"M12 12 L{pt(*edge)}")]


# --- Device parameters -------------------------------------------------------

@icon("Device-Parameters", "Range")
def range_icon():
    # A fan with an arrow running out to its edge: how far the sonar looks.
    return [fan(12, 20.5, 17, 36),
            line("M12 20.5 V6"),
            arrow_head(12, 5.5, 0, 3.2)]


@icon("Device-Parameters", "Gain")
def gain():
    # A volume ramp, its left part filled to show the level.
    return [line("M3 19 L21 5 V19 Z"), solid("M3 19 L12.5 11.6 V19 Z")]


@icon("Device-Parameters", "Frequency")
def frequency():
    return [line("M2 12 Q4.5 3 7 12 T12 12 T17 12 T22 12")]


# --- Ondrix ------------------------------------------------------------------

@icon("Ondrix", "ListSonars")
def list_sonars():
    # Rows of a list, each led by a small sonar fan.
    parts = []
    for y in (5, 12, 19):
        parts.append(f'<path d="{sector_path(5, y + 2.4, 5, 40)}" fill="{INK}" stroke="none"/>')
        parts.append(line(f"M11 {fmt(y)} H21"))
    return parts


@icon("Ondrix", "DisconnectFromSonar")
def disconnect_from_sonar():
    # The sonar fan struck through: stop talking to this sonar.
    return [fan(12, 19.5, 14, 40),
            line(arc_path(12, 19.5, 7.5, -40, 40)),
            line("M3.5 3.5 L20.5 20.5")]


def orientation(heading):
    parts = [fan(12, 12 + 7.5, 14.5, 40),
             line(arc_path(12, 19.5, 8, -40, 40)),
             dot(12, 19.5, 1.8)]
    return [group(parts, rotate=heading)]


@icon("Ondrix", "FanOrientationUp")
def fan_up():
    return orientation(0)


@icon("Ondrix", "FanOrientationLeft")
def fan_left():
    return orientation(-90)


@icon("Ondrix", "FanOrientationDown")
def fan_down():
    return orientation(180)


@icon("Ondrix", "FanOrientationRight")
def fan_right():
    return orientation(90)


@icon("Ondrix", "FanRotation")
def fan_rotation():
    start, end = 150, 410
    tip = polar(12, 12, 9, end)
    return [fan(12, 14, 7.5, 38),
            line(arc_path(12, 12, 9, start, end)),
            arrow_head(tip[0], tip[1], end + 90, 3.2)]


@icon("Ondrix", "HorizontalFlip")
def horizontal_flip():
    return [line("M12 3 V21", ' stroke-dasharray="2 3"'),
            line("M9 5.5 L3 18.5 H9 Z"),
            solid("M15 5.5 L21 18.5 H15 Z")]


@icon("Ondrix", "Overlay")
def overlay():
    # The fan with its range arc and sector lines drawn over it.
    parts = [fan(12, 20.5, 17, 35), line(arc_path(12, 20.5, 10, -35, 35))]
    for angle in (-12, 12):
        x, y = polar(12, 20.5, 17, angle)
        parts.append(line(f"M12 20.5 L{pt(x, y)}"))
    return parts


def render(elements):
    return HEADER + "\n".join(elements) + "\n</svg>\n"


def main():
    for (group_name, name), function in sorted(ICONS.items()):
        write(os.path.join(OUT, group_name, name + ".svg"), render(function()))
    print(f"{len(ICONS)} icons written to {os.path.normpath(OUT)}")


if __name__ == "__main__":
    main()
