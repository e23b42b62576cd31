#!/usr/bin/env python3
"""Writes the five 16x16 16-colour folder icons of the settings dialogs (with their masks)
into plugin/resources/. Each picture is drawn below as rows of palette digits; '.' is
transparent."""
import os
import struct

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# 0 black, 1 dark red, 3 olive, 7 silver, 8 grey, 9 red, B yellow, F white.
MAIL_TRAY = [
    "................",
    "................",
    "....00000000....",
    "....0FFFFFF0....",
    "....0F8888F0....",
    "....0FFFFFF0....",
    "....0F8888F0....",
    ".00.0FFFFFF0.00.",
    ".090000000000990",
    ".09999999999990.",
    ".09111111111190.",
    ".09999999999990.",
    ".09999999999990.",
    ".01111111111110.",
    "..000000000000..",
    "................",
]

WASTE_BIN = [
    "................",
    "......0000......",
    "..000007700000..",
    ".08777777777780.",
    ".00000000000000.",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "..078787878780..",
    "...0787878780...",
    "...0000000000...",
    "................",
]

OPEN_FOLDER = [
    "................",
    "................",
    ".0000...........",
    "0BBBB0..........",
    "0BFBBB000000....",
    "0BBBBBBBBBB0....",
    "0BF0000000000000",
    "0BB0BBBBBBBBBBB0",
    "0B0BBBBBBBBBBB0.",
    "0B0BBBBBBBBBBB0.",
    "00BBBBBBBBBBB0..",
    "00BBBBBBBBBBB0..",
    "0000000000000...",
    "................",
    "................",
    "................",
]

CLOSED_FOLDER = [
    "................",
    "................",
    "..00000.........",
    ".0BFBFB0........",
    "0BFBFBFB00000000",
    "0FFFFFFFFFFFFFF0",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0FBBBBBBBBBBBB30",
    "0333333333333330",
    "0000000000000000",
    "................",
]

ICONS = {
    "inbox.ico": MAIL_TRAY,
    "trash.ico": WASTE_BIN,
    "outbox.ico": MAIL_TRAY,
    "folder-open.ico": OPEN_FOLDER,
    "folder.ico": CLOSED_FOLDER,
}


def icon_bytes(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        indices = [0 if c == "." else int(c, 16) for c in row]
        for i in range(0, 16, 2):
            xor.append(indices[i] << 4 | indices[i + 1])
        bits = 0
        for c in row:
            bits = bits << 1 | (1 if c == "." else 0)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(image), 22)
    return directory + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "plugin", "resources")
    for name, rows in ICONS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(icon_bytes(rows))


if __name__ == "__main__":
    main()
