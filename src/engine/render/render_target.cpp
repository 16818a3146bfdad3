#include "render/render_target.h"

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

void render_target_resize(textures::Bitmap *b, int32_t width, int32_t height, bool fbo) {
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

void render_target_attach(uint32_t framebuffer, uint32_t texture, uint32_t texture_target, uint32_t depth) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture_target, texture, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
}

void render_target_detach() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }

void render_target_copy_window(uint32_t texture_target, uint32_t bind_target, uint32_t texture, int32_t width,
                               int32_t height) {
    if (width <= 0 || height <= 0) return;
    glBindTexture(bind_target, texture);
    glCopyTexSubImage2D(texture_target, 0, 0, 0, 0, 0, width, height);
}

} // namespace render
