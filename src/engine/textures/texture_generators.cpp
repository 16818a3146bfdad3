#include "textures/texture_generators.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace textures {

const GeneratorDescriptor kGeneratorDescriptors[kGeneratorCount] = {
    {"Color", 1, 0, {"Color"}},
    {"Sinus plasma", 1, 2, {"Plasma color", "Repeat x", "Repeat y"}},
    {"Radial colors", 2, 2, {"Center color", "Margin color", "Inverse radian", "Color offset (0-127)"}},
    {"Maze", 1, 3, {"Color", "Maze size (1 - 7 integer)", "Maze field (integer)", "Maze fullness (0 - 1 float)"}},
    {"Bricks",
     2,
     5,
     {"Brick color", "Wall color", "Horizontal number", "Vertical number", "Horizontal margin", "Vertical margin",
      "Second line offset"}},
    {"Noise", 1, 1, {"Color", "Random seed"}},
};
static_assert(sizeof(kGeneratorDescriptors) / sizeof(kGeneratorDescriptors[0]) == kGeneratorCount,
              "one descriptor per generator");

const uint8_t kMazeCurve[256] = {
      0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   1,   1,   1,   1,   1,
      1,   1,   2,   2,   2,   2,   2,   3,   3,   3,   3,   3,   4,   4,   4,   5,
      5,   5,   6,   6,   6,   7,   7,   7,   8,   8,   8,   9,   9,  10,  10,  11,
     11,  11,  12,  12,  13,  13,  14,  14,  15,  15,  16,  17,  17,  18,  18,  19,
     19,  20,  21,  21,  22,  23,  23,  24,  24,  25,  26,  27,  27,  28,  29,  29,
     30,  31,  32,  32,  33,  34,  35,  35,  36,  37,  38,  39,  40,  40,  41,  42,
     43,  44,  45,  46,  47,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,
     58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  74,
     75,  76,  77,  78,  79,  80,  81,  83,  84,  85,  86,  87,  88,  90,  91,  92,
     93,  94,  96,  97,  98,  99, 101, 102, 103, 104, 106, 107, 108, 109, 111, 112,
    113, 115, 116, 117, 119, 120, 121, 123, 124, 125, 127, 128, 129, 131, 132, 133,
    135, 136, 138, 139, 140, 142, 143, 145, 146, 147, 149, 150, 152, 153, 155, 156,
    157, 159, 160, 162, 163, 165, 166, 168, 169, 171, 172, 174, 175, 176, 178, 179,
    181, 182, 184, 185, 187, 188, 190, 192, 193, 195, 196, 198, 199, 201, 202, 204,
    205, 207, 208, 210, 211, 213, 214, 216, 218, 219, 221, 222, 224, 225, 227, 228,
    230, 232, 233, 235, 236, 238, 239, 241, 242, 244, 246, 247, 249, 250, 252, 253,
};
static_assert(sizeof(kMazeCurve) == 256, "one entry per byte value");

uint8_t texture_byte(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(v));
}

// An integer from a float parameter, truncated (0 outside the 32-bit range).
static int32_t trunc_int(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    return static_cast<int32_t>(v);
}

TextureRandom texture_random_seed(float seed) {
    double t = std::trunc(static_cast<double>(seed));
    // The low 32 bits of the integer (two's complement for negative seeds).
    double wrapped = std::fmod(t, 4294967296.0);
    if (wrapped < 0) wrapped += 4294967296.0;
    return TextureRandom{std::isfinite(wrapped) ? static_cast<uint32_t>(wrapped) : 0u};
}

float texture_random_next(TextureRandom *random) {
    random->state = random->state * 1103515245u + 12345u;
    uint32_t r = (random->state >> 16) & 0x7FFF;
    return static_cast<float>(r) * 3.0517578e-05f;
}

// ---------------------------------------------------------------------------------------------
// Maze tiles

static uint8_t g_tiles[8][4][128 * 128];
static bool g_tiles_built = false;

void maze_tiles_build() {
    if (g_tiles_built) return;
    for (int s = 1; s <= 7; s++) {
        int n = 1 << s;
        double m = n - 1, k = 1.0 / m;
        for (int r = 0; r < n; r++) {
            for (int c = 0; c < n; c++) {
                double R = r, C = c;
                double t[4] = {
                    (m - C) * (m - R) * k * k * 255,
                    R * m * 255 * k * k,
                    (C * (m - R) * k + (m - C) * R * k) * k * 255,
                    (C * ((m - R) * k + R * k) + (m - C) * R * k) * k * 255,
                };
                for (int tile = 0; tile < 4; tile++) g_tiles[s][tile][r * n + c] = kMazeCurve[texture_byte(t[tile])];
            }
        }
    }
    g_tiles_built = true;
}

