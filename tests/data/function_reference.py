"""An independent evaluation of animation functions, written from the format's description (not
from the engine's code): a function is a chain of segments laid end to end in time, each one of six
kinds, with an optional loop or ping-pong over a range; its parameters are 32-bit floats and the
arithmetic is double. Used by the plot tests to check the curves bvtool draws.

    function_reference.py DOC.xml N T...   prints function N's value at each time T (hundredths)
"""

import math
import struct
import sys
import xml.etree.ElementTree as ET

FUNCTION_SECTION = 4  # the fourth child of the document's top element


def f32(value):
    """The value as a 32-bit float holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def read_functions(path):
    """Every function record of a document, in order: dicts with the loop mode and bounds and
    the segments (kind, length, parameters)."""
    top = ET.parse(path).getroot()
    section = list(top)[FUNCTION_SECTION - 1]
    functions = []
    for element in section:
        segments = []
        for child in element:
            params = [f32(float((p.text or "0").strip() or 0)) for p in child][:24]
            params += [0.0] * (24 - len(params))
            segments.append((int(child.get("type", "0")), int(child.get("length", "0")) & 0xFFFFFFFF, params))
        functions.append({
            "loop_mode": int(element.get("loop_type", "0")),
            "loop_begin": f32(float(element.get("loop_begin", "0"))),
            "loop_end": f32(float(element.get("loop_end", "0"))),
            "segments": segments[:16],
        })
    return functions


def spline_knots(p):
    """The 16-knot table a Catmull-Rom segment is evaluated through: knot k (1..12) at index k+1,
    each moved to one unit after its predecessor (taking its y) when it does not lie that far."""
    X = [0.0] * 16
    Y = [0.0] * 16
    X[0], Y[0] = -999999.0, p[1]
    X[1], Y[1] = p[0] - 1.0, p[1]
    for k in range(1, 13):
        X[k + 1], Y[k + 1] = p[2 * k - 2], p[2 * k - 1]
    for j in range(2, 14):
        if X[j - 1] + 1.0 > X[j]:
            X[j], Y[j] = X[j - 1] + 1.0, Y[j - 1]
    X[14], Y[14] = X[13] + 999999.0, Y[13]
    X[15], Y[15] = 9999999.0, Y[13]
    return X, Y


def spline(p, x):
    X, Y = spline_knots(p)
    i = next((k for k in range(1, 15) if x <= X[k]), 15)
    if x <= X[1]:
        return Y[1]
    if i == 15:
        return Y[13]
    d = X[i] - X[i - 1]
    p0 = Y[i - 1] + d * (Y[i - 1] - Y[i - 2]) / (X[i - 2] - X[i - 1])
    p1, p2 = Y[i - 1], Y[i]
    p3 = Y[i] + d * (Y[i + 1] - Y[i]) / (X[i + 1] - X[i])
    u = (x - X[i - 1]) / d
    return 0.5 * (2 * p1 + u * (p2 - p0) + u * u * (2 * p0 - 5 * p1 + 4 * p2 - p3) + u ** 3 * (3 * p1 - 3 * p2 + p3 - p0))


def segment_value(kind, p, x):
    if kind == 0:
        return p[0]
    if kind == 1:
        return p[0] * x + p[1]
    if kind == 2:
        return p[0] * (x - p[1]) ** 2 + p[2]
    if kind == 3:
        return p[0] * math.sin(x * p[1] - p[2]) + p[3]
    if kind == 4:
        return spline(p, x)
    if kind == 5:
        return (p[0] * x + p[4]) * math.sin(x * p[1] - p[2]) + p[3]
    return 1.0


def locate(fn, t):
    """The segment index and the time within it that time t (hundredths) is evaluated at."""
    segments = fn["segments"]
    if fn["loop_mode"] in (1, 2):
        end, begin = int(fn["loop_end"]), int(fn["loop_begin"])  # truncated toward zero
        if t > end and end > begin:
            span = end - begin
            if fn["loop_mode"] == 1:
                t = (t - begin) % span + begin
            else:
                r = (t - begin) % (2 * span)
                t = r if r <= span else 2 * span - r
    x = t
    for i, (_, length, _) in enumerate(segments):
        if x <= length:
            return i, x
        x -= length
    return len(segments) - 1, segments[-1][1]


def evaluate(fn, t):
    if not fn["segments"]:
        return 1.0
    i, x = locate(fn, t)
    kind, _, params = fn["segments"][i]
    return segment_value(kind, params, float(x))


if __name__ == "__main__":
    fns = read_functions(sys.argv[1])
    fn = fns[int(sys.argv[2]) - 1]
    for arg in sys.argv[3:]:
        print(arg, repr(evaluate(fn, int(arg))))
