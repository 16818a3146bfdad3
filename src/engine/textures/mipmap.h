// The mipmap builder: levels 1 and up of a 2D texture by truncating averages, down to 1 x 1.
// The averaging is pure; the upload is a thin GL layer on top.
#pragma once

#include <cstdint>

namespace textures {

struct MipLevel {
    int32_t width, height;
    uint8_t *pixels; // width x height x channels, rows packed; owned by the chain
};

constexpr int kMaxMipLevels = 32;

struct MipChain {
    int count;                      // levels built
    MipLevel levels[kMaxMipLevels]; // levels[0] is level 1
};

// Builds levels 1.. from a base image of w x h pixels with `channels` bytes each. Each new level
// halves both sizes (a size of 1 stays 1). New width 1: pixel i averages source pixels 2i and
// 2i + 1 in memory order; else new height 1: pixels 2x and 2x + 1 of source row 0; else the 2 x 2
// block. A premade level (null pixels for none) of exactly the level's size replaces level 1 or 2.
// Returns false (and an empty chain) when memory runs out.
bool mipmap_build(const uint8_t *base, int32_t w, int32_t h, int channels, MipLevel premade1, MipLevel premade2,
                  MipChain *out);
void mipmap_chain_free(MipChain *chain);

// GL pixel format for a channel count: 1 GL_LUMINANCE, 2 GL_LUMINANCE_ALPHA, 3 GL_RGB, else GL_RGBA.
uint32_t texture_pixel_format(int channels);

// The GL_UNPACK_ALIGNMENT that reads rows of width pixels packed without padding.
int texture_unpack_alignment(int32_t width, int channels);

// glTexImage2D of one level of the bound GL_TEXTURE_2D from packed rows.
void texture_upload_level(int level, uint32_t internal_format, int32_t width, int32_t height, int channels,
                          const uint8_t *pixels);

// Builds the chain of the bound 2D texture from its base image and uploads levels 1 and up.
void mipmap_build_and_upload(const uint8_t *base, int32_t w, int32_t h, int channels, uint32_t internal_format,
                             MipLevel premade1, MipLevel premade2);

} // namespace textures