const uint8_t *maze_tile(int size, int tile) {
    maze_tiles_build();
    return g_tiles[size][tile];
}

// ---------------------------------------------------------------------------------------------
// Generators

static void put(uint8_t *image, int n, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t *p = image + (size_t(y) * n + x) * 3;
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

static void generate_color(const float *p, uint8_t *image, int n) {
    uint8_t r = texture_byte(p[0] * 255.0), g = texture_byte(p[1] * 255.0), b = texture_byte(p[2] * 255.0);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) put(image, n, x, y, r, g, b);
}

static void generate_plasma(const float *p, uint8_t *image, int n) {
    float a = static_cast<float>(p[3] * 6.283185307179586 / n);
    float b = static_cast<float>(p[4] * 6.283185307179586 / n);
    for (int y = 0; y < n; y++) {
        double sy = std::sin(static_cast<double>(static_cast<float>(y) * b));
        for (int x = 0; x < n; x++) {
            int v = trunc_int((std::sin(static_cast<double>(static_cast<float>(x) * a)) + sy) * 63.5 + 127.0);
            put(image, n, x, y, texture_byte(v * double(p[0])), texture_byte(v * double(p[1])),
                texture_byte(v * double(p[2])));
        }
    }
}

static void generate_radial(const float *p, uint8_t *image, int n) {
    double h = n / 2;
    int32_t k = trunc_int(p[7]);
    if (k < 0) k = 0;
    if (k > 127) k = 127;
    for (int y = 0; y < n; y++) {
        for (int x = 0; x < n; x++) {
            double d = std::sqrt((h - x) * (h - x) + (h - y) * (h - y));
            double f = d * p[6] - k;
            if (f < 0) f = 0;
            double a = h * (f / (h - k));
            double margin = 255, centre = 0;
            if (a <= 127) {
                margin = 2 * a;
                centre = 255 - 2 * a;
            }
            uint8_t c[3];
            for (int i = 0; i < 3; i++) c[i] = texture_byte(margin * p[3 + i] + centre * p[i]);
            put(image, n, x, y, c[0], c[1], c[2]);
        }
    }
}

static void generate_maze(const float *p, uint8_t *image, int n) {
    double rounded = std::nearbyint(static_cast<double>(p[3]));
    int s = !(rounded >= 1) ? 1 : rounded > 7 ? 7 : static_cast<int>(rounded);
    int tile = 1 << s;
    int g = n / tile;
    double fullness = p[5] < 0 ? 0 : p[5] > 1 ? 1 : p[5];
    TextureRandom random = texture_random_seed(p[4]);
    int side = g + 1;
    uint8_t *grid = static_cast<uint8_t *>(std::malloc(size_t(side) * side));
    if (!grid) return;
    for (int i = 0; i < side * side; i++) {
        double u = texture_random_next(&random) + 2 * fullness - 1;
        u = u < 0 ? 0 : u > 1 ? 1 : u;
        grid[i] = static_cast<uint8_t>(std::nearbyint(u));
    }
    // Make it tile: the last column and row repeat the first ones.
    grid[side * side - 1] = grid[0];
    for (int i = 0; i <= g; i++) {
        grid[i * side + g] = grid[i * side];
        grid[g * side + i] = grid[i];
    }
    const uint8_t *t[4] = {maze_tile(s, 0), maze_tile(s, 1), maze_tile(s, 2), maze_tile(s, 3)};
    int n1 = tile - 1;
    for (int ci = 0; ci < g; ci++) {
        for (int cj = 0; cj < g; cj++) {
            int a = grid[ci * side + cj], b = grid[ci * side + cj + 1];
            int c = grid[(ci + 1) * side + cj], d = grid[(ci + 1) * side + cj + 1];
            int pattern = 8 * a + 4 * b + 2 * c + d;
            for (int R = 0; R < tile; R++) {
                for (int C = 0; C < tile; C++) {
                    auto at = [tile](const uint8_t *tl, int r, int col) { return tl[r * tile + col]; };
                    int v;
                    switch (pattern) {
                    case 1: v = at(t[0], n1 - R, n1 - C); break;
                    case 2: v = at(t[0], n1 - R, C); break;
                    case 3: v = at(t[1], R, C); break;
                    case 4: v = at(t[0], R, n1 - C); break;
                    case 5: v = at(t[1], C, R); break;
                    case 6: v = at(t[2], R, C); break;
                    case 7: v = at(t[3], R, C); break;
                    case 8: v = at(t[0], R, C); break;
                    case 9: v = at(t[2], R, n1 - C); break;
                    case 10: v = at(t[1], n1 - C, R); break;
                    case 11: v = at(t[3], R, n1 - C); break;
                    case 12: v = at(t[1], n1 - R, C); break;
                    case 13: v = at(t[3], n1 - R, C); break;
                    case 14: v = at(t[3], n1 - R, n1 - C); break;
                    case 15: v = 255; break;
                    default: v = 0; break;
                    }
                    uint8_t rgb[3];
                    for (int i = 0; i < 3; i++)
                        rgb[i] = pattern == 15 ? texture_byte(p[i] * 255.0) : texture_byte(v * double(p[i]));
                    put(image, n, cj * tile + C, ci * tile + R, rgb[0], rgb[1], rgb[2]);
                }
            }
        }
    }
    std::free(grid);
}

