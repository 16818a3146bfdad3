"""A separate, plain reference for the texture generators and filters, written from their formulas.
It shares no code with the engine; the end-to-end texture test compares the engine's images with it.
Where the engine keeps a value in single precision (float parameters, the plasma's step, the brick
size, the random generator's u), this rounds it the same way with f32()."""

import math
import struct

N = 256


FLT_MAX = 3.4028234663852886e38


def f32(x):
    """x rounded to single precision; beyond the float range it becomes FLT_MAX or infinity as IEEE
    rounding gives (struct refuses those)."""
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        big = FLT_MAX if abs(x) < 2.0 ** 128 - 2.0 ** 103 else math.inf
        return math.copysign(big, x)


def trunc_byte(v):
    if not (-2147483649.0 < v < 2147483648.0):
        return 0
    return int(v) & 0xFF


# The engine's stated results for document numbers turned into integers: truncation toward zero,
# NaN gives 0 (or the lower limit of a clamp), values beyond the 32-bit range are held at its ends.
def conv_i32(v):
    if v != v:
        return 0
    if v <= -2147483648.0:
        return -2147483648
    if v >= 2147483647.0:
        return 2147483647
    return int(v)


def conv_clamped(v, lo, hi):
    if v != v:
        return lo
    return min(max(conv_i32(v), lo), hi)


def wrap(v, n):
    """A document offset as a whole number of steps modulo n: trunc(v) mod n exactly, whatever its
    size; NaN and infinities give 0."""
    if not math.isfinite(v):
        return 0
    return int(v) % n


def trunc_wide(v):
    """trunc() of the per-byte operations: NaN gives the lowest 64-bit value, magnitudes beyond 9e18
    the end of their side."""
    if not (-9.0e18 < v < 9.0e18):
        return 2 ** 63 - 1 if v > 0 else -2 ** 63
    return int(v)


def clamped(t):
    return min(max(t, 0), 255)


def upper_limited(t):
    return 255 if t > 255 else t & 0xFF


def sin(x):
    return math.sin(x) if math.isfinite(x) else math.nan


CURVE = [
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 5,
    5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 10, 10, 11, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 17, 17, 18, 18, 19,
    19, 20, 21, 21, 22, 23, 23, 24, 24, 25, 26, 27, 27, 28, 29, 29, 30, 31, 32, 32, 33, 34, 35, 35, 36, 37, 38, 39, 40,
    40, 41, 42, 43, 44, 45, 46, 47, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67,
    68, 69, 70, 71, 72, 74, 75, 76, 77, 78, 79, 80, 81, 83, 84, 85, 86, 87, 88, 90, 91, 92, 93, 94, 96, 97, 98, 99, 101,
    102, 103, 104, 106, 107, 108, 109, 111, 112, 113, 115, 116, 117, 119, 120, 121, 123, 124, 125, 127, 128, 129, 131,
    132, 133, 135, 136, 138, 139, 140, 142, 143, 145, 146, 147, 149, 150, 152, 153, 155, 156, 157, 159, 160, 162, 163,
    165, 166, 168, 169, 171, 172, 174, 175, 176, 178, 179, 181, 182, 184, 185, 187, 188, 190, 192, 193, 195, 196, 198,
    199, 201, 202, 204, 205, 207, 208, 210, 211, 213, 214, 216, 218, 219, 221, 222, 224, 225, 227, 228, 230, 232, 233,
    235, 236, 238, 239, 241, 242, 244, 246, 247, 249, 250, 252, 253,
]
assert len(CURVE) == 256


class Random:
    def __init__(self, seed):
        # The low 32 bits of the truncated seed; NaN and infinities seed 0.
        self.s = int(math.trunc(seed)) & 0xFFFFFFFF if math.isfinite(seed) else 0

    def next(self):
        self.s = (self.s * 1103515245 + 12345) & 0xFFFFFFFF
        return ((self.s >> 16) & 0x7FFF) * 3.0517578125e-05


def blank():
    return bytearray(N * N * 3)


def put(img, x, y, rgb):
    i = (y * N + x) * 3
    img[i:i + 3] = bytes(rgb)


def color(p):
    img = blank()
    rgb = [trunc_byte(p[i] * 255.0) for i in range(3)]
    for y in range(N):
        for x in range(N):
            put(img, x, y, rgb)
    return img


def plasma(p):
    a = f32(p[3] * 6.283185307179586 / N)
    b = f32(p[4] * 6.283185307179586 / N)
    img = blank()
    for y in range(N):
        sy = sin(f32(y * b))
        for x in range(N):
            t = (sin(f32(x * a)) + sy) * 63.5 + 127.0
            v = int(t) if t == t else 0  # a NaN sine gives 0
            put(img, x, y, [trunc_byte(v * p[i]) for i in range(3)])
    return img


