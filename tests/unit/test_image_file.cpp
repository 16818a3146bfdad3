#include "textures/image_file.h"

#include "resources/byte_reader.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>
#include <zlib.h>

using namespace textures;

namespace {

// An image file made by ImageMagick.
std::vector<uint8_t> magick(const testutil::TempDir &dir, const std::string &arguments,
                            const std::string &out) {
    std::string path = dir.file(out.substr(out.find(':') + 1));
    std::string command = "convert " + arguments + " " + out.substr(0, out.find(':') + 1) + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testutil::read_file(path);
}

void put_chunk(std::vector<uint8_t> *png, const char *type, const std::vector<uint8_t> &data) {
    uint8_t word[4];
    resources::byte_store_u32be(word, static_cast<uint32_t>(data.size()));
    png->insert(png->end(), word, word + 4);
    size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    uLong crc = crc32(0, png->data() + start, static_cast<uInt>(data.size() + 4));
    resources::byte_store_u32be(word, static_cast<uint32_t>(crc));
    png->insert(png->end(), word, word + 4);
}

// A w x h PNG (8-bit RGB unless told) whose IDAT is zlib's packing of `raw` (filtered rows as the
// file holds them); a gAMA chunk when `gamma` (in 1/100000) is not 0.
std::vector<uint8_t> png_with_raw(uint32_t w, uint32_t h, const std::vector<uint8_t> &raw, uint8_t depth = 8,
                                  uint8_t colour_type = 2, uint32_t gamma = 0) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr(13, 0);
    resources::byte_store_u32be(ihdr.data(), w);
    resources::byte_store_u32be(ihdr.data() + 4, h);
    ihdr[8] = depth;
    ihdr[9] = colour_type;
    put_chunk(&png, "IHDR", ihdr);
    if (gamma) {
        std::vector<uint8_t> g(4);
        resources::byte_store_u32be(g.data(), gamma);
        put_chunk(&png, "gAMA", g);
    }
    uLongf packed_size = compressBound(raw.size());
    std::vector<uint8_t> packed(packed_size);
    compress2(packed.data(), &packed_size, raw.data(), raw.size(), 9);
    packed.resize(packed_size);
    put_chunk(&png, "IDAT", packed);
    put_chunk(&png, "IEND", {});
    return png;
}

