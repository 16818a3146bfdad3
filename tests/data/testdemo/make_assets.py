"""Writes the test demo's models and images into a folder, for packing with bvtool."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts"))
import bvassets  # noqa: E402


def main(out):
    os.makedirs(out, exist_ok=True)
    files = {
        "quad.mdl": bvassets.pack(bvassets.quad()),
        "cube.mdl": bvassets.pack(bvassets.cube()),
        # Render targets start as plain images; rendering replaces their contents.
        "target.png": bvassets.solid_png(256, 256, (40, 40, 40)),
        "quarter.png": bvassets.solid_png(64, 64, (40, 40, 40)),
        "atlas.png": bvassets.solid_png(384, 256, (40, 40, 40)),
        "checker.png": bvassets.png(64, 64, lambda x, y: (230, 230, 230) if (x // 8 + y // 8) % 2 else (30, 90, 200)),
    }
    for face, colour in zip(["px", "nx", "py", "ny", "pz", "nz"],
                            [(200, 0, 0), (0, 200, 0), (0, 0, 200), (200, 200, 0), (0, 200, 200), (200, 0, 200)]):
        files["sky_%s.png" % face] = bvassets.solid_png(64, 64, colour)
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
