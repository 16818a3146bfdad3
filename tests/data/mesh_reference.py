"""Reference geometry for the bvtool mesh tests, worked out from the mesh effect, manipulator and
matrix rules in plain Python (double precision, rounded to float32 where the player keeps floats).
It shares no code with the player.

An item is a dict:
  mesh: one of
    ("model", positions, texcoords or None, normals, indices)
    ("centerwave", T)   ("swirl", X, Y)   ("umbrella", sides, size, angle)
    ("lake", [T of every frame, in order])   -- the item draws once per frame
  placement: nine values (position, rotation in degrees, scale)
  face: True when the item turns to face the camera
  manipulators: list of (kind, [parameters], target) where target is None or a mesh as above
Camera rotation (x, y, z degrees) only matters for facing items.
"""

import math
import struct


def f32(x):
    """x rounded to a float32 (infinities and NaN pass through)."""
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        return math.copysign(float("inf"), x)


# The tabulated cosine: 4096 steps a turn over two turns.
COS_TABLE = [f32(math.cos(i * 0.0015339807861328126)) for i in range(8192)]


def cos_step(k):
    m = math.fmod(k, 4096)  # keeps the sign of k, like C's remainder
    return COS_TABLE[4096 + int(m)]


def cos_lookup(theta):
    return cos_step(math.trunc(theta * 651.8986469))


def recompute_normals(positions, indices):
    """Average of the unit face normals around each vertex (faces shorter than 0.001 unnormalised)."""
    n = len(positions)
    sums = [[0.0, 0.0, 0.0] for _ in range(n)]
    counts = [0] * n
    for t in range(0, len(indices) - 2, 3):
        p, q, r = indices[t], indices[t + 1], indices[t + 2]
        for v in (p, q, r):
            counts[v] += 1
        u = [positions[p][k] - positions[q][k] for k in range(3)]
        w = [positions[q][k] - positions[r][k] for k in range(3)]
        c = [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]
        length = math.sqrt(sum(x * x for x in c))
        if length < 0.001:
            length = 1.0
        for v in (p, q, r):
            for k in range(3):
                sums[v][k] += c[k] / length
    return [[f32(s / counts[v]) if counts[v] > 1 else f32(s) for s in sums[v]] for v in range(n)]


# Mesh effects -------------------------------------------------------------------------------------

def water_grid():
    positions, texcoords = [], []
    step = f32(1.0 / 30.0)
    for i in range(30):
        for j in range(30):
            positions.append([float(i), 0.0, float(j)])
            texcoords.append((f32(i * step), f32(j * step)))
    indices = []
    for second in (False, True):
        for r in range(29):
            for q in range(29):
                a = 30 * r + q
                indices += [a, a + 31, a + 30] if second else [a, a + 1, a + 31]
    return positions, texcoords, indices


def centerwave(T):
    T = f32(T)
    positions, texcoords, indices = water_grid()
    for i in range(30):
        for j in range(30):
            d = f32(math.sqrt((i - 15) ** 2 + (j - 15) ** 2))
            y = 0.0 if d > 14 else f32(f32(f32(14 - d) * f32(0.1)) * cos_lookup(f32(d - T)))
            positions[30 * i + j][1] = y
    return positions, texcoords, recompute_normals(positions, indices), indices


def swirl(X, Y):
    X, Y = f32(X), f32(Y)
    positions = [[0.0, 0.0, 0.0]]
    for v in range(1, 256):
        p = cos_lookup(f32(v * X))
        q = cos_lookup(f32(X * v) + 1.5707963266)
        positions.append([f32(p * f32(f32(Y + v) + p)), f32(q * f32(f32(v + Y) + q)), 0.0])
    indices = []
    for v in range(1, 255):
        indices += [0, v, v + 1]
    indices += [0, 255, 1]
    return positions, None, recompute_normals(positions, indices), indices


def umbrella(sides, size, angle):
    sides, size, angle = f32(sides), f32(size), f32(angle)
    n = int(max(sides, 3.0))
    r = size * math.cos(math.pi / 2 - angle)
    h = size * math.cos(angle)
    positions, texcoords = [[0.0, 0.0, 0.0]], [(0.5, 0.5)]
    for v in range(1, n + 1):
        a = v * (2 * math.pi / n)
        positions.append([f32(r * math.cos(a)), f32(-h), f32(r * math.cos(math.pi / 2 - a))])
        texcoords.append((f32((math.cos(a) + 1) * 0.5), f32((math.cos(math.pi / 2 - a) + 1) * 0.5)))
    indices = []
    for v in range(1, n + 1):
        indices += [0, v, v + 1]
    indices[-1] = 1
    return positions, texcoords, recompute_normals(positions, indices), indices


