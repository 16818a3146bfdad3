#include "render/render_target.h"

#include "render/gl_state.h"
#include "textures/texture_definitions.h"

#include <GL/glew.h>
#include <cstdlib>

namespace render {

void render_target_depth(uint32_t *name, int32_t width, int32_t height) {
    if (*name) return;
    glGenRenderbuffersEXT(1, name);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, *name);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
}

namespace {

// One frame buffer object per (texture, face) drawn into; a demo has a handful of targets.
struct TargetFramebuffer {
    uint32_t texture, texture_target, depth, framebuffer;
};
constexpr int kMaxTargetFramebuffers = 64;
TargetFramebuffer g_targets[kMaxTargetFramebuffers];
int g_target_count = 0;

} // namespace

void render_target_bind(uint32_t texture, uint32_t texture_target, uint32_t depth) {
    for (int i = 0; i < g_target_count; i++) {
        const TargetFramebuffer &t = g_targets[i];
        if (t.texture == texture && t.texture_target == texture_target && t.depth == depth) {
            gl_state_framebuffer(t.framebuffer);
            return;
        }
    }
    GLuint framebuffer = 0;
    glGenFramebuffersEXT(1, &framebuffer);
    gl_state_framebuffer(framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture_target, texture, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    if (g_target_count == kMaxTargetFramebuffers) {
        // A table this full is unusual: the oldest entry makes room.
        gl_state_framebuffer(0);
        glDeleteFramebuffersEXT(1, &g_targets[0].framebuffer);
        for (int i = 1; i < g_target_count; i++) g_targets[i - 1] = g_targets[i];
        g_target_count--;
        gl_state_framebuffer(framebuffer);
    }
    g_targets[g_target_count++] = TargetFramebuffer{texture, texture_target, depth, framebuffer};
}

void render_target_forget(uint32_t texture) {
    int kept = 0;
    for (int i = 0; i < g_target_count; i++) {
        if (g_targets[i].texture != texture) {
            g_targets[kept++] = g_targets[i];
            continue;
        }
        // Deleting the bound frame buffer object returns drawing to the window.
        gl_state_framebuffer(0);
        glDeleteFramebuffersEXT(1, &g_targets[i].framebuffer);
    }
    g_target_count = kept;
    gl_state_forget_texture(texture);
}

void render_target_resize(textures::Bitmap *b, int32_t width, int32_t height, bool fbo) {
    render_target_forget(b->gl_texture);
    glDeleteTextures(1, &b->gl_texture);
    std::free(b->pixels);
    b->width = width;
    b->height = height;
    b->channels = 3;
    b->pixels = static_cast<uint8_t *>(std::calloc(size_t(width) * height * 3 + 1, 1));
    glGenTextures(1, &b->gl_texture);
    glBindTexture(GL_TEXTURE_2D, b->gl_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, b->pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    b->texture_filter = textures::FILTER_LINEAR;
    if (fbo) {
        render_target_depth(&b->depth_renderbuffer, width, height);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, b->depth_renderbuffer);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    }
}

void render_target_detach() { gl_state_framebuffer(0); }

void render_target_copy_window(uint32_t texture_target, uint32_t bind_target, uint32_t texture, int32_t width,
                               int32_t height) {
    if (width <= 0 || height <= 0) return;
    glBindTexture(bind_target, texture);
    glCopyTexSubImage2D(texture_target, 0, 0, 0, 0, 0, width, height);
}

} // namespace render
