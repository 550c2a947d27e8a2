#!/usr/bin/env python3
"""Draws the suite's pictures and its application icon as 32-bit files with an alpha channel.

Usage: make_pictures.py <pictures.rc> <output folder>

The resource script names every file; each name here maps to a drawing made of a few shapes given
as signed distance functions (negative inside), so every edge is antialiased by its distance to
the pixel centre. Only the standard library is used, so the build needs nothing beyond python3.
"""

import math
import os
import re
import struct
import sys

BLUE = (18, 150, 219)
DARK_BLUE = (10, 104, 170)
GREY = (138, 138, 138)
LIGHT_GREY = (200, 200, 200)
GREEN = (46, 170, 90)
DARK_GREEN = (24, 130, 64)
ORANGE = (255, 160, 64)
DARK_ORANGE = (225, 110, 20)
AMBER = (244, 180, 60)
LIGHT_AMBER = (252, 212, 110)
WHITE = (255, 255, 255)
LED_GREEN = (90, 210, 90)

# ---- shapes: functions (x, y) -> signed distance in picture units (0..1 across) ----


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def box(left, top, right, bottom, radius=0.0):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def sd(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius

    return sd


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def stroke(points, width):
    """A polyline with round ends and joints."""
    pairs = list(zip(points, points[1:]))
    return lambda x, y: min(segment_distance(x, y, *a, *b) for a, b in pairs) - width / 2


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def sd(x, y):
        distance = min(segment_distance(x, y, *a, *b) for a, b in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -distance if inside else distance

    return sd


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def rotated(shape, angle, cx=0.5, cy=0.5):
    c, s = math.cos(-angle), math.sin(-angle)
    return lambda x, y: shape(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c)


def vertical_gradient(top_colour, bottom_colour, top=0.0, bottom=1.0):
    def colour(_x, y):
        t = max(0.0, min(1.0, (y - top) / (bottom - top)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top_colour, bottom_colour))

    return colour


def bezier(p0, p1, p2, steps=12):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / steps for i in range(1, steps + 1))]


# ---- the drawings: lists of (shape, colour) layers, painted in order ----


def shield_outline():
    right = [(0.5, 0.06), (0.88, 0.19), (0.88, 0.48)] + bezier((0.88, 0.48), (0.86, 0.80), (0.5, 0.95))
    left = [(1.0 - x, y) for x, y in reversed(right[1:-1])]
    return polygon(right + left)


def shield(top_colour, bottom_colour, mark):
    return [(shield_outline(), vertical_gradient(top_colour, bottom_colour, 0.06, 0.95)), (mark, WHITE)]


CHECK_MARK = stroke([(0.31, 0.50), (0.45, 0.64), (0.70, 0.36)], 0.10)
EXCLAMATION = union(stroke([(0.5, 0.26), (0.5, 0.56)], 0.11), circle(0.5, 0.72, 0.065))


def cloud(colour):
    shape = union(circle(0.36, 0.56, 0.17), circle(0.56, 0.45, 0.22), circle(0.73, 0.60, 0.14),
                  box(0.19, 0.55, 0.87, 0.75, 0.10))
    return [(shape, colour)]


def document(colour, fold_colour):
    page = polygon([(0.24, 0.10), (0.62, 0.10), (0.78, 0.26), (0.78, 0.90), (0.24, 0.90)])
    fold = polygon([(0.62, 0.10), (0.78, 0.26), (0.62, 0.26)])
    letter = stroke([(0.33, 0.44), (0.41, 0.72), (0.51, 0.52), (0.61, 0.72), (0.69, 0.44)], 0.06)
    return [(page, colour), (fold, fold_colour), (letter, WHITE)]


def gear():
    teeth = [rotated(box(0.43, 0.08, 0.57, 0.30, 0.02), i * math.pi / 4) for i in range(8)]
    body = union(circle(0.5, 0.5, 0.30), *teeth)
    return [(subtract(body, circle(0.5, 0.5, 0.12)), BLUE)]


def home():
    roof = stroke([(0.12, 0.50), (0.5, 0.14), (0.88, 0.50)], 0.10)
    walls = subtract(box(0.24, 0.46, 0.76, 0.88, 0.03), box(0.42, 0.62, 0.58, 0.95, 0.02))
    return [(union(roof, walls), BLUE)]


def magnifier():
    return [(union(ring(0.42, 0.42, 0.25, 0.09), stroke([(0.61, 0.61), (0.84, 0.84)], 0.13)), BLUE)]


def eye():
    lens = intersect(circle(0.5, 0.95, 0.62), circle(0.5, 0.05, 0.62))
    return [(lens, BLUE), (circle(0.5, 0.5, 0.16), WHITE), (circle(0.5, 0.5, 0.09), BLUE)]


def apps():
    tiles = [box(x, y, x + 0.32, y + 0.32, 0.06) for x in (0.14, 0.54) for y in (0.14, 0.54)]
    return [(union(*tiles), BLUE)]


def computer():
    return [(box(0.08, 0.12, 0.92, 0.68, 0.06), BLUE),
            (box(0.14, 0.18, 0.86, 0.62, 0.02), vertical_gradient((210, 234, 250), (160, 206, 240))),
            (stroke([(0.22, 0.40), (0.78, 0.40)], 0.05), BLUE),
            (circle(0.78, 0.26, 0.035), LED_GREEN),
            (union(box(0.44, 0.67, 0.56, 0.80), box(0.28, 0.79, 0.72, 0.87, 0.03)), DARK_BLUE)]


