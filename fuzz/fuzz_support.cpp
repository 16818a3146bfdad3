#include "fuzz_support.h"

#include "resources/byte_reader.h"
#include "resources/log.h"
#include "resources/packed.h"

#include <cstdlib>
#include <cstring>
#include <stb_image_write.h>

namespace fuzz {

FILE *fuzz_memory_file(const uint8_t *data, size_t size) {
    // fmemopen refuses an empty buffer; /dev/null reads as one.
    FILE *f = size ? fmemopen(const_cast<uint8_t *>(data), size, "rb") : std::fopen("/dev/null", "rb");
    if (!f) fuzz_fail("cannot open an input in memory");
    return f;
}

std::vector<uint8_t> fuzz_package(const std::vector<FuzzEntry> &entries) {
    size_t header = 3 + 40 * entries.size() + 32;
    std::vector<uint8_t> out(header, 0);
    out[0] = 0x44;
    out[1] = 0x50;
    out[2] = 0x01;
    for (size_t i = 0; i < entries.size(); i++) {
        uint8_t *index = out.data() + 3 + 40 * i;
        std::memcpy(index, entries[i].name.data(), entries[i].name.size() < 31 ? entries[i].name.size() : 31);
        uint32_t first = static_cast<uint32_t>(out.size());
        resources::byte_store_u32be(index + 32, first);
        resources::byte_store_u32be(index + 36, first + static_cast<uint32_t>(entries[i].data.size()) - 1);
        out.insert(out.end(), entries[i].data.begin(), entries[i].data.end());
    }
    return out;
}

void fuzz_quiet_log() {
    static FILE *null_log = std::fopen("/dev/null", "w");
    resources::log_attach(null_log);
}

void fuzz_fail(const char *what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

static void put_f32(std::vector<uint8_t> *out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    uint8_t b[4];
    resources::byte_store_u32le(b, bits);
    out->insert(out->end(), b, b + 4);
}

std::vector<uint8_t> fuzz_cube_model() {
    static const int kFaces[6][3][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    static const int kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    std::vector<uint8_t> out = {24, 0, 1, 0};
    for (const auto &f : kFaces)
        for (const auto &c : kCorners)
            for (int k = 0; k < 3; k++)
                put_f32(&out, 0.5f * float(f[0][k] + c[0] * f[1][k] + c[1] * f[2][k]));
    for (int i = 0; i < 6; i++)
        for (const auto &c : kCorners) {
            put_f32(&out, float(c[0] + 1) / 2);
            put_f32(&out, float(c[1] + 1) / 2);
        }
    for (const auto &f : kFaces)
        for (int v = 0; v < 4; v++)
            for (int k = 0; k < 3; k++)
                put_f32(&out, float(f[0][k]));
    for (int i = 0; i < 6; i++)
        for (int v : {0, 1, 2, 0, 2, 3}) {
            out.push_back(uint8_t(i * 4 + v));
            out.push_back(0);
        }
    return out;
}

std::vector<uint8_t> fuzz_packed(const std::vector<uint8_t> &data) {
    uint32_t size = 0;
    uint8_t *packed = resources::packed_compress(data.data(), static_cast<uint32_t>(data.size()), &size);
    if (!packed) fuzz_fail("cannot pack");
    std::vector<uint8_t> out(packed, packed + size);
    std::free(packed);
    return out;
}

static void append_bytes(void *context, void *data, int size) {
    std::vector<uint8_t> *out = static_cast<std::vector<uint8_t> *>(context);
    const uint8_t *b = static_cast<const uint8_t *>(data);
    out->insert(out->end(), b, b + size);
}

static std::vector<uint8_t> pattern(int w, int h, int channels) {
    std::vector<uint8_t> pixels(size_t(w) * h * channels);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < channels; c++)
                pixels[(size_t(y) * w + x) * channels + c] =
                    uint8_t(((x / 8 + y / 8) % 2 ? 220 : 40) + 10 * c);
    return pixels;
}

std::vector<uint8_t> fuzz_png(int w, int h, int channels) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> pixels = pattern(w, h, channels);
    stbi_write_png_to_func(append_bytes, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

std::vector<uint8_t> fuzz_jpeg(int w, int h, int channels) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> pixels = pattern(w, h, channels);
    stbi_write_jpg_to_func(append_bytes, &out, w, h, channels, pixels.data(), 90);
    return out;
}

} // namespace fuzz
