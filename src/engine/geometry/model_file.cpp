#include "geometry/model_file.h"

#include "resources/packed.h"

#include <cstring>
#include <vector>

namespace geometry {

namespace {

void put_u16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Floats go out little-endian whatever the host, bit for bit.
void put_floats(std::vector<uint8_t> &out, const float *v, uint64_t count) {
    size_t at = out.size();
    out.resize(at + count * 4);
    for (uint64_t i = 0; i < count; i++) {
        uint32_t bits;
        std::memcpy(&bits, &v[i], 4);
        for (int b = 0; b < 4; b++)
            out[at + i * 4 + b] = uint8_t(bits >> (8 * b));
    }
}

} // namespace

uint8_t *model_file_pack(const ModelArrays &a, uint32_t *out_size) {
    *out_size = 0;
    uint64_t n = a.vertex_count;
    if (n > kModelMaxVertices) return nullptr;
    uint64_t bytes = 4 + 32 * n + 2ull * a.index_count;
    if (bytes > resources::kPackedMaxLength) return nullptr;
    std::vector<uint8_t> file;
    file.reserve(bytes);
    put_u16(file, static_cast<uint16_t>(n));
    file.push_back(1); // one texture coordinate set
    file.push_back(0);
    put_floats(file, a.positions, n * 3);
    put_floats(file, a.texcoords, n * 2);
    put_floats(file, a.normals, n * 3);
    for (uint32_t i = 0; i < a.index_count; i++)
        put_u16(file, a.indices[i]);
    return resources::packed_compress(file.data(), static_cast<uint32_t>(file.size()), out_size);
}

} // namespace geometry
