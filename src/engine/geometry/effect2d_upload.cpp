// The GL side of 2D effects: creating the texture and replacing its content, through a pixel
// buffer object (the image generated straight into driver memory) or through client memory.
#include "geometry/effect2d.h"

#include "textures/texture_format.h"

#include <GL/glew.h>
#include <cstdlib>

namespace geometry {

namespace {

GLenum pixel_format(const Effect2D *e) {
    return e->bits_per_pixel == 8 ? GL_LUMINANCE : GL_RGB;
}

// Generates into the mapped pixel buffer, left bound for an upload from offset 0. False (buffer
// unbound) when it cannot be mapped.
bool generate_into_buffer(Effect2D *e, const float *params) {
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, e->pixel_buffer);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, effect2d_image_bytes(e), nullptr, GL_STREAM_DRAW);
    uint8_t *mapped = static_cast<uint8_t *>(glMapBuffer(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY));
    if (!mapped) {
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        return false;
    }
    effect2d_generate(e, params, mapped);
    glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
    return true;
}

// Generates the image for the parameters and hands it to upload (with the pixel pointer GL wants:
// an offset into the bound pixel buffer, or client memory).
template <typename Upload>
void effect2d_fill(Effect2D *e, const float *params, bool use_buffer, Upload upload) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (use_buffer && e->pixel_buffer && generate_into_buffer(e, params)) {
        upload(nullptr);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    } else {
        uint8_t *pixels = static_cast<uint8_t *>(std::malloc(effect2d_image_bytes(e)));
        if (!pixels) {
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            return;
        }
        effect2d_generate(e, params, pixels);
        upload(pixels);
        std::free(pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

} // namespace

void effect2d_upload_create(Effect2D *e, const resources::ObjectList *functions,
                            const textures::TextureFormatTable *formats, bool pixel_buffers) {
    if (e->width == 0) return; // left out by the memory budget
    float params[kEffect2DParameters];
    effect2d_parameters(e, functions, 0, params);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    e->texture = texture;
    if (pixel_buffers) {
        GLuint buffer = 0;
        glGenBuffers(1, &buffer);
        e->pixel_buffer = buffer;
    }
    GLint internal = static_cast<GLint>(textures::texture_format_internal(formats, e->texture_format));
    effect2d_fill(e, params, pixel_buffers, [&](const void *pixels) {
        glBindTexture(GL_TEXTURE_2D, e->texture);
        glTexImage2D(GL_TEXTURE_2D, 0, internal, e->width, e->height, 0, pixel_format(e), GL_UNSIGNED_BYTE,
                     pixels);
    });
    glBindTexture(GL_TEXTURE_2D, e->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

void effect2d_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                     uint32_t t, bool pixel_buffers) {
    Effect2D *e = resources::object_at<Effect2D>(effects, index);
    if (!e || !e->texture) return;
    float params[kEffect2DParameters];
    effect2d_parameters(e, functions, t, params);
    // The loading document's effects, and any without a pixel buffer, take the client-memory path.
    effect2d_fill(e, params, pixel_buffers, [&](const void *pixels) {
        glBindTexture(GL_TEXTURE_2D, e->texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, e->width, e->height, pixel_format(e), GL_UNSIGNED_BYTE,
                        pixels);
    });
}

} // namespace geometry