// t reduced by whole steps of `step` while it is above it. Steps below one unit would take
// millions of rounds, so they are reduced in one go; a step that is not positive never reduces.
static double bricks_reduce(double t, double step, int *count) {
    *count = 0;
    if (!(step > 0) || !std::isfinite(step)) return t;
    if (step < 1.0) {
        double q = std::ceil(t / step) - 1;
        if (q > 0) {
            *count = static_cast<int>(std::fmod(q, 2.0)); // only its parity is used
            t -= q * step;
        }
        return t;
    }
    while (t > step) {
        t -= step;
        (*count)++;
    }
    return t;
}

static void generate_bricks(const float *p, uint8_t *image, int n) {
    double brick[3], wall[3];
    for (int i = 0; i < 3; i++) {
        brick[i] = p[i] * 255.0;
        wall[i] = p[3 + i] * 255.0;
    }
    int32_t h = trunc_int(p[6]), v = trunc_int(p[7]), hm = trunc_int(p[8]), vm = trunc_int(p[9]);
    // Floats, as a division by zero gives an infinite brick with no joints in that direction.
    float bh = static_cast<float>(n) / static_cast<float>(h);
    float bw = static_cast<float>(n) / static_cast<float>(v);
    int32_t o = trunc_int(p[10]) % n;
    if (o < 0) o += n;

    uint8_t *rows = static_cast<uint8_t *>(std::malloc(size_t(n) * 3 * 3));
    if (!rows) return;
    uint8_t *wall_row = rows, *brick_row = rows + n * 3, *offset_row = rows + n * 6;
    for (int x = 0; x < n; x++) {
        int steps;
        double t = bricks_reduce(x, bw, &steps);
        bool joint = t < vm || bw - t < vm;
        for (int i = 0; i < 3; i++) {
            wall_row[x * 3 + i] = texture_byte(wall[i]);
            brick_row[x * 3 + i] = texture_byte(joint ? wall[i] : brick[i]);
        }
    }
    for (int x = 0; x < n; x++) std::memcpy(offset_row + x * 3, brick_row + ((x + o) % n) * 3, 3);
    for (int y = 0; y < n; y++) {
        int count;
        double t = bricks_reduce(y, bh, &count);
        const uint8_t *row = (t < hm || bh - t < hm) ? wall_row : count % 2 == 0 ? brick_row : offset_row;
        std::memcpy(image + size_t(y) * n * 3, row, size_t(n) * 3);
    }
    std::free(rows);
}

static void generate_noise(const float *p, uint8_t *image, int n) {
    TextureRandom random = texture_random_seed(p[3]);
    for (int y = 0; y < n; y++) {
        for (int x = 0; x < n; x++) {
            double u = texture_random_next(&random);
            put(image, n, x, y, texture_byte(u * p[0] * 255), texture_byte(u * p[1] * 255),
                texture_byte(u * p[2] * 255));
        }
    }
}

void texture_generate(int32_t kind, const float params[kLayerParameters], uint8_t *image, int n) {
    switch (kind) {
    case GENERATOR_COLOR: generate_color(params, image, n); break;
    case GENERATOR_PLASMA: generate_plasma(params, image, n); break;
    case GENERATOR_RADIAL: generate_radial(params, image, n); break;
    case GENERATOR_MAZE: generate_maze(params, image, n); break;
    case GENERATOR_BRICKS: generate_bricks(params, image, n); break;
    case GENERATOR_NOISE: generate_noise(params, image, n); break;
    default: break;
    }
}

} // namespace textures
