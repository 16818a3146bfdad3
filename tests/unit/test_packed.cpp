#include "resources/packed.h"

#include "resources/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>
#include <zlib.h>

using namespace resources;

namespace {

// Builds a packed block with zlib directly, with a length word chosen by the test.
std::vector<uint8_t> pack_with_length(const std::string &text, uint32_t length_word, int level = 6) {
    uLongf bound = compressBound(text.size());
    std::vector<uint8_t> out(4 + bound);
    byte_store_u32le(out.data(), length_word);
    compress2(out.data() + 4, &bound, reinterpret_cast<const Bytef *>(text.data()), text.size(), level);
    out.resize(4 + bound);
    return out;
}

std::string inflate_status(const std::vector<uint8_t> &packed, PackedStatus *status) {
    uint32_t length = 0;
    uint8_t *out = packed_inflate(packed.data(), static_cast<uint32_t>(packed.size()), &length, status);
    if (!out) return "<null>";
    EXPECT_EQ(out[length], 0);
    std::string s(reinterpret_cast<char *>(out), length);
    std::free(out);
    return s;
}

TEST(Packed, InflatesExactlyAndDetectsEveryMismatch) {
    std::string text = "<demo><a/></demo>\n";
    uint32_t n = static_cast<uint32_t>(text.size());
    std::vector<uint8_t> corrupt = pack_with_length(text, n);
    corrupt[8] ^= 0xFF;
    std::vector<uint8_t> cut = pack_with_length(text, n);
    cut.resize(cut.size() - 8);
    struct Case {
        const char *what;
        std::vector<uint8_t> packed;
        const char *expected;
    } cases[] = {
        {"exact", pack_with_length(text, n), "<demo><a/></demo>\n"},
        {"length word too small", pack_with_length(text, n - 1), "<null>"},
        {"length word too large", pack_with_length(text, n + 1), "<null>"},
        {"larger than 256 MiB", pack_with_length(text, (256u << 20) + 1), "<null>"},
        {"corrupt stream", corrupt, "<null>"},
        {"truncated stream", cut, "<null>"},
        {"shorter than the length word", {1, 0}, "<null>"},
        {"length word only", {0, 0, 0, 0}, "<null>"},
        {"empty text", pack_with_length("", 0), ""},
        // An empty stream whose own checksum is wrong, with a right one only at the entry's end.
        {"checksum after junk",
         {0, 0, 0, 0, 0x78, 0xDA, 3, 0, 0, 0, 0, 0x78, 0xDA, 3, 0, 0, 0, 0, 0, 0, 0, 1},
         "<null>"},
    };
    for (const Case &c : cases) {
        PackedStatus status;
        EXPECT_EQ(inflate_status(c.packed, &status), c.expected) << c.what;
        EXPECT_EQ(status, std::string(c.expected) == "<null>" ? PACKED_DAMAGED : PACKED_OK) << c.what;
    }
}

// The allocation is sized by the length word, so the word is held to what the stream can give:
// zlib's own densest stream passes, a small stream that claims far more is refused unallocated.
TEST(Packed, LengthWordIsHeldToWhatTheStreamCanHold) {
    struct Case {
        uint32_t length;
        uint64_t stream_size;
        bool plausible;
    } cases[] = {
        {256u << 20, 6, false}, // ten bytes that claim 256 MiB
        {6 * 1032, 6, true},    // the bound itself
        {6 * 1032 + 1, 6, false},
        {67108864, 65238, true},             // 64 MiB of zeros as zlib -9 packs them (Python's zlib)
        {(256u << 20) + 1, 1u << 30, false}, // beyond the cap whatever the stream
        {0, 0, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(packed_length_plausible(c.length, c.stream_size), c.plausible)
            << c.length << " " << c.stream_size;

    std::string zeros(16u << 20, '\0');
    std::vector<uint8_t> dense = pack_with_length(zeros, static_cast<uint32_t>(zeros.size()), 9);
    PackedStatus status;
    EXPECT_EQ(inflate_status(dense, &status).size(), zeros.size());
    std::vector<uint8_t> liar = {0x00, 0x00, 0x00, 0x10, 0x78, 0xDA, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(inflate_status(liar, &status), "<null>");
    EXPECT_EQ(status, PACKED_DAMAGED);
}

TEST(Packed, CompressRoundTripsThroughZlib) {
    std::string text(100000, 'q');
    for (size_t i = 0; i < text.size(); i += 7)
        text[i] = static_cast<char>('a' + i % 26);
    uint32_t packed_size = 0;
    uint8_t *packed = packed_compress(reinterpret_cast<const uint8_t *>(text.data()),
                                      static_cast<uint32_t>(text.size()), &packed_size);
    ASSERT_NE(packed, nullptr);
    // zlib itself must read it back (the stream is standard RFC 1950).
    ByteReader r = byte_reader_make(packed, packed_size);
    EXPECT_EQ(byte_reader_u32le(&r), text.size());
    std::vector<uint8_t> check(text.size());
    uLongf got = check.size();
    EXPECT_EQ(uncompress(check.data(), &got, packed + 4, packed_size - 4), Z_OK);
    EXPECT_EQ(std::string(check.begin(), check.end()), text);
    std::vector<uint8_t> block(packed, packed + packed_size);
    std::free(packed);
    PackedStatus status;
    EXPECT_EQ(inflate_status(block, &status), text);
}

} // namespace
