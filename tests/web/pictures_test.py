#!/usr/bin/python3
# pictures_test.py: tools/web/pictures.py reads every PNG row filter and colour type the
# browser's screenshots may use, and the Linux tests' PPM files, to the same pixels; damaged
# files are refused.
import os
import struct
import sys
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "web"))
import pictures  # noqa: E402


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png(width, rows, channels, colour_type):
    """A PNG whose row y is filtered with filter y % 5, as an encoder free to choose would."""
    stride = width * channels
    raw = bytearray()
    previous = bytes(stride)
    for y, row in enumerate(rows):
        kind = y % 5
        raw.append(kind)
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            predictor = [0, left, up, (left + up) // 2, paeth(left, up, upper_left)][kind]
            raw.append((row[i] - predictor) & 0xFF)
        previous = row
    header = struct.pack(">IIBBBBB", width, len(rows), 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))


class ReadsPictures(unittest.TestCase):
    def test_every_row_filter_of_rgba_and_rgb_gives_the_pixels_back(self):
        width, height = 7, 10
        rgba = [bytes((x * 37 + y * 11 + c * 50) & 0xFF for x in range(width) for c in range(4))
                for y in range(height)]
        picture = pictures.read_png(png(width, rgba, 4, 6))
        self.assertEqual((picture.width, picture.height), (width, height))
        for y in range(height):
            for x in range(width):
                self.assertEqual(picture.at(x, y), tuple(rgba[y][x * 4:x * 4 + 3]), (x, y))
        rgb = [row[:width * 3] for row in rgba]
        picture = pictures.read_png(png(width, rgb, 3, 2))
        self.assertEqual(picture.at(6, 9), tuple(rgb[9][18:21]))
        grey = [bytes(range(y, y + width)) for y in range(height)]
        self.assertEqual(pictures.read_png(png(width, grey, 1, 0)).at(3, 4), (7, 7, 7))

    def test_damaged_or_unsupported_png_is_refused(self):
        good = png(2, [bytes(6), bytes(6)], 3, 2)
        with self.assertRaises(ValueError):
            pictures.read_png(b"GIF89a" + good[6:])
        with self.assertRaises(Exception):
            pictures.read_png(good[:40])
        sixteen_bit = bytearray(good)
        sixteen_bit[24] = 16  # the depth byte of the header
        with self.assertRaises(ValueError):
            pictures.read_png(bytes(sixteen_bit))

    def test_ppm_with_comment_and_cropping(self):
        data = b"P6\n# a comment\n3 2\n255\n" + bytes(range(18))
        picture = pictures.read_ppm(data)
        self.assertEqual((picture.width, picture.height), (3, 2))
        self.assertEqual(picture.at(2, 1), (15, 16, 17))
        part = picture.crop(1, 1, 2, 1)
        self.assertEqual(part.rgb, bytes(range(12, 18)))
        with self.assertRaises(ValueError):
            pictures.read_ppm(b"P3\n3 2\n255\n" + bytes(18))

    def test_cell_means_cover_the_share_asked_for(self):
        # Top half black, bottom half white: over the top half every cell is black.
        rgb = bytes(4 * 2 * 3) + bytes([255]) * (4 * 2 * 3)
        picture = pictures.Picture(4, 4, rgb)
        self.assertEqual(pictures.cell_means(picture, 2, 1, 0.5), [(0, 0, 0), (0, 0, 0)])
        self.assertEqual(pictures.cell_means(picture, 1, 2, 1.0), [(0, 0, 0), (255, 255, 255)])


if __name__ == "__main__":
    unittest.main()
