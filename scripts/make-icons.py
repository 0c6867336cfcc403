#!/usr/bin/env python3
"""Draws the program's icons and the information window's picture as 16-colour PNGs, and
the desktop icon (the notepad sheet) for the icon theme as SVG and PNGs of 16 to 256 px.

Run from anywhere; writes into ui/icons/ and data/icons/. The pixel icons use only the
standard library, so they are the same on every machine; the larger theme PNGs are the
SVG rendered by rsvg-convert (Debian's librsvg2-bin).
"""
import math
import os
import shutil
import struct
import subprocess
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(HERE, "ui", "icons")
THEME = os.path.join(HERE, "data", "icons", "hicolor")
# The files are named "app"; the install gives them the application id as their name.
APP_ID = "app"

# One 16-colour palette for everything; index 0 is transparent.
PALETTE = [
    (0, 0, 0),        # 0 transparent
    (0, 0, 0),        # 1 black
    (255, 255, 255),  # 2 white
    (128, 128, 128),  # 3 grey
    (192, 192, 192),  # 4 light grey
    (96, 160, 224),   # 5 light blue
    (208, 0, 0),      # 6 red
    (255, 224, 0),    # 7 yellow
    (160, 96, 0),     # 8 dark yellow
    (0, 144, 0),      # 9 green
    (0, 88, 0),       # 10 dark green
    (128, 0, 128),    # 11 purple
    (255, 224, 192),  # 12 peach
    (0, 0, 192),      # 13 blue
    (240, 120, 0),    # 14 orange
    (40, 40, 160),    # 15 navy
]


def write_png(name, pixels, folder=OUT):
    height = len(pixels)
    width = len(pixels[0])
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    png += chunk(b"tRNS", bytes([0]))
    png += chunk(b"IDAT", zlib.compress(_pack4(raw, width), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(png)


def _pack4(raw, width):
    # Re-pack one byte per pixel rows (with filter byte) into four bits per pixel.
    stride = width + 1
    out = bytearray()
    for start in range(0, len(raw), stride):
        out.append(0)
        row = raw[start + 1:start + stride]
        for i in range(0, width, 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < width else 0
            out.append(hi << 4 | lo)
    return bytes(out)


def canvas(w, h, fill=0):
    return [[fill] * w for _ in range(h)]


def notepad(size):
    s = size / 32.0
    img = canvas(size, size)
    left, right, top, bottom = round(4 * s), size - round(4 * s), round(2 * s), size - round(1 * s)
    for y in range(top, bottom):
        for x in range(left, right):
            edge = x in (left, right - 1) or y in (top, bottom - 1)
            img[y][x] = 1 if edge else 2
    # dotted light-blue ruling
    step = max(3, round(4 * s))
    for y in range(top + round(6 * s), bottom - 1, step):
        for x in range(left + 1, right - 1):
            if x % 2 == 0:
                img[y][x] = 5
    # red margin line
    margin = left + round(6 * s)
    for y in range(top + 1, bottom - 1):
        img[y][margin] = 6
    # binding holes along the top
    for x in range(left + round(3 * s), right - 1, max(3, round(5 * s))):
        img[top][x] = 3
        if size >= 32:
            img[top + 1][x] = 3
    return img


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def bolt(size):
    s = size / 32.0
    poly = [(19, 1), (6, 18), (14, 18), (10, 31), (26, 12), (17, 12), (22, 1)]
    poly = [(x * s, y * s) for x, y in poly]
    img = canvas(size, size)
    for y in range(size):
        for x in range(size):
            if inside(poly, x + 0.5, y + 0.5):
                img[y][x] = 7
    # a dark rim so the bolt reads on light title bars
    for y in range(size):
        for x in range(size):
            if img[y][x] == 7 and any(
                not (0 <= x + dx < size and 0 <= y + dy < size) or img[y + dy][x + dx] == 0
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
            ):
                img[y][x] = 8
    return img


def question(size):
    img = canvas(size, size)
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d <= r:
                img[y][x] = 10 if d > r - max(1, size / 16) else 9
    s = size / 32.0
    # the hook: an arc from the left over the top to the right, then down to the middle
    thick = 2.6 * s
    for y in range(size):
        for x in range(size):
            px, py = (x + 0.5) / s, (y + 0.5) / s
            d = math.hypot(px - 16, py - 11)
            angle = math.degrees(math.atan2(py - 11, px - 16))
            # from the left, over the top, round the right and down towards the middle
            on_arc = abs(d - 5.5) < thick / s / 1.2 and (angle <= 80 or angle >= 170)
            on_stem = abs(px - 16) < 1.5 and 16 <= py <= 21
            on_dot = math.hypot(px - 16, py - 25.5) < 2.0
            if on_arc or on_stem or on_dot:
                img[y][x] = 2
    return img


def about_picture():
    w, h = 130, 150
    img = canvas(w, h, 12)
    for y in range(h):
        for x in range(w):
            if x < 2 or y < 2 or x >= w - 2 or y >= h - 2:
                img[y][x] = 11
    balls = [(38, 38, 22, 6), (92, 40, 20, 13), (65, 80, 24, 11), (36, 118, 20, 9), (96, 116, 22, 14)]
    for bx, by, br, colour in balls:
        for y in range(h):
            for x in range(w):
                d = math.hypot(x - bx, y - by)
                if d <= br:
                    img[y][x] = 1 if d > br - 1.2 else colour
                    if d <= br * 0.55:
                        img[y][x] = 1 if d > br * 0.55 - 1 else 2
    # shine on each ball
    for bx, by, br, _ in balls:
        sx, sy = bx - br * 0.55, by - br * 0.55
        for y in range(h):
            for x in range(w):
                if math.hypot(x - sx, y - sy) < br * 0.12:
                    img[y][x] = 2
    return img


def notepad_svg():
    """The notepad sheet of the pixel icon, drawn on a 256-unit square."""
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '  <rect x="34" y="14" width="188" height="234" rx="6" fill="#ffffff" stroke="#000000" stroke-width="6"/>',
    ]
    for y in range(66, 236, 26):
        parts.append(f'  <line x1="40" y1="{y}" x2="216" y2="{y}" stroke="#60a0e0" stroke-width="5" '
                     'stroke-dasharray="6 6"/>')
    parts.append('  <line x1="80" y1="20" x2="80" y2="242" stroke="#d00000" stroke-width="5"/>')
    for x in range(60, 216, 36):
        parts.append(f'  <circle cx="{x}" cy="30" r="7" fill="#808080"/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def theme_icons():
    scalable = os.path.join(THEME, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    svg = os.path.join(scalable, APP_ID + ".svg")
    with open(svg, "w") as f:
        f.write(notepad_svg())
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        folder = os.path.join(THEME, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        if size in (16, 32):  # the hand-drawn pixels stay crisp where a drawing would blur
            write_png(APP_ID + ".png", notepad(size), folder)
        else:
            subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
                            os.path.join(folder, APP_ID + ".png"), svg], check=True)


def main():
    os.makedirs(OUT, exist_ok=True)
    if shutil.which("rsvg-convert"):
        theme_icons()
    else:
        print("rsvg-convert not found (Debian: librsvg2-bin): the theme icons were left as they are")
    for size in (16, 32):
        write_png(f"notepad-{size}.png", notepad(size))
        write_png(f"bolt-{size}.png", bolt(size))
        write_png(f"question-{size}.png", question(size))
    write_png("about.png", about_picture())


if __name__ == "__main__":
    main()
