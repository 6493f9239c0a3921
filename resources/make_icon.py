"""Draws the application icon (a spruce on a blue tile) as a 32-bit .ico."""
import struct
import sys


def pixel(x, y, size):
    # Rounded blue tile with a green spruce of three tiers and a brown trunk.
    s = size
    cx = s / 2
    r = s * 0.18
    inside = True
    for (ex, ey) in ((r, r), (s - r, r), (r, s - r), (s - r, s - r)):
        if (x < r or x > s - r) and (y < r or y > s - r):
            if (x - ex) ** 2 + (y - ey) ** 2 > r * r and abs(x - ex) < r + 1 and abs(y - ey) < r + 1:
                inside = False
    if not inside:
        return (0, 0, 0, 0)
    col = (40, 92, 160, 255)
    tiers = ((0.14, 0.42, 0.20), (0.30, 0.60, 0.28), (0.46, 0.78, 0.36))
    for top, bottom, half in tiers:
        ty, by = top * s, bottom * s
        if ty <= y <= by:
            w = half * s * (y - ty) / (by - ty)
            if abs(x - cx) <= w:
                col = (60, 170, 90, 255)
    if 0.78 * s <= y <= 0.88 * s and abs(x - cx) <= 0.06 * s:
        col = (120, 80, 40, 255)
    return col


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x + 0.5, y + 0.5, size)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
