#include "textures/mipmap.h"

#include <GL/glew.h>
#include <cstdlib>
#include <cstring>

namespace textures {

static void halve(const uint8_t *src, int32_t sw, int channels, uint8_t *dst, int32_t nw, int32_t nh) {
    if (nw == 1) {
        // Memory order: with a two-pixel-wide source these are the two pixels of row i.
        for (int32_t i = 0; i < nh; i++)
            for (int c = 0; c < channels; c++)
                dst[i * channels + c] =
                    static_cast<uint8_t>((src[(2 * i) * channels + c] + src[(2 * i + 1) * channels + c]) >> 1);
    } else if (nh == 1) {
        for (int32_t x = 0; x < nw; x++)
            for (int c = 0; c < channels; c++)
                dst[x * channels + c] =
                    static_cast<uint8_t>((src[(2 * x) * channels + c] + src[(2 * x + 1) * channels + c]) >> 1);
    } else {
        size_t row = size_t(sw) * channels;
        for (int32_t y = 0; y < nh; y++) {
            const uint8_t *top = src + size_t(2 * y) * row;
            const uint8_t *bottom = top + row;
            for (int32_t x = 0; x < nw; x++)
                for (int c = 0; c < channels; c++) {
                    size_t l = size_t(2 * x) * channels + c, r = l + channels;
                    dst[(size_t(y) * nw + x) * channels + c] =
                        static_cast<uint8_t>((top[l] + top[r] + bottom[l] + bottom[r]) >> 2);
                }
        }
    }
}

bool mipmap_build(const uint8_t *base, int32_t w, int32_t h, int channels, MipLevel premade1, MipLevel premade2,
                  MipChain *out) {
    out->count = 0;
    if (!base || w <= 0 || h <= 0 || channels <= 0) return true;
    const uint8_t *src = base;
    int32_t sw = w, sh = h;
    while ((sw > 1 || sh > 1) && out->count < kMaxMipLevels) {
        int32_t nw = sw > 1 ? sw / 2 : 1;
        int32_t nh = sh > 1 ? sh / 2 : 1;
        size_t bytes = size_t(nw) * nh * channels;
        uint8_t *level = static_cast<uint8_t *>(std::malloc(bytes));
        if (!level) {
            mipmap_chain_free(out);
            return false;
        }
        int number = out->count + 1;
        const MipLevel *premade = number == 1 ? &premade1 : number == 2 ? &premade2 : nullptr;
        if (premade && premade->pixels && premade->width == nw && premade->height == nh)
            std::memcpy(level, premade->pixels, bytes);
        else
            halve(src, sw, channels, level, nw, nh);
        out->levels[out->count++] = MipLevel{nw, nh, level};
        src = level;
        sw = nw;
        sh = nh;
    }
    return true;
}

void mipmap_chain_free(MipChain *chain) {
    for (int i = 0; i < chain->count; i++) std::free(chain->levels[i].pixels);
    chain->count = 0;
}

uint32_t texture_pixel_format(int channels) {
    switch (channels) {
    case 1: return GL_LUMINANCE;
    case 2: return GL_LUMINANCE_ALPHA;
    case 3: return GL_RGB;
    default: return GL_RGBA;
    }
}

int texture_unpack_alignment(int32_t width, int channels) {
    int64_t row = int64_t(width) * channels;
    return row % 4 == 0 ? 4 : row % 2 == 0 ? 2 : 1;
}

void texture_upload_level(int level, uint32_t internal_format, int32_t width, int32_t height, int channels,
                          const uint8_t *pixels) {
    // Rows are packed; GL must not expect them padded to four bytes (a narrow or odd-width RGB
    // level would otherwise be read past its end).
    int alignment = texture_unpack_alignment(width, channels);
    if (alignment != 4) glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    GLenum format = texture_pixel_format(channels);
    glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internal_format), width, height, 0, format,
                 GL_UNSIGNED_BYTE, pixels);
    if (alignment != 4) glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void mipmap_build_and_upload(const uint8_t *base, int32_t w, int32_t h, int channels, uint32_t internal_format,
                             MipLevel premade1, MipLevel premade2) {
    MipChain chain;
    if (!mipmap_build(base, w, h, channels, premade1, premade2, &chain)) return;
    for (int i = 0; i < chain.count; i++)
        texture_upload_level(i + 1, internal_format, chain.levels[i].width, chain.levels[i].height, channels,
                             chain.levels[i].pixels);
    mipmap_chain_free(&chain);
}

} // namespace textures
