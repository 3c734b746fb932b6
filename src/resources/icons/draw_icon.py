#!/usr/bin/env python3
"""Draws kestrion.png: three device buttons (red, yellow, green) with their
menu arrows under a pale-green controller bar. Standard library only; run it
again after changing the drawing:  python3 draw_icon.py"""

import struct
import zlib
from pathlib import Path

SIZE = 256
SAMPLES = 3  # per axis, for smooth edges


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def triangle(ax, ay, bx, by, cx, cy):
    def edge(px, py, qx, qy, x, y):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    def inside(x, y):
        d1 = edge(ax, ay, bx, by, x, y)
        d2 = edge(bx, by, cx, cy, x, y)
        d3 = edge(cx, cy, ax, ay, x, y)
        return (d1 >= 0 and d2 >= 0 and d3 >= 0) or (d1 <= 0 and d2 <= 0 and d3 <= 0)
    return inside


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def shapes():
    """Back to front: (test, RGBA)."""
    out = [
        (rounded_rect(8, 8, 248, 248, 36), (40, 52, 64, 255)),
        (rounded_rect(28, 28, 228, 70, 10), (230, 255, 230, 255)),
    ]
    colours = [(255, 50, 50), (255, 255, 50), (50, 220, 50)]
    for row, colour in enumerate(colours):
        top = 86 + row * 52
        bottom = top + 42
        out.append((rounded_rect(28, top, 228, bottom, 10), colour + (255,)))
        # The menu zone: the right fifth, split off by a shadow line.
        out.append((box(186, top + 6, 189, bottom - 6), (0, 0, 0, 90)))
        mid = (top + bottom) / 2
        out.append((triangle(198, mid - 6, 218, mid - 6, 208, mid + 6), (0, 0, 0, 255)))
        # A caption line.
        out.append((rounded_rect(48, mid - 4, 160, mid + 4, 4), (0, 0, 0, 200)))
    return out


def blend(dst, src):
    sr, sg, sb, sa = src
    dr, dg, db, da = dst
    a = sa / 255.0
    out_a = a + da / 255.0 * (1 - a)
    if out_a == 0:
        return (0, 0, 0, 0)
    mix = lambda s, d: (s * a + d * (da / 255.0) * (1 - a)) / out_a
    return (mix(sr, dr), mix(sg, dg), mix(sb, db), out_a * 255.0)


def render():
    layers = shapes()
    rows = []
    for y in range(SIZE):
        row = bytearray([0])  # PNG filter: none
        for x in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = x + (sx + 0.5) / SAMPLES
                    py = y + (sy + 0.5) / SAMPLES
                    colour = (0, 0, 0, 0)
                    for test, rgba in layers:
                        if test(px, py):
                            colour = blend(colour, rgba)
                    alpha = colour[3]
                    for i in range(3):
                        acc[i] += colour[i] * alpha
                    acc[3] += alpha
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            rgb = [acc[i] / acc[3] if acc[3] else 0 for i in range(3)]
            row += bytes(int(round(c)) for c in rgb) + bytes([int(round(alpha))])
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    target = Path(__file__).with_name("kestrion.png")
    target.write_bytes(png(render()))
    print(target)