class SharedRandom:
    """The player's one random sequence: state x 214013 + 2531011, bits 16..30; state 1 at start."""
    state = 1

    @classmethod
    def next(cls):
        cls.state = (cls.state * 214013 + 2531011) % (1 << 32)
        return (cls.state >> 16) & 0x7FFF


def lake(times):
    """Lake water after one update at each T in turn."""
    H = [[0] * 900 for _ in range(3)]
    h1, h2, S = 1, 2, 0
    positions, texcoords, indices = water_grid()
    for T in times:
        T = f32(T)
        if not (S - 2 < T < S + 2):
            S = math.trunc(T)
        if T >= S + 1:
            H[0] = list(H[h1])
            S = math.trunc(T)
            h1, h2 = h2, h1
            for k in range(30, 870):
                v = ((H[h1][k - 1] + H[h1][k + 1] + H[h1][k - 30] + H[h1][k + 30]) >> 1) - H[h2][k]
                v = v - (v >> 5)
                H[h2][k] = 4 if v > 4.8 else v
            for r in range(30):
                H[h2][30 * r] = 0
                H[h2][30 * r + 29] = 0
            for depth in (-6, -5, -6, -5):
                H[h1][min(899, math.trunc(SharedRandom.next() * 0.027466658502817154))] = depth
        f = abs(T - S)
        if f > 1:
            f -= math.trunc(f)
        for k in range(900):
            positions[k][1] = f32(0.2 * (0.5 * (1 - f) * H[0][k] + 0.5 * f * H[h2][k] + 0.5 * H[h1][k]))
    return positions, texcoords, recompute_normals(positions, indices), indices


def build_mesh(spec):
    kind = spec[0]
    if kind == "model":
        return [list(p) for p in spec[1]], spec[2], spec[3], spec[4]
    if kind == "centerwave":
        return centerwave(spec[1])
    if kind == "swirl":
        return swirl(spec[1], spec[2])
    if kind == "umbrella":
        return umbrella(spec[1], spec[2], spec[3])
    if kind == "lake":
        return lake(spec[1])
    raise ValueError(kind)


# Matrices (column order, m[c * 4 + r]) ---------------------------------------------------------------

def identity():
    return [1.0 if r == c else 0.0 for c in range(4) for r in range(4)]


def multiply(a, b):
    return [sum(a[k * 4 + r] * b[c * 4 + k] for k in range(4)) for c in range(4) for r in range(4)]


def translation(x, y, z):
    m = identity()
    m[12], m[13], m[14] = x, y, z
    return m


def scaling(x, y, z):
    m = identity()
    m[0], m[5], m[10] = x, y, z
    return m


def rotation(axis, degrees):
    a = degrees * f32(1.0 / 180.0) * math.pi
    c, s = math.cos(a), math.sin(a)
    m = identity()
    i, j = {"x": (1, 2), "y": (2, 0), "z": (0, 1)}[axis]
    m[i * 4 + i], m[j * 4 + i] = c, -s
    m[i * 4 + j], m[j * 4 + j] = s, c
    return m


def model_matrix(inst, face, camera):
    m = translation(*inst[0:3])
    if face:
        m = multiply(m, rotation("y", -camera[1]))
        m = multiply(m, rotation("x", -camera[0]))
        m = multiply(m, rotation("z", -camera[2]))
    m = multiply(m, rotation("x", inst[3]))
    m = multiply(m, rotation("y", inst[4]))
    m = multiply(m, rotation("z", inst[5]))
    return multiply(m, scaling(*inst[6:9]))


def transform(m, p):
    return [m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r] for r in range(3)]


