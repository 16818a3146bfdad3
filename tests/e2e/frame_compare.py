"""Comparing two renderings of one frame by different rasterisers: they place edges and one-pixel
lines a pixel apart, so a plain per-pixel difference is large on correct frames. The shifted
difference forgives that: each pixel is matched with the best of the other frame's 3 x 3
neighbourhood around it, in both directions."""


def plain_mean(a, b):
    """Mean absolute difference per channel over the whole frame (bytes of equal length)."""
    return sum(abs(x - y) for x, y in zip(a, b)) / max(1, len(a))


def shifted_differences(width, height, a, b):
    """Per pixel: the larger, over the two directions, of the smallest channel-wise maximum
    difference between the pixel in one frame and any pixel of the other within one step."""
    def one_way(p, q):
        out = [0] * (width * height)
        for y in range(height):
            for x in range(width):
                i = (y * width + x) * 3
                r, g, bl = p[i], p[i + 1], p[i + 2]
                best = 255
                for yy in range(max(0, y - 1), min(height, y + 2)):
                    row = yy * width
                    for xx in range(max(0, x - 1), min(width, x + 2)):
                        j = (row + xx) * 3
                        d = max(abs(r - q[j]), abs(g - q[j + 1]), abs(bl - q[j + 2]))
                        if d < best:
                            best = d
                            if d == 0:
                                break
                    if best == 0:
                        break
                out[y * width + x] = best
        return out
    ab, ba = one_way(a, b), one_way(b, a)
    return [max(u, v) for u, v in zip(ab, ba)]


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def difference_image(width, height, differences):
    """An RGB picture of per-pixel differences (grey levels, amplified four times)."""
    return bytes(v for d in differences for v in (min(255, d * 4),) * 3)