TEST(ImageFile, OnlyPngAndJpegWithinTheCapsAreDecoded) {
    testutil::TempDir dir;
    // 16 x 16 RGB rows: filter byte 0, then pixel (x, y) = (x * 16, y * 16, 7).
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < 16; y++) {
        raw.push_back(0);
        for (uint32_t x = 0; x < 16; x++)
            raw.insert(raw.end(), {uint8_t(x * 16), uint8_t(y * 16), 7});
    }
    std::vector<uint8_t> bomb = raw;
    bomb.resize(10u << 20, 0); // the same header over ten megabytes of pixel data

    std::vector<uint8_t> huge_header = magick(dir, "-size 4x4 xc:red", "png:small.png");
    resources::byte_store_u32be(huge_header.data() + 16, 4100); // IHDR width and height
    resources::byte_store_u32be(huge_header.data() + 20, 4100);

    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        ImageStatus status;
        int32_t w, h, channels;
    } cases[] = {
        {"PNG built by hand", png_with_raw(16, 16, raw), IMAGE_OK, 16, 16, 3},
        {"interlaced PNG", magick(dir, "-size 13x7 xc:blue -interlace PNG", "png:adam7.png"), IMAGE_OK, 13, 7,
         3},
        {"greyscale JPEG", magick(dir, "-size 9x5 xc:gray50 -colorspace Gray", "jpg:grey.jpg"), IMAGE_OK, 9,
         5, 1},
        {"GIF", magick(dir, "-size 4x4 xc:red", "gif:red.gif"), IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        {"BMP", magick(dir, "-size 4x4 xc:red", "bmp:red.bmp"), IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        {"TGA", magick(dir, "-size 4x4 xc:red", "tga:red.tga"), IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        {"PSD", magick(dir, "-size 4x4 xc:red", "psd:red.psd"), IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        {"HDR", magick(dir, "-size 4x4 xc:red", "hdr:red.hdr"), IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        // Rows are inflated as they are needed: ten megabytes of extra pixel data are never unpacked.
        {"PNG whose pixel data inflates far beyond its size", png_with_raw(16, 16, bomb), IMAGE_OK, 16, 16,
         3},
        {"PNG header of 4100 x 4100", huge_header, IMAGE_TOO_LARGE, 0, 0, 0},
        {"JPEG 8193 pixels wide", magick(dir, "-size 8193x2 xc:red", "jpg:wide.jpg"), IMAGE_TOO_LARGE, 0, 0,
         0},
        {"PNG cut inside its header",
         [&] {
             std::vector<uint8_t> cut = png_with_raw(16, 16, raw);
             cut.resize(20);
             return cut;
         }(),
         IMAGE_DAMAGED, 0, 0, 0},
        {"PNG cut inside its pixel data",
         [&] {
             std::vector<uint8_t> cut = png_with_raw(16, 16, raw);
             cut.resize(45);
             return cut;
         }(),
         IMAGE_CUT_SHORT, 16, 16, 3},
        {"empty", {}, IMAGE_NOT_PNG_OR_JPEG, 0, 0, 0},
        // Found by fuzzing: a JPEG whose Huffman table is all zeros, and a PNG whose IDAT says 1.5 GB.
        {"JPEG with an empty Huffman table",
         testutil::read_file(std::string(BV_TEST_DATA) +
                             "/../../fuzz/regressions/image/jpeg_with_an_empty_huffman_table"),
         IMAGE_DAMAGED, 0, 0, 0},
        {"PNG with an IDAT length of 1.5 GB",
         testutil::read_file(std::string(BV_TEST_DATA) +
                             "/../../fuzz/regressions/image/png_idat_length_of_1_5_gb"),
         IMAGE_CUT_SHORT, 16, 8, 3},
    };
    for (const Case &c : cases) {
        int32_t w = 0, h = 0, n = 0;
        ImageReport report;
        uint8_t *pixels =
            image_file_decode(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()), 0, &w, &h, &n, &report);
        EXPECT_EQ(report.status, c.status) << c.what;
        EXPECT_EQ(pixels != nullptr, c.status == IMAGE_OK || c.status == IMAGE_CUT_SHORT) << c.what;
        if (!pixels) continue;
        EXPECT_EQ(w, c.w) << c.what;
        EXPECT_EQ(h, c.h) << c.what;
        EXPECT_EQ(n, c.channels) << c.what;
        if (std::string(c.what) == "PNG built by hand") {
            const uint8_t *p = pixels + (5 * 16 + 3) * 3; // pixel (3, 5)
            EXPECT_EQ(p[0], 48);
            EXPECT_EQ(p[1], 80);
            EXPECT_EQ(p[2], 7);
        }
        image_file_free(pixels);
    }
}

TEST(ImageFile, CommonChannelsKeepColourAndAlpha) {
    struct Case {
        std::vector<int32_t> counts;
        int32_t common;
    } cases[] = {
        {{3, 3, 3, 3, 3, 1}, 3}, {{1, 1}, 1}, {{1, 2}, 2}, {{2, 3}, 4}, {{4, 1}, 4}, {{3, 4}, 4}, {{2, 2}, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(image_file_common_channels(c.counts.data(), static_cast<int>(c.counts.size())), c.common);
}

TEST(ImageFile, StoredBytesComeOutWithoutColourOrGammaHandling) {
    // 16-bit grey samples keep their high byte; a linear gAMA chunk changes nothing.
    std::vector<uint8_t> grey16 = {0, 0x00, 0xFF, 0x80, 0x00, 0xFF, 0xFF, 0x7F, 0xFF};
    std::vector<uint8_t> rgb8 = {0, 10, 100, 200};
    struct Case {
        const char *what;
        std::vector<uint8_t> png;
        int32_t channels;
        std::vector<uint8_t> pixels;
    } cases[] = {
        {"16-bit grey", png_with_raw(4, 1, grey16, 16, 0), 1, {0, 128, 255, 127}},
        {"16-bit grey, linear gAMA", png_with_raw(4, 1, grey16, 16, 0, 100000), 1, {0, 128, 255, 127}},
        {"8-bit RGB, linear gAMA", png_with_raw(1, 1, rgb8, 8, 2, 100000), 3, {10, 100, 200}},
    };
    for (const Case &c : cases) {
        int32_t w = 0, h = 0, n = 0;
        ImageReport report;
        uint8_t *pixels = image_file_decode(c.png.data(), uint32_t(c.png.size()), 0, &w, &h, &n, &report);
        ASSERT_NE(pixels, nullptr) << c.what;
        EXPECT_EQ(n, c.channels) << c.what;
        EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + size_t(w) * h * n), c.pixels) << c.what;
        image_file_free(pixels);
    }
}

// Files damaged inside their image data still give their pixels, with the decoder's word for the
// damage: the rows before the damage as the whole file has them, a cut PNG's missing rows grey.
TEST(ImageFile, DamagedImageDataIsKeptAndNamed) {
    testutil::TempDir dir;
    // 64 x 256 grey rows, stored without compression so that a cut falls where the test puts it.
    const uint32_t kW = 64, kH = 256;
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < kH; y++) {
        raw.push_back(0);
        for (uint32_t x = 0; x < kW; x++)
            raw.push_back(uint8_t(y + x));
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr(13, 0);
    resources::byte_store_u32be(ihdr.data(), kW);
    resources::byte_store_u32be(ihdr.data() + 4, kH);
    ihdr[8] = 8; // grey
    put_chunk(&png, "IHDR", ihdr);
    uLongf packed_size = compressBound(raw.size());
    std::vector<uint8_t> packed(packed_size);
    compress2(packed.data(), &packed_size, raw.data(), raw.size(), 0);
    packed.resize(packed_size);
    put_chunk(&png, "IDAT", packed);
    put_chunk(&png, "IEND", {});
    const size_t kData = 8 + 25 + 8; // where the IDAT's data begins
    // zlib's header and one stored block's (rows never span its 65535-byte limit here), then 128 rows.
    std::vector<uint8_t> png_cut(png.begin(), png.begin() + kData + 2 + 5 + 128 * (kW + 1));
    std::vector<uint8_t> png_bad_byte = png;
    png_bad_byte[kData + 2 + 5 + 200 * (kW + 1) + 9] ^= 0x55; // a pixel of row 200; the CRC no longer fits

    std::vector<uint8_t> jpeg =
        magick(dir, "-seed 7 -size 96x64 plasma:fractal -quality 90", "jpg:photo.jpg");
    std::vector<uint8_t> jpeg_cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 45 / 100);
    std::vector<uint8_t> jpeg_garbled = jpeg;
    // A marker where none belongs, in the middle of the coded data.
    jpeg_garbled[jpeg.size() / 2] = 0xFF;
    jpeg_garbled[jpeg.size() / 2 + 1] = 0xD3;

    struct Case {
        const char *what;
        std::vector<uint8_t> bytes, whole;
        ImageStatus status;
        const char *detail;
    } cases[] = {
        {"PNG cut after 128 rows", png_cut, png, IMAGE_CUT_SHORT, "Premature end of PNG file"},
        {"PNG whose image data fails its CRC", png_bad_byte, png, IMAGE_CORRUPT_DATA, "incorrect data check"},
        {"JPEG cut at 45 %", jpeg_cut, jpeg, IMAGE_CUT_SHORT, "Premature end of JPEG file"},
        {"JPEG with garbled entropy data", jpeg_garbled, jpeg, IMAGE_CORRUPT_DATA, "Corrupt JPEG data"},
    };
    for (const Case &c : cases) {
        int32_t w = 0, h = 0, n = 0, ww = 0, wh = 0, wn = 0;
        ImageReport report, whole_report;
        uint8_t *pixels = image_file_decode(c.bytes.data(), uint32_t(c.bytes.size()), 0, &w, &h, &n, &report);
        uint8_t *whole =
            image_file_decode(c.whole.data(), uint32_t(c.whole.size()), 0, &ww, &wh, &wn, &whole_report);
        ASSERT_NE(whole, nullptr) << c.what;
        EXPECT_EQ(whole_report.status, IMAGE_OK) << c.what;
        EXPECT_STREQ(whole_report.detail, "") << c.what;
        ASSERT_NE(pixels, nullptr) << c.what;
        EXPECT_EQ(report.status, c.status) << c.what;
        EXPECT_NE(std::string(report.detail).find(c.detail), std::string::npos)
            << c.what << ": " << report.detail;
        ASSERT_EQ(w * h * n, ww * wh * wn) << c.what;
        size_t stride = size_t(w) * n, same_rows = 0;
        while (same_rows < size_t(h) &&
               std::equal(pixels + same_rows * stride, pixels + (same_rows + 1) * stride,
                          whole + same_rows * stride))
            same_rows++;
        EXPECT_GT(same_rows, 0u) << c.what;
        EXPECT_LT(same_rows, size_t(h)) << c.what;
        if (c.bytes == png_cut) {
            // The rows up to the cut, less what lies in the last piece read (512 bytes), then grey.
            EXPECT_GE(same_rows, 128u - 512 / (kW + 1) - 1);
            EXPECT_TRUE(std::all_of(pixels + (same_rows + 1) * stride, pixels + h * stride,
                                    [](uint8_t v) { return v == 128; }));
        }
        if (c.bytes == png_bad_byte) {
            EXPECT_EQ(same_rows, 200u);
        }
        image_file_free(pixels);
        image_file_free(whole);
    }
}

} // namespace