def normal_transform(m, n):
    """The inverse transpose of the upper 3 x 3, applied and normalised (zero stays zero)."""
    a = [[m[c * 4 + r] for c in range(3)] for r in range(3)]
    det = (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
           + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    cof = [[a[(r + 1) % 3][(c + 1) % 3] * a[(r + 2) % 3][(c + 2) % 3]
            - a[(r + 1) % 3][(c + 2) % 3] * a[(r + 2) % 3][(c + 1) % 3] for c in range(3)] for r in range(3)]
    w = [sum(cof[r][c] / det * n[c] for c in range(3)) for r in range(3)]
    length = math.sqrt(sum(x * x for x in w))
    return [x / length for x in w] if length > 0 else w


# Manipulators -------------------------------------------------------------------------------------

def count(p):
    return max(0, math.trunc(p))


def run_manipulators(placement, manipulators, positions, normals, indices):
    """The instance list and the positions and normals as drawn (rippled when a Rippler ran)."""
    instances = [list(map(f32, placement))]
    drawn = [list(p) for p in positions]
    rippled = False
    for kind, p, target in manipulators:
        p = [f32(x) for x in p] + [0.0] * (16 - len(p))
        out = []
        if kind == 0:
            for inst in instances:
                for ix in range(count(p[0])):
                    for iy in range(count(p[1])):
                        for iz in range(count(p[2])):
                            step = (ix, iy, iz)
                            out.append([inst[c] + step[c % 3] * p[3 + c] for c in range(9)])
        elif kind == 1:
            for inst in instances:
                for i in range(count(p[0])):
                    out.append([inst[c] + i * p[1 + c] for c in range(9)])
        elif kind == 2:
            a, b = p[2] * 651.8986469, p[0] * 651.8986469
            drawn = [[f32(w + f32(p[1] * cos_step(math.trunc(w * a + b)))) for w in v] for v in drawn]
            rippled = True
            out = instances
        elif kind == 3:
            tpos = build_mesh(target)[0]
            m = translation(p[0], p[1], p[2])
            for axis, angle in (("x", p[3]), ("y", p[4]), ("z", p[5])):
                m = multiply(m, rotation(axis, angle))
            m = multiply(m, scaling(p[6], p[7], p[8]))
            for inst in instances:
                for v, x in enumerate(tpos):
                    placed = transform(m, x)
                    out.append([placed[c] + inst[c] for c in range(3)]
                               + [inst[3 + c] + p[3 + c] + v * p[9 + c] for c in range(3)] + inst[6:9])
        elif kind == 4:
            n = len(positions)
            centre = [f32(sum(v[c] for v in positions) * f32(1.0 / n)) for c in range(3)]
            out = [[inst[c] + (p[0] * centre[c] if c < 3 else 0.0) for c in range(9)] for inst in instances]
        else:
            out = instances
        instances = out
    if rippled:
        normals = recompute_normals(drawn, indices)
    return instances, drawn, normals


def groups(slot, layer, obj, items, camera=(0.0, 0.0, 0.0)):
    """The expected groups of one object drawn in one layer, in drawing order. Each group:
    (name, instance, v, vn, vt or None, triangles as vertex numbers within the group). The random
    sequence starts afresh, as in a new process."""
    SharedRandom.state = 1
    out = []
    for number, item in enumerate(items, start=1):
        positions, texcoords, normals, indices = build_mesh(item["mesh"])
        instances, drawn, drawn_normals = run_manipulators(item["placement"], item.get("manipulators", []),
                                                           positions, normals, indices)
        for n, inst in enumerate(instances, start=1):
            m = model_matrix(inst, item.get("face", False), camera)
            out.append(("s%d_l%d_o%d_i%d_n%d" % (slot, layer, obj, number, n), inst,
                        [transform(m, p) for p in drawn], [normal_transform(m, v) for v in drawn_normals],
                        texcoords, [tuple(indices[t:t + 3]) for t in range(0, len(indices) - 2, 3)]))
    return out


def model_from_file(data):
    """("model", ...) from an unpacked model file: u16 N, u8 T, u8 reserved, positions, T texture
    sets, normals, u16 indices."""
    n, sets = struct.unpack_from("<HB", data, 0)
    floats = lambda offset, count: list(struct.unpack_from("<%df" % count, data, offset))
    pos = floats(4, 3 * n)
    tex = floats(4 + 12 * n, 2 * n)
    nor = floats(4 + 12 * n + 8 * n * sets, 3 * n)
    start = 4 + 24 * n + 8 * n * sets
    indices = list(struct.unpack_from("<%dH" % ((len(data) - start) // 2), data, start))
    return ("model", [pos[i:i + 3] for i in range(0, 3 * n, 3)], [tuple(tex[i:i + 2]) for i in range(0, 2 * n, 2)],
            [nor[i:i + 3] for i in range(0, 3 * n, 3)], indices)