def radial(p):
    h = N // 2
    k = conv_clamped(p[7], 0, 127)
    img = blank()
    for y in range(N):
        for x in range(N):
            d = math.sqrt((h - x) ** 2 + (h - y) ** 2)
            f = d * p[6] - k
            if f < 0:  # NaN stays
                f = 0.0
            a = h * (f / (h - k))
            margin, centre = (2 * a, 255 - 2 * a) if a <= 127 else (255.0, 0.0)
            put(img, x, y, [trunc_byte(margin * p[3 + i] + centre * p[i]) for i in range(3)])
    return img


def maze_tiles(s):
    n = 1 << s
    m = float(n - 1)
    k = 1.0 / m
    tiles = [[0] * (n * n) for _ in range(4)]
    for r in range(n):
        for c in range(n):
            values = [(m - c) * (m - r) * k * k * 255, r * m * 255 * k * k,
                      (c * (m - r) * k + (m - c) * r * k) * k * 255,
                      (c * ((m - r) * k + r * k) + (m - c) * r * k) * k * 255]
            for t in range(4):
                tiles[t][r * n + c] = CURVE[int(values[t])]
    return tiles


def maze(p):
    rounded = round(p[3]) if math.isfinite(p[3]) else p[3]  # ties to even
    s = conv_clamped(rounded, 1, 7)
    n = 1 << s
    g = N // n
    full = min(max(p[5], 0.0), 1.0) if p[5] == p[5] else 0.0  # NaN fullness sets no corner
    rnd = Random(p[4])
    side = g + 1
    grid = [round(min(max(rnd.next() + 2 * full - 1, 0.0), 1.0)) for _ in range(side * side)]
    grid[-1] = grid[0]
    for i in range(g + 1):
        grid[i * side + g] = grid[i * side]
        grid[g * side + i] = grid[i]
    t0, t1, t2, t3 = maze_tiles(s)
    n1 = n - 1

    def T(tile, r, c):
        return tile[r * n + c]

    img = blank()
    for ci in range(g):
        for cj in range(g):
            a, b = grid[ci * side + cj], grid[ci * side + cj + 1]
            c, d = grid[(ci + 1) * side + cj], grid[(ci + 1) * side + cj + 1]
            pattern = 8 * a + 4 * b + 2 * c + d
            for R in range(n):
                for C in range(n):
                    v = {0: 0, 1: lambda: T(t0, n1 - R, n1 - C), 2: lambda: T(t0, n1 - R, C), 3: lambda: T(t1, R, C),
                         4: lambda: T(t0, R, n1 - C), 5: lambda: T(t1, C, R), 6: lambda: T(t2, R, C),
                         7: lambda: T(t3, R, C), 8: lambda: T(t0, R, C), 9: lambda: T(t2, R, n1 - C),
                         10: lambda: T(t1, n1 - C, R), 11: lambda: T(t3, R, n1 - C), 12: lambda: T(t1, n1 - R, C),
                         13: lambda: T(t3, n1 - R, C), 14: lambda: T(t3, n1 - R, n1 - C), 15: 255}[pattern]
                    v = v() if callable(v) else v
                    if pattern == 15:
                        rgb = [trunc_byte(p[i] * 255.0) for i in range(3)]
                    else:
                        rgb = [trunc_byte(v * p[i]) for i in range(3)]
                    put(img, cj * n + C, ci * n + R, rgb)
    return img


def bricks(p):
    brick = [p[i] * 255.0 for i in range(3)]
    wall = [p[3 + i] * 255.0 for i in range(3)]
    h, v, hm, vm = conv_i32(p[6]), conv_i32(p[7]), conv_i32(p[8]), conv_i32(p[9])
    # Single-precision division of the float values (a double quotient rounded once more is the same).
    bh = f32(f32(N) / f32(h)) if h else math.inf
    bw = f32(f32(N) / f32(v)) if v else math.inf
    o = wrap(p[10], N)

    def reduce(t, step):
        """Whole steps taken off while t is above the step; steps below one pixel in one go (their
        parity is what counts)."""
        count = 0
        if not (step > 0) or not math.isfinite(step):
            return t, 0
        if step < 1.0:
            q = math.ceil(t / step) - 1
            if q > 0:
                count = int(math.fmod(q, 2.0))
                t -= q * step
            return t, count
        while t > step:
            t -= step
            count += 1
        return t, count

    wall_row, brick_row = [], []
    for x in range(N):
        t, _ = reduce(float(x), bw)
        joint = t < vm or bw - t < vm
        wall_row.append([trunc_byte(c) for c in wall])
        brick_row.append([trunc_byte(c) for c in (wall if joint else brick)])
    offset_row = [brick_row[(x + o) % N] for x in range(N)]
    img = blank()
    for y in range(N):
        t, count = reduce(float(y), bh)
        row = wall_row if (t < hm or bh - t < hm) else (brick_row if count % 2 == 0 else offset_row)
        for x in range(N):
            put(img, x, y, row[x])
    return img


