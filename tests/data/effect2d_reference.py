"""Reference images of the 2D effects "Effect 1", "Rotate" and "Normalmap", worked out from their
formulas in plain Python: per-image coefficients rounded to float32, per-pixel work in double, the
tabulated cosine. It shares no code with the player.

image(kind, size, bits, p0) -> bytes, rows top to bottom as the effect writes them."""

import math
import struct


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


COS = [f32(math.cos(i * 0.0015339807861328126)) for i in range(8192)]
COEF = [f32(c) for c in (0.1, 0.12, 0.09, 0.07, 0.13, 0.135, 0.18, 0.2, 0.17, 0.22, 0.12, 0.2, 0.12, 0.15,
                         0.13, 0.14, 0.1, 0.08)]
STEPS = 651.8986469


def tc(v):
    """Entry 4096 + (k mod 4096, with the sign of k) for k = trunc(v)."""
    k = math.trunc(v)
    return COS[4096 + int(math.fmod(k, 4096))]


def tn(k):
    return COS[4096 + (k & 4095)]


def byte(v):
    return math.trunc(v) & 0xFF


def channels(s, d, d2):
    out = []
    for n in range(3):
        out.append((f32((COEF[2 * n] * d + 1) * COEF[12 + 2 * n] * STEPS), f32(COEF[6 + 2 * n] * s * STEPS),
                    f32((COEF[2 * n + 1] * d2 + 1) * COEF[13 + 2 * n] * STEPS), f32(COEF[7 + 2 * n] * s * STEPS)))
    return out


def effect1(size, depth, p0):
    s = f32(0.5 * f32(p0))
    a = f32((0.3 * math.cos(0.11 * s) + 0.7) * 9.72684185518603)
    e = f32((0.2 * math.cos(0.11 * s) + 0.8) * 12.96912246068074)
    w = f32(math.sin(0.1 * s) + 1.88)
    h, b, g = f32(math.cos(0.01 * s) * w), f32(math.sin(0.01 * s) * w), f32((1 - math.cos(0.01 * s)) * w)
    z, f = f32(0.06 * s), f32(0.08 * s)
    d, d2 = f32(math.cos(0.13 * s + 6.0) - 1), f32(math.cos(0.17 * s + 8.0) - 1)
    ch = channels(s, d, d2)
    out = bytearray()
    for y in range(size):
        r = 63 * (1 - tc(y * e)) + f
        for x in range(size):
            q = 63 * (1 - tc(x * a)) + z
            u, v = h * q + b * r, b * q + g * r
            for i, j, k, l in ch[:depth]:
                out.append(byte(63 * (tc(i * u + j) + 1) * (tc(k * v + l) + 1)))
    return bytes(out)


def rotate(size, depth, p0):
    s = f32(0.5 * f32(p0))
    phi = f32(0.15 * s)
    w = f32((math.sin(0.1 * s) + 1.88) * 20.0)
    m = f32(63 * w)
    f, z = f32(0.08 * w * s), f32(0.06 * w * s)
    ax = f32((0.0024543671875 * math.cos(0.11 * s) + 0.00981746875) * STEPS)
    ey = f32((0.0027611630859375 * math.cos(0.11 * s) + 0.0064427138671875) * STEPS)
    d, d2 = f32(math.cos(0.13 * s) + 6.0 - 1), f32(math.cos(0.17 * s) + 8.0 - 1)
    ch = channels(s, d, d2)
    c, sn = math.cos(phi), math.sin(phi)
    out = bytearray()
    for y in range(size):
        for x in range(size):
            u = math.trunc((x * c + y * sn) * ax)
            v = math.trunc((x * sn + y * (1 - c)) * ey)
            alpha, beta = (1 - tc(u)) * m + f, (1 - tc(v)) * m + z
            for i, j, k, l in ch[:depth]:
                out.append(byte(63 * (tc(alpha * i + j) + 1) * (tc(beta * k + l) + 1)))
    return bytes(out)


def normalmap(size, p0):
    t = math.trunc(f32(p0))
    out = bytearray()
    for y in range(size):
        a = y + t
        for x in range(size):
            out += bytes((byte((tn(t + 10 * x) + tn(10 * a)) * 255.0),
                          byte((tn(10 * t + 10 * x + 10000) + tn(a + 1000)) * 255.0), 255))
    return bytes(out)


def image(kind, size, bits, p0):
    depth = 1 if bits == 8 else 3
    if kind == 1:
        return effect1(size, depth, p0)
    if kind == 3:
        return rotate(size, depth, p0)
    if kind == 4:
        return normalmap(size, p0) if depth == 3 else bytes(size * size)
    raise ValueError(kind)
