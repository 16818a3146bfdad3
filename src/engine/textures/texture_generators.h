// The six texture layer generators: Color, Sinus plasma, Radial colors, Maze, Bricks, Noise.
// Each fills an N x N RGB image (3 bytes a pixel, row 0 first) from a layer's float parameters.
#pragma once

#include <cstdint>

namespace textures {

constexpr int kGeneratorCount = 6;
constexpr int kLayerParameters = 24;

enum GeneratorKind : int32_t {
    GENERATOR_COLOR = 0,
    GENERATOR_PLASMA = 1,
    GENERATOR_RADIAL = 2,
    GENERATOR_MAZE = 3,
    GENERATOR_BRICKS = 4,
    GENERATOR_NOISE = 5,
};

struct GeneratorDescriptor {
    char name[32];
    int32_t colour_count; // colour parameters (three floats each) at the start
    int32_t float_count;  // single float parameters after them
    char parameter_names[8][32];
};
extern const GeneratorDescriptor kGeneratorDescriptors[kGeneratorCount];

// The 32-bit linear congruential generator of Maze and Noise: s = s x 1103515245 + 12345;
// r = (s >> 16) & 0x7FFF; u = r x 3.0517578e-05.
struct TextureRandom {
    uint32_t state;
};
TextureRandom texture_random_seed(float seed); // the seed truncated to an integer, low 32 bits
float texture_random_next(TextureRandom *random);

// The 256-entry shaping curve of the maze tiles.
extern const uint8_t kMazeCurve[256];

// Builds the maze tile set (sizes 1..7, four tiles each). Called once at start-up; the maze
// generator builds it itself when that has not happened.
void maze_tiles_build();
// Tile t (0..3) of maze size s (1..7): 2^s x 2^s bytes, row by row.
const uint8_t *maze_tile(int size, int tile);

// Draws a layer: kind 0..5 write the whole image, other kinds leave it as it is.
void texture_generate(int32_t kind, const float params[kLayerParameters], uint8_t *image, int n);

// Truncates toward zero and keeps the low 8 bits, as a byte store of an integer conversion does
// (values outside the 32-bit range give 0).
uint8_t texture_byte(double v);

} // namespace textures
