#!/usr/bin/python3
"""Writes resources/pictures/wait.gif: the small spinner the set/restore wait dialog plays.

Eight 32 x 32 frames of a ring of eight dots, one dark dot walking round, 100 ms each, looping.
The encoder keeps every code at one width by sending a clear code every few pixels, which every
GIF reader accepts and keeps this script short; the picture is a few kilobytes either way.
Run: /usr/bin/python3 scripts/make_wait_animation.py [output]
"""
import math
import struct
import sys

SIZE = 32
FRAMES = 8
# Palette index: 0 background (white), 1 faint dot, 2 dark dot, 3..7 unused.
PALETTE = [(255, 255, 255), (190, 205, 225), (1, 103, 204), (0, 0, 0),
           (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]
MIN_CODE_SIZE = 3  # 8 colours: codes are 4 bits wide
CLEAR, END = 1 << MIN_CODE_SIZE, (1 << MIN_CODE_SIZE) + 1
RUN = 4  # literals between clear codes: the table never grows past 4-bit codes


def frame_pixels(lit):
    pixels = [0] * (SIZE * SIZE)
    for dot in range(8):
        angle = dot * math.pi / 4
        cx, cy = 16 + 11 * math.cos(angle), 16 + 11 * math.sin(angle)
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= 9:
                    pixels[y * SIZE + x] = 2 if dot == lit else 1
    return pixels


def lzw(pixels):
    codes = []
    for start in range(0, len(pixels), RUN):
        codes.append(CLEAR)
        codes.extend(pixels[start:start + RUN])
    codes.append(END)
    out, acc, bits = bytearray(), 0, 0
    for code in codes:
        acc |= code << bits
        bits += MIN_CODE_SIZE + 1
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray([MIN_CODE_SIZE])
    for start in range(0, len(out), 255):
        chunk = out[start:start + 255]
        blocks += bytes([len(chunk)]) + chunk
    return blocks + b"\x00"


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "resources/pictures/wait.gif"
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", SIZE, SIZE, 0x80 | 0x70 | 2, 0, 0)
    for rgb in PALETTE:
        gif += bytes(rgb)
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for lit in range(FRAMES):
        gif += b"\x21\xF9\x04" + struct.pack("<BHBB", 1 << 2, 10, 0, 0)  # disposal 1, 10/100 s
        gif += b"\x2C" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0)
        gif += lzw(frame_pixels(lit))
    gif += b"\x3B"
    with open(path, "wb") as f:
        f.write(gif)


if __name__ == "__main__":
    main()