def noise(p):
    rnd = Random(p[3])
    img = blank()
    for y in range(N):
        for x in range(N):
            u = rnd.next()
            put(img, x, y, [trunc_byte(u * p[i] * 255) for i in range(3)])
    return img


GENERATORS = [color, plasma, radial, maze, bricks, noise]

# Filters on images a (and b); p the parameters.
COSINE = [f32(math.cos(i * 0.0015339807861328126)) for i in range(8192)]


def cos_step(v):
    """The cosine table at step trunc(v), taken modulo 4096 with its sign; NaN and infinities read
    step 0."""
    if not math.isfinite(v):
        return COSINE[4096]
    return COSINE[4096 + int(math.fmod(int(v), 4096))]


def invert(a, b, p):
    return bytearray(255 - v for v in a)


def mul2(a, b, p):
    return bytearray(clamped(trunc_wide(x * y * p[0])) for x, y in zip(a, b))


def offset(a, b, p):
    X, Y = wrap(p[0], N), wrap(p[1], N)
    out = blank()
    for y in range(N):
        for x in range(N):
            s = (((y + X) % N) * N + (x + Y) % N) * 3
            out[(y * N + x) * 3:(y * N + x) * 3 + 3] = a[s:s + 3]
    return out


def ripple(a, b, p):
    def wavelength(w):
        return float(abs(math.trunc(w))) if math.isfinite(w) else abs(w)

    ax, ay, wx, wy = p[0], p[1], wavelength(p[2]), wavelength(p[3])
    out = blank()
    for y in range(N):
        cy = cos_step(wy * 4096 * (1 / N) * y)
        for x in range(N):
            cx = cos_step(x * wx * 4096 * (1 / N))
            u, v = ax * N * cy + x, ay * N * cx + y
            # A source position that is not finite reads as position 0.
            u = u if math.isfinite(u) else 0.0
            v = v if math.isfinite(v) else 0.0
            i, j = math.floor(u), math.floor(v)
            fx, fy = u - i, v - j
            i, j = i % N, j % N
            i1, j1 = (i + 1) % N, (j + 1) % N
            d = [math.sqrt(fx * fx + fy * fy), math.sqrt((1 - fx) ** 2 + fy * fy),
                 math.sqrt(fx * fx + (1 - fy) ** 2), math.sqrt((1 - fx) ** 2 + (1 - fy) ** 2)]
            for c in range(3):
                px = [a[(j * N + i) * 3 + c], a[(j * N + i1) * 3 + c], a[(j1 * N + i) * 3 + c], a[(j1 * N + i1) * 3 + c]]
                out[(y * N + x) * 3 + c] = int(sum(q * w for q, w in zip(px, d)) / sum(d)) & 0xFF
    return out


def blur(a, b, p):
    out = blank()
    for y in range(N):
        for x in range(N):
            for c in range(3):
                s = sum(a[(((y + dy) % N) * N + (x + dx) % N) * 3 + c] for dy in (-1, 0, 1) for dx in (-1, 0, 1))
                out[(y * N + x) * 3 + c] = int(s * 0.111111111)
    return out


EMBOSS = [[[-2, -1, 0], [-1, 1, 1], [0, 1, 2]], [[0, -1, -2], [1, 1, -1], [2, 1, 0]],
          [[2, 1, 0], [1, 1, -1], [0, -1, -2]], [[0, 1, 2], [-1, 1, 1], [-2, -1, 0]]]


def emboss(a, b, p):
    w = EMBOSS[conv_clamped(p[0], 1, 4) - 1]
    out = blank()
    for y in range(N):
        for x in range(N):
            for c in range(3):
                s = sum(w[dy + 1][dx + 1] * a[(((y + dy) % N) * N + (x + dx) % N) * 3 + c]
                        for dy in (-1, 0, 1) for dx in (-1, 0, 1))
                out[(y * N + x) * 3 + c] = min(max(s, 0), 255)
    return out


def add(a, b, p):
    return bytearray(clamped(trunc_wide(x * p[0] + y * p[1])) for x, y in zip(a, b))


def multiply_layer(a, l, p):
    return bytearray(upper_limited(trunc_wide(y * x * p[0])) for x, y in zip(a, l))


def maximum(a, b, p):
    return bytearray(upper_limited(max(trunc_wide(y * p[1]), trunc_wide(x * p[0]))) for x, y in zip(a, b))


def minimum(a, b, p):
    return bytearray(upper_limited(min(trunc_wide(x * p[0]), trunc_wide(y * p[1]))) for x, y in zip(a, b))


def multiply(a, b, p):
    return bytearray(upper_limited(trunc_wide(x * p[0])) for x in a)


# Operations by node type: f(first input, second input or layer image, parameters).
FILTERS = {101: add, 102: multiply_layer, 103: maximum, 104: minimum, 201: invert, 202: multiply, 203: offset,
           204: ripple, 205: blur, 206: emboss, 207: add, 208: mul2, 209: maximum, 210: minimum}
