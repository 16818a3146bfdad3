#include "textures/texture_format.h"

#include <GL/glew.h>

namespace textures {

TextureFormatTable texture_format_table_build(bool compression) {
    TextureFormatTable table = {{
        GL_RGB,
        GL_RGBA,
        GL_LUMINANCE,
        GL_LUMINANCE_ALPHA,
        compression ? GLenum(GL_COMPRESSED_RGB) : GLenum(GL_RGB),
        compression ? GLenum(GL_COMPRESSED_RGBA) : GLenum(GL_RGBA),
        compression ? GLenum(GL_COMPRESSED_LUMINANCE) : GLenum(GL_LUMINANCE),
        compression ? GLenum(GL_COMPRESSED_LUMINANCE_ALPHA) : GLenum(GL_LUMINANCE_ALPHA),
    }};
    return table;
}

uint32_t texture_format_internal(const TextureFormatTable *table, uint8_t index) {
    return table->internal_format[index < 8 ? index : 0];
}

} // namespace textures
