#!/usr/bin/env python3
"""Draws the program's icon, a hammer crossed with a spanner, and writes it
as liaison.ico: a 16 x 16 and a 32 x 32 image in the 16 standard colours.

The icon is committed beside this script; run it again after a change:

    python3 make_icon.py [liaison.ico] [--preview preview.png]
"""
import math
import struct
import sys
import zlib

# The 16 colours of the standard palette, in their usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, OLIVE, SILVER, GREY = 0, 3, 7, 8

# Parts of the drawing, from the bottom up; each is a colour and a test on a
# point of the unit square (x to the right, y downwards).
SQRT_HALF = math.sqrt(0.5)


def along(px, py, ox, oy, dx, dy):
    """Coordinates of (px, py) in the frame at (ox, oy) whose first axis is (dx, dy)."""
    rx, ry = px - ox, py - oy
    return rx * dx + ry * dy, -rx * dy + ry * dx


def capsule(px, py, ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    cx, cy = ax + t * vx, ay + t * vy
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


# The spanner runs from the bottom left to the top right, its open jaw at the top.
SPANNER_HEAD = (0.745, 0.255)
SPANNER_AXIS = (SQRT_HALF, -SQRT_HALF)  # towards the jaw


def spanner(px, py):
    hx, hy = SPANNER_HEAD
    u, v = along(px, py, hx, hy, *SPANNER_AXIS)
    if (px - hx) ** 2 + (py - hy) ** 2 <= 0.185 ** 2:
        return not (u > -0.03 and abs(v) < 0.075)  # the jaw's opening
    if capsule(px, py, 0.2, 0.8, hx, hy, 0.075):
        return True
    tx, ty = 0.165, 0.835  # the ring at the other end
    d2 = (px - tx) ** 2 + (py - ty) ** 2
    return 0.045 ** 2 < d2 <= 0.115 ** 2


# The hammer runs from the bottom right to the top left, its head across.
HAMMER_HEAD = (0.285, 0.285)
HAMMER_AXIS = (-SQRT_HALF, -SQRT_HALF)  # from the handle's end to the head


def hammer_handle(px, py):
    return capsule(px, py, 0.86, 0.86, HAMMER_HEAD[0], HAMMER_HEAD[1], 0.055)


def hammer_head(px, py):
    u, v = along(px, py, HAMMER_HEAD[0], HAMMER_HEAD[1], *HAMMER_AXIS)
    # v runs along the head: the striking face on one side, the tapering
    # peen on the other.
    if v < -0.24 or v > 0.27:
        return False
    half = 0.1 if v < 0.1 else 0.1 - (v - 0.1) * 0.45
    return -half <= u <= half


PARTS = [  # (name, colour, test)
    ("spanner", SILVER, spanner),
    ("handle", OLIVE, hammer_handle),
    ("head", GREY, hammer_head),
]


def render(size, samples=8):
    """Index of the part that covers each pixel, or None."""
    grid = []
    for y in range(size):
        row = []
        for x in range(size):
            counts = {}
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) / size
                    py = (y + (sy + 0.5) / samples) / size
                    top = None
                    for i, (_, _, test) in enumerate(PARTS):
                        if test(px, py):
                            top = i
                    counts[top] = counts.get(top, 0) + 1
            best = max(counts, key=lambda k: counts[k])
            if counts.get(None, 0) * 2 > samples * samples:
                best = None
            elif best is None:
                best = max((k for k in counts if k is not None), key=lambda k: counts[k])
            row.append(best)
        grid.append(row)
    return grid


def colour(grid, size):
    """Colours with a black outline round each part and a light edge on top."""
    out = [[None] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            part = grid[y][x]
            if part is None:
                continue
            edge = False
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                other = grid[ny][nx] if 0 <= nx < size and 0 <= ny < size else None
                if other is None or (other != part and other > part):
                    edge = True
            out[y][x] = BLACK if edge else PARTS[part][1]
    # A highlight on the upper-left inner edge of the hammer's head.
    for y in range(size):
        for x in range(size):
            part = grid[y][x]
            if part is None or out[y][x] == BLACK or PARTS[part][0] != "head":
                continue
            if y > 0 and x > 0 and (out[y - 1][x] == BLACK or out[y][x - 1] == BLACK):
                if out[y + 1][x] != BLACK and out[y][x + 1] != BLACK:
                    out[y][x] = SILVER
    return out


def dib(pixels, size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            index = pixels[y][x]
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                index = 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, pixels in images:
        blob = dib(pixels, size)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def png(images, path, zoom=8):
    """A preview of the images side by side, magnified."""
    width = sum(size for size, _ in images) * zoom + 8 * (len(images) + 1)
    height = max(size for size, _ in images) * zoom + 16
    canvas = [[(0xE0, 0xE0, 0xE0)] * width for _ in range(height)]
    left = 8
    for size, pixels in images:
        for y in range(size * zoom):
            for x in range(size * zoom):
                index = pixels[y // zoom][x // zoom]
                if index is not None:
                    canvas[8 + y][left + x] = PALETTE[index]
        left += size * zoom + 8
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in canvas)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    target = "liaison.ico"
    preview = None
    args = list(argv)
    while args:
        arg = args.pop(0)
        if arg == "--preview":
            preview = args.pop(0)
        else:
            target = arg
    images = [(size, colour(render(size), size)) for size in (16, 32)]
    with open(target, "wb") as f:
        f.write(ico(images))
    if preview:
        png(images, preview)


if __name__ == "__main__":
    main(sys.argv[1:])
