#!/usr/bin/env python3
"""Writes the seed inputs of exif_fuzz: small JPEG, TIFF and PNG files whose
EXIF holds a capture date and a GPS position, plus a few odd variants
(big-endian, zero denominators, references and dates of unusual form).

Usage: python3 fuzz/make_exif_seeds.py fuzz/corpus/exif_fuzz
"""
import os
import struct
import sys
import zlib

BYTE, ASCII, SHORT, LONG, RATIONAL, SRATIONAL = 1, 2, 3, 4, 5, 10
SIZES = {BYTE: 1, ASCII: 1, SHORT: 2, LONG: 4, RATIONAL: 8, SRATIONAL: 8}

# A 1x1 grey baseline JPEG without any metadata.
PLAIN_JPEG = bytes.fromhex(
    "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e12"
    "11101318281a181616183123251d283a333d3c3933383740485c4e404457453738506d51"
    "575f626768673e4d71797064785c656763ffc0000b080001000101011100ffc400140001"
    "00000000000000000000000000000007ffc4001410010000000000000000000000000000"
    "0000ffda0008010100003f00407fffd9")


def encode_value(kind, values, end):
    if kind == ASCII:
        return values
    if kind == BYTE:
        return bytes(values)
    code = {SHORT: "H", LONG: "I", RATIONAL: "II", SRATIONAL: "ii"}[kind]
    flat = [x for v in values for x in (v if isinstance(v, tuple) else (v,))]
    return struct.pack(end + code[0] * len(flat), *flat)


def tiff(ifd0, exif, gps, end="<", strip=None):
    """A TIFF stream: IFD0 (plus pointers to the Exif and GPS IFDs)."""
    out = bytearray(b"II*\x00" if end == "<" else b"MM\x00*")
    out += struct.pack(end + "I", 8)

    def layout(entries, start):
        # entries: list of (tag, kind, values); returns (bytes, size)
        count = len(entries)
        data_at = start + 2 + 12 * count + 4
        head = bytearray(struct.pack(end + "H", count))
        data = bytearray()
        for tag, kind, values in sorted(entries, key=lambda e: e[0]):
            raw = encode_value(kind, values, end)
            n = len(raw) // SIZES[kind]
            head += struct.pack(end + "HHI", tag, kind, n)
            if len(raw) <= 4:
                head += raw.ljust(4, b"\x00")
            else:
                head += struct.pack(end + "I", data_at + len(data))
                data += raw + (b"\x00" if len(raw) % 2 else b"")
        head += struct.pack(end + "I", 0)
        return bytes(head + data)

    # Sizes do not depend on the offsets, so lay out once to measure.
    entries0 = list(ifd0)
    if exif is not None:
        entries0.append((0x8769, LONG, [0]))
    if gps is not None:
        entries0.append((0x8825, LONG, [0]))
    size0 = len(layout(entries0, 8))
    exif_at = 8 + size0
    exif_bytes = layout(exif, exif_at) if exif is not None else b""
    gps_at = exif_at + len(exif_bytes)
    gps_bytes = layout(gps, gps_at) if gps is not None else b""
    strip_at = gps_at + len(gps_bytes)
    entries0 = [e for e in entries0 if e[0] not in (0x8769, 0x8825, 0x0111)]
    if exif is not None:
        entries0.append((0x8769, LONG, [exif_at]))
    if gps is not None:
        entries0.append((0x8825, LONG, [gps_at]))
    if strip is not None:
        entries0.append((0x0111, LONG, [strip_at]))
    out += layout(entries0, 8) + exif_bytes + gps_bytes + (strip or b"")
    return bytes(out)


def gps_ifd(lat, lat_ref, lon, lon_ref):
    return [(0x0000, BYTE, [2, 3, 0, 0]), (0x0001, ASCII, lat_ref), (0x0002, RATIONAL, lat),
            (0x0003, ASCII, lon_ref), (0x0004, RATIONAL, lon)]


DATE = [(0x9003, ASCII, b"2023:06:15 14:34:56\x00")]
PARIS = gps_ifd([(48, 1), (51, 1), (301332, 10000)], b"N\x00",
                [(2, 1), (17, 1), (401328, 10000)], b"E\x00")
SYDNEY = gps_ifd([(33, 1), (513648, 10000), (0, 1)], b"S\x00",
                 [(151, 1), (12918, 1000), (0, 1)], b"E\x00")
ODD = gps_ifd([(1, 0), (0, 0), (7, 0)], b"s \x00", [(4294967295, 1), (59, 1), (0, 1)],
              b"West\x00")
UNSET_DATE = [(0x9003, ASCII, b"    :  :     :  :  \x00")]

GREY_1X1 = [(0x0100, SHORT, [1]), (0x0101, SHORT, [1]), (0x0102, SHORT, [8]),
            (0x0103, SHORT, [1]), (0x0106, SHORT, [1]), (0x0115, SHORT, [1]),
            (0x0116, SHORT, [1]), (0x0117, LONG, [1]), (0x0111, LONG, [0])]


def jpeg(tiff_bytes):
    app1 = b"Exif\x00\x00" + tiff_bytes
    return PLAIN_JPEG[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + PLAIN_JPEG[2:]


def png(tiff_bytes):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"eXIf", tiff_bytes) +
            chunk(b"IDAT", zlib.compress(b"\x00\x80")) + chunk(b"IEND", b""))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "date_gps.jpg": jpeg(tiff([], DATE, PARIS)),
        "south_big_endian.jpg": jpeg(tiff([], None, SYDNEY, end=">")),
        "odd_values.jpg": jpeg(tiff([], UNSET_DATE, ODD)),
        "date_gps.tiff": tiff(GREY_1X1, DATE, SYDNEY, strip=b"\x80"),
        "date_gps.png": png(tiff([], DATE, PARIS)),
        "plain.jpg": PLAIN_JPEG,
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "fuzz/corpus/exif_fuzz")
