"""Small drawing kit shared by the icon, logo and artwork generators.

Everything is plain Python 3 (standard library only). Paths are SVG path data
strings; the same strings are understood by ImageMagick's MVG renderer, which
is what turns the raster artwork into PNG, GIF and ICO files.
"""

import math
import os

INK = "#000000"  # authored colour; the toolkit replaces it at run time


def fmt(value):
    """Shortest decimal text for a coordinate (two decimals are plenty on a 24 grid)."""
    text = f"{value:.2f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def pt(x, y):
    return f"{fmt(x)} {fmt(y)}"


def polar(cx, cy, r, degrees):
    """Point on a circle; 0 degrees points up, angles grow clockwise on screen."""
    a = math.radians(degrees)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def arc_path(cx, cy, r, start, end):
    """Open arc from `start` to `end` degrees (clockwise when end > start)."""
    x0, y0 = polar(cx, cy, r, start)
    x1, y1 = polar(cx, cy, r, end)
    sweep = 1 if end > start else 0
    large = 1 if abs(end - start) > 180 else 0
    return f"M{pt(x0, y0)} A{fmt(r)} {fmt(r)} 0 {large} {sweep} {pt(x1, y1)}"


def sector_path(cx, cy, r, half_angle, heading=0.0):
    """Closed sonar fan: apex at (cx, cy), opening towards `heading` degrees."""
    x0, y0 = polar(cx, cy, r, heading - half_angle)
    x1, y1 = polar(cx, cy, r, heading + half_angle)
    large = 1 if 2 * half_angle > 180 else 0
    return f"M{pt(cx, cy)} L{pt(x0, y0)} A{fmt(r)} {fmt(r)} 0 {large} 1 {pt(x1, y1)} Z"


def rotate_point(x, y, cx, cy, degrees):
    a = math.radians(degrees)
    dx, dy = x - cx, y - cy
    return cx + dx * math.cos(a) - dy * math.sin(a), cy + dx * math.sin(a) + dy * math.cos(a)


def circle_path(cx, cy, r, clockwise=True):
    """Full circle as two arcs, so it can join other sub-paths of one filled path."""
    sweep = 1 if clockwise else 0
    return (f"M{pt(cx - r, cy)} A{fmt(r)} {fmt(r)} 0 1 {sweep} {pt(cx + r, cy)} "
            f"A{fmt(r)} {fmt(r)} 0 1 {sweep} {pt(cx - r, cy)} Z")


def capsule_path(x0, y0, x1, y1, half_width):
    """A line segment with round caps as a closed outline.

    Every capsule is traced with the same turning direction, so a union of
    capsules in one path fills correctly under the non-zero rule.
    """
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    if length < 1e-9:
        return circle_path(x0, y0, half_width, clockwise=False)
    nx, ny = -dy / length * half_width, dx / length * half_width
    r = fmt(half_width)
    return (f"M{pt(x0 + nx, y0 + ny)} L{pt(x1 + nx, y1 + ny)} "
            f"A{r} {r} 0 0 0 {pt(x1 - nx, y1 - ny)} L{pt(x0 - nx, y0 - ny)} "
            f"A{r} {r} 0 0 0 {pt(x0 + nx, y0 + ny)} Z")


def outline_polyline(points, half_width):
    """Filled outline of a round-capped, round-joined polyline."""
    if len(points) == 1:
        return circle_path(points[0][0], points[0][1], half_width, clockwise=False)
    return " ".join(capsule_path(*a, *b, half_width) for a, b in zip(points, points[1:]))


def sample_arc(cx, cy, rx, ry, start, end, steps=None):
    """Points along an elliptical arc (degrees as in `polar`)."""
    if steps is None:
        steps = max(4, int(abs(end - start) / 6))
    out = []
    for i in range(steps + 1):
        a = math.radians(start + (end - start) * i / steps)
        out.append((cx + rx * math.sin(a), cy - ry * math.cos(a)))
    return out


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