def lightning():
    bolt = polygon([(0.58, 0.12), (0.30, 0.54), (0.48, 0.54), (0.40, 0.88), (0.72, 0.44), (0.53, 0.44),
                    (0.64, 0.12)])
    return [(circle(0.5, 0.5, 0.44), vertical_gradient(BLUE, DARK_BLUE, 0.06, 0.94)), (bolt, WHITE)]


def folder():
    back = polygon([(0.08, 0.22), (0.36, 0.22), (0.44, 0.30), (0.92, 0.30), (0.92, 0.82), (0.08, 0.82)])
    front = polygon([(0.08, 0.40), (0.92, 0.40), (0.92, 0.82), (0.08, 0.82)])
    return [(back, AMBER), (front, vertical_gradient(LIGHT_AMBER, AMBER, 0.40, 0.82))]


def app_icon():
    return shield(BLUE, DARK_BLUE, CHECK_MARK)


def tray_icon():
    """The notification-area icon: the shield filling the square, a dark rim that holds it apart
    from light and dark taskbars alike, and a check mark thick enough to read at 16 pixels."""
    right = [(0.5, 0.02), (0.95, 0.15), (0.95, 0.46)] + bezier((0.95, 0.46), (0.93, 0.82), (0.5, 0.99))
    left = [(1.0 - x, y) for x, y in reversed(right[1:-1])]
    outline = polygon(right + left)
    inner = lambda x, y: outline(x, y) + 0.07
    mark = stroke([(0.27, 0.50), (0.44, 0.67), (0.74, 0.33)], 0.17)
    return [(outline, DARK_BLUE), (inner, vertical_gradient(BLUE, DARK_BLUE, 0.02, 0.99)), (mark, WHITE)]


DRAWINGS = {
    "top_home.bmp": (64, home),
    "top_scan.bmp": (64, magnifier),
    "top_monitor.bmp": (64, eye),
    "top_apps.bmp": (64, apps),
    "top_settings.bmp": (64, gear),
    "logo_protected.bmp": (96, lambda: shield(GREEN, DARK_GREEN, CHECK_MARK)),
    "logo_unprotected.bmp": (96, lambda: shield(ORANGE, DARK_ORANGE, EXCLAMATION)),
    "cloud_on.bmp": (64, lambda: cloud(BLUE)),
    "cloud_off.bmp": (64, lambda: cloud(GREY)),
    "addin_on.bmp": (64, lambda: document(BLUE, (140, 200, 240))),
    "addin_off.bmp": (64, lambda: document(GREY, LIGHT_GREY)),
    "scan_full.bmp": (64, computer),
    "scan_quick.bmp": (64, lightning),
    "scan_custom.bmp": (64, folder),
}

ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)
# Icons by file name; an icon not named here is the application icon.
ICONS = {
    "tray.ico": tray_icon,
}

# ---- rasterising and file formats ----


def render(layers, size):
    """Rows of straight-alpha (r, g, b, a) pixels, top row first."""
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            x, y = (i + 0.5) / size, (j + 0.5) / size
            r = g = b = a = 0.0
            for shape, colour in layers:
                coverage = max(0.0, min(1.0, 0.5 - shape(x, y) * size))
                if coverage == 0.0:
                    continue
                c = colour(x, y) if callable(colour) else colour
                # "over" in premultiplied terms
                r = c[0] * coverage + r * (1 - coverage)
                g = c[1] * coverage + g * (1 - coverage)
                b = c[2] * coverage + b * (1 - coverage)
                a = coverage + a * (1 - coverage)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib_pixels(rows):
    """Bottom-up BGRA rows, as a 32-bit device-independent bitmap stores them."""
    return b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, image_size, 2835, 2835, 0, 0)


def bmp_bytes(rows):
    size = len(rows)
    pixels = dib_pixels(rows)
    offset = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + info_header(size, size, len(pixels)) + pixels


def icon_image(rows):
    size = len(rows)
    pixels = dib_pixels(rows)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, (_r, _g, _b, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return info_header(size, size * 2, len(pixels) + len(mask)) + pixels + bytes(mask)


def ico_bytes(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def write(path, content):
    with open(path, "wb") as out:
        out.write(content)


def resource_files(rc_path):
    with open(rc_path, encoding="utf-8") as rc:
        return re.findall(r'^\s*\d+\s+(ICON|BITMAP)\s+"([^"]+)"', rc.read(), re.MULTILINE)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    rc_path, out_dir = argv[1], argv[2]
    os.makedirs(out_dir, exist_ok=True)
    for kind, name in resource_files(rc_path):
        if kind == "ICON":
            layers = ICONS.get(name, app_icon)()
            content = ico_bytes([(s, icon_image(render(layers, s))) for s in ICON_SIZES])
        elif name in DRAWINGS:
            size, drawing = DRAWINGS[name]
            content = bmp_bytes(render(drawing(), size))
        else:
            sys.stderr.write(f"make_pictures.py: no drawing for {name}\n")
            return 1
        write(os.path.join(out_dir, name), content)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
