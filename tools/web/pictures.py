# pictures.py: the pictures the browser tests compare: PNG files as the browser's screenshots
# give them (8 bits a channel, grey, RGB or RGBA, not interlaced) and binary PPM files as the
# Linux tests save them, read into one record of RGB rows; and the measures the tests take of
# them (the overlay's ink, mean colours of cells).
import struct
import zlib


class Picture:
    """width x height pixels, rgb a bytes object of 3 bytes a pixel, rows top first."""

    def __init__(self, width, height, rgb):
        if len(rgb) != width * height * 3:
            raise ValueError(f"{len(rgb)} bytes for {width} x {height} pixels")
        self.width = width
        self.height = height
        self.rgb = rgb

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, left, top, width, height):
        rows = [self.rgb[((top + y) * self.width + left) * 3:
                         ((top + y) * self.width + left + width) * 3] for y in range(height)]
        return Picture(width, height, b"".join(rows))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    at = 8
    header = None
    compressed = []
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if len(body) != length:
            raise ValueError("PNG chunk cut short")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed.append(body)
        elif kind == b"IEND":
            break
        at += 12 + length
    if header is None:
        raise ValueError("PNG without a header")
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError(f"PNG of depth {depth}, colour type {colour}, interlace {interlace}")
    raw = zlib.decompress(b"".join(compressed))
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("PNG data of the wrong size")
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                row[i] = (row[i] + _paeth(left, up, upper_left)) & 0xFF
            elif kind != 0:
                raise ValueError(f"PNG filter {kind}")
        rows.append(row)
        previous = row
    rgb = bytearray()
    for row in rows:
        for x in range(width):
            pixel = row[x * channels:(x + 1) * channels]
            rgb += bytes(pixel[:3]) if channels >= 3 else bytes([pixel[0]] * 3)
    return Picture(width, height, bytes(rgb))


def read_ppm(data):
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not a binary PPM file of 8-bit channels")
    width, height = int(fields[1]), int(fields[2])
    return Picture(width, height, data[at + 1:at + 1 + width * height * 3])


def cell_means(picture, columns, rows, share):
    """The mean colour of each of columns x rows cells over the top share of the picture."""
    means = []
    for row in range(rows):
        y0 = int(picture.height * share * row / rows)
        y1 = int(picture.height * share * (row + 1) / rows)
        for column in range(columns):
            x0 = picture.width * column // columns
            x1 = picture.width * (column + 1) // columns
            sums = [0, 0, 0]
            for y in range(y0, y1):
                line = picture.rgb[(y * picture.width + x0) * 3:(y * picture.width + x1) * 3]
                for c in range(3):
                    sums[c] += sum(line[c::3])
            count = max(1, (x1 - x0) * (y1 - y0))
            means.append(tuple(s / count for s in sums))
    return means
