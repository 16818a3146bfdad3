"""Authoring helpers in plain Python: model files and PNG images in the forms the player reads.

A model file is packed like a scene document: u32 little-endian inflated length, then a zlib
stream of: u16 vertex count N, u8 texture coordinate sets T, u8 reserved, N x 3 float positions,
T sets of N x 2 float coordinates, N x 3 float normals, u16 triangle indices."""

import struct
import zlib


def pack(data):
    """The u32 length + zlib form of documents and model files."""
    return struct.pack("<I", len(data)) + zlib.compress(data, 9)


def model(positions, texcoord_sets, normals, indices):
    """An unpacked model file; positions and normals are lists of (x, y, z), texcoord_sets a list of
    lists of (s, t), indices a flat list."""
    n = len(positions)
    out = struct.pack("<HBB", n, len(texcoord_sets), 0)
    out += b"".join(struct.pack("<3f", *p) for p in positions)
    for tex in texcoord_sets:
        assert len(tex) == n
        out += b"".join(struct.pack("<2f", *t) for t in tex)
    out += b"".join(struct.pack("<3f", *v) for v in normals)
    out += b"".join(struct.pack("<H", i) for i in indices)
    return out


def quad(x0=-0.5, y0=-0.5, x1=0.5, y1=0.5, z=0.0):
    """A rectangle in the XY plane facing +z, texture (0, 0) at (x0, y0)."""
    positions = [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]
    tex = [(0, 0), (1, 0), (1, 1), (0, 1)]
    return model(positions, [tex], [(0, 0, 1)] * 4, [0, 1, 2, 0, 2, 3])


def cube(half=0.5):
    """A cube of 24 vertices with outward normals and per-face texture coordinates."""
    faces = [  # normal, u axis, v axis
        ((1, 0, 0), (0, 0, -1), (0, 1, 0)), ((-1, 0, 0), (0, 0, 1), (0, 1, 0)),
        ((0, 1, 0), (1, 0, 0), (0, 0, -1)), ((0, -1, 0), (1, 0, 0), (0, 0, 1)),
        ((0, 0, 1), (1, 0, 0), (0, 1, 0)), ((0, 0, -1), (-1, 0, 0), (0, 1, 0)),
    ]
    positions, tex, normals, indices = [], [], [], []
    for n, u, v in faces:
        base = len(positions)
        for su, sv in [(-1, -1), (1, -1), (1, 1), (-1, 1)]:
            positions.append(tuple(half * (n[k] + su * u[k] + sv * v[k]) for k in range(3)))
            tex.append(((su + 1) / 2, (sv + 1) / 2))
            normals.append(n)
        indices += [base, base + 1, base + 2, base, base + 2, base + 3]
    return model(positions, [tex], normals, indices)


def png(width, height, pixel):
    """An 8-bit RGB PNG; pixel(x, y) gives (r, g, b) with y = 0 the top row."""
    raw = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def solid_png(width, height, rgb):
    return png(width, height, lambda x, y: rgb)
