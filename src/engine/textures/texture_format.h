// The texture format table: eight OpenGL internal formats indexed by a record's "texture_format".
#pragma once

#include <cstdint>

namespace textures {

struct TextureFormatTable {
    uint32_t internal_format[8];
};

// Entries 4..7 are the compressed formats only when texture compression is present.
TextureFormatTable texture_format_table_build(bool compression);

// The internal format for a record's index; an index outside 0..7 reads as entry 0 (GL_RGB).
uint32_t texture_format_internal(const TextureFormatTable *table, uint8_t index);

} // namespace textures
