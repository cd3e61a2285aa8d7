#!/usr/bin/env python3
"""Writes the image seeds of image_bytes_fuzz into seeds/image_bytes/.

JPEGs come from libjpeg-turbo's TurboJPEG library (through ctypes); EXIF
blocks, PNG, BMP, TIFF and the JPEG 2000 headers are put together by hand.
Each file is a few hundred bytes. Run it again only to change the seeds:
the files are kept in the repository.
"""
import base64
import ctypes
import ctypes.util
import os
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "image_bytes")

TJPF_RGB, TJPF_GRAY, TJPF_CMYK = 0, 6, 11
TJSAMP_444, TJSAMP_420, TJSAMP_GRAY = 0, 2, 3
TJFLAG_PROGRESSIVE = 16384

tj = ctypes.CDLL(ctypes.util.find_library("turbojpeg") or "libturbojpeg.so.0")
tj.tjInitCompress.restype = ctypes.c_void_p
tj.tjCompress2.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int,
                           ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_void_p),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int, ctypes.c_int,
                           ctypes.c_int]
tj.tjFree.argtypes = [ctypes.c_void_p]


def jpeg(width, height, pixel_format, channels, subsampling, flags=0):
    # Two halves of different colours, so turns are visible.
    pixels = bytearray()
    for _ in range(height):
        for x in range(width):
            value = (200, 30, 40, 10) if x < width // 2 else (20, 60, 220, 90)
            pixels += bytes(value[:channels])
    handle = tj.tjInitCompress()
    out = ctypes.c_void_p()
    size = ctypes.c_ulong()
    if tj.tjCompress2(handle, bytes(pixels), width, 0, height, pixel_format, ctypes.byref(out),
                      ctypes.byref(size), subsampling, 75, flags) != 0:
        raise RuntimeError("tjCompress2 failed")
    data = ctypes.string_at(out, size.value)
    tj.tjFree(out)
    return data


def exif_block(big_endian, entries):
    """An APP1 Exif segment whose first IFD holds (tag, type, count, value) entries."""
    e = ">" if big_endian else "<"
    tiff = (b"MM\0*" if big_endian else b"II*\0") + struct.pack(e + "I", 8)
    tiff += struct.pack(e + "H", len(entries))
    for tag, kind, count, value in entries:
        if kind == 3:  # SHORT: the value sits left-aligned in the four bytes
            tiff += struct.pack(e + "HHIHH", tag, kind, count, value, 0)
        else:
            tiff += struct.pack(e + "HHII", tag, kind, count, value)
    tiff += struct.pack(e + "I", 0)
    payload = b"Exif\0\0" + tiff
    return b"\xFF\xE1" + struct.pack(">H", len(payload) + 2) + payload


def with_segment(jpeg_bytes, segment):
    return jpeg_bytes[:2] + segment + jpeg_bytes[2:]


def png(width, height):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + bytes((x * 40) & 0xFF for x in range(width * 3))
                    for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2,
                                                            0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def bmp(width, height):
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes((y * 50) & 0xFF for _ in range(width * 3)).ljust(stride, b"\0")
                      for y in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) \
        + info + pixels


def tiff(width, height):
    pixels = bytes((i * 7) & 0xFF for i in range(width * height))
    entries = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 8), (259, 3, 1, 1),
               (262, 3, 1, 1), (273, 4, 1, 0), (277, 3, 1, 1), (278, 3, 1, height),
               (279, 4, 1, len(pixels))]
    ifd_size = 2 + 12 * len(entries) + 4
    data_at = 8 + ifd_size
    out = b"II*\0" + struct.pack("<IH", 8, len(entries))
    for tag, kind, count, value in entries:
        if tag == 273:
            value = data_at
        if kind == 3:
            out += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, kind, count, value)
    return out + struct.pack("<I", 0) + pixels


def j2k_header(width, height):
    siz = struct.pack(">HHIIIIIIIIH", 41, 0, width, height, 0, 0, width, height, 0, 0, 1)
    return b"\xFF\x4F\xFF\x51" + siz + b"\x07\x01\x01" + b"\xFF\xD9"


def main():
    os.makedirs(HERE, exist_ok=True)
    colour = jpeg(16, 8, TJPF_RGB, 3, TJSAMP_420)
    seeds = {
        "plain.jpg": colour,
        "grey.jpg": jpeg(8, 8, TJPF_GRAY, 1, TJSAMP_GRAY),
        "progressive.jpg": jpeg(16, 8, TJPF_RGB, 3, TJSAMP_444, TJFLAG_PROGRESSIVE),
        "cmyk.jpg": jpeg(8, 8, TJPF_CMYK, 4, TJSAMP_444),
        "exif_le_6.jpg": with_segment(colour, exif_block(False, [(0x0112, 3, 1, 6)])),
        "exif_be_8.jpg": with_segment(colour, exif_block(True, [(0x010F, 2, 4, 0),
                                                                (0x0112, 3, 1, 8)])),
        "exif_le_3_after_app0.jpg": colour[:20] + exif_block(False, [(0x0112, 3, 1, 3)])
        + colour[20:],
        "exif_bad_value.jpg": with_segment(colour, exif_block(False, [(0x0112, 3, 1, 9)])),
        "exif_ifd_past_end.jpg": with_segment(colour, b"\xFF\xE1\x00\x10Exif\0\0II*\0\xF0\0\0\0"),
        "truncated.jpg": colour[:len(colour) // 2],
        "small.png": png(6, 4),
        "small.bmp": bmp(5, 3),
        "small.tiff": tiff(4, 3),
        # The smallest lossless, lossy and extended (alpha) WebP files in common use.
        "lossless.webp": base64.b64decode("UklGRhoAAABXRUJQVlA4TA0AAAAvAAAAEAcQERGIiP4HAA=="),
        "lossy.webp": base64.b64decode("UklGRiIAAABXRUJQVlA4IBYAAAAwAQCdASoBAAEADsD+JaQAA3AAAAAA"),
        "alpha.webp": base64.b64decode("UklGRkoAAABXRUJQVlA4WAoAAAAQAAAAAAAAAAAAQUxQSAwAAAARBxAR"
                                       "/Q9ERP8DAABWUDggGAAAABQBAJ0BKgEAAQAAAP4AAA3AAP7mtQAAAA=="),
        "codestream.j2k": j2k_header(40, 30),
        "box.jp2": b"\0\0\0\x0CjP  \r\n\x87\n" + struct.pack(">I", 8 + 49) + b"jp2c"
        + j2k_header(40, 30),
    }
    for name, data in seeds.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
