#!/usr/bin/env python3
"""Writes resources/windows/yunque.ico from the program's PNG icons.

One icon holding every size of resources/icons/yunque-<size>.png, each
stored as the PNG itself (which Windows reads in icons of every size), so
that the large and the small icon come from the same artwork as the Linux
icon. Run it again after the PNGs change; the result is committed.
"""
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48, 64, 128, 256)
root = Path(__file__).resolve().parent.parent
source = root / "resources" / "icons"
target = root / "resources" / "windows" / "yunque.ico"

images = []
for size in SIZES:
    data = (source / f"yunque-{size}.png").read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"yunque-{size}.png is not a PNG file")
    width, height = struct.unpack(">II", data[16:24])
    if (width, height) != (size, size):
        sys.exit(f"yunque-{size}.png is {width}x{height}, not {size}x{size}")
    images.append((size, data))

# ICONDIR, then one ICONDIRENTRY per image (a size of 256 is written as 0),
# then the images in the same order.
header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b""
for size, data in images:
    side = 0 if size >= 256 else size
    entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
    offset += len(data)

target.parent.mkdir(parents=True, exist_ok=True)
target.write_bytes(header + entries + b"".join(data for _, data in images))
print(f"wrote {target.relative_to(root)}: {', '.join(str(size) for size in SIZES)}")
