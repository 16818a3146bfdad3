// Helpers for tests that run against a real OpenGL context.
#pragma once

#include <GL/glew.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace gltest {

constexpr int kWindowWidth = 256;
constexpr int kWindowHeight = 256;

// Reads a texture level back as tightly packed bytes of the given pixel format.
inline std::vector<uint8_t> read_level(GLenum target, GLuint texture, GLenum bind_target, int level, GLenum format,
                                       int channels) {
    glBindTexture(bind_target, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<uint8_t> out(size_t(w) * h * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!out.empty()) glGetTexImage(target, level, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

inline void level_size(GLenum target, GLuint texture, GLenum bind_target, int level, GLint *w, GLint *h) {
    glBindTexture(bind_target, texture);
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, w);
    glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, h);
}

// Runs a shell command; true when it exits with 0.
inline bool shell(const std::string &command) { return std::system(command.c_str()) == 0; }

// Raw 8-bit pixels of an image file decoded by ImageMagick (raw format "RGB", "RGBA" or "GRAY").
inline std::vector<uint8_t> imagemagick_pixels(const std::string &path, const char *map) {
    std::string raw = path + ".raw";
    std::string command = "convert '" + path + "' -depth 8 " + map + ":'" + raw + "'";
    std::vector<uint8_t> out;
    if (!shell(command)) return out;
    FILE *f = std::fopen(raw.c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return out;
}

} // namespace gltest
