// Bitmaps, cube maps, output nodes and models uploaded to a real GL context and read back.
#include "gl_util.h"
#include "log_capture.h"
#include "test_util.h"

#include "geometry/model.h"
#include "resources/package.h"
#include "resources/packed.h"
#include "resources/xml.h"
#include "textures/mipmap.h"
#include "textures/texture_definitions.h"
#include "textures/texture_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace textures;
using testutil::TempDir;

namespace {

// Packs the given files of dir into dir/t.dpk and opens it.
FILE *package_of(const TempDir &dir, const std::vector<std::string> &names) {
    resources::EntryNode *list = resources::entry_list_new();
    std::string src = dir.path.string() + "/";
    for (const std::string &n : names) resources::entry_list_append(list, n.c_str(), src.c_str());
    bool ok = resources::package_write(list, dir.file("t.dpk").c_str(), nullptr);
    resources::entry_list_free(list);
    return ok ? std::fopen(dir.file("t.dpk").c_str(), "rb") : nullptr;
}

// The next level by the builder's rules, computed here directly (2 x 2 truncating mean, or a pair
// in memory order once a side is 1).
std::vector<uint8_t> halve(const std::vector<uint8_t> &src, int w, int h, int ch, int *nw, int *nh) {
    *nw = w > 1 ? w / 2 : 1;
    *nh = h > 1 ? h / 2 : 1;
    std::vector<uint8_t> out(size_t(*nw) * *nh * ch);
    for (int y = 0; y < *nh; y++)
        for (int x = 0; x < *nw; x++)
            for (int c = 0; c < ch; c++) {
                int v;
                if (*nw == 1) {
                    v = (src[(2 * y) * ch + c] + src[(2 * y + 1) * ch + c]) >> 1;
                } else if (*nh == 1) {
                    v = (src[(2 * x) * ch + c] + src[(2 * x + 1) * ch + c]) >> 1;
                } else {
                    auto at = [&](int xx, int yy) { return src[(size_t(yy) * w + xx) * ch + c]; };
                    v = (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) >> 2;
                }
                out[(size_t(y) * *nw + x) * ch + c] = static_cast<uint8_t>(v);
            }
    return out;
}

Bitmap *read_bitmap(resources::ObjectList *list, FILE *pkg, const std::string &element_text,
                    const TextureFormatTable &formats) {
    resources::XmlNode *doc = resources::xml_parse(element_text.c_str());
    uint32_t slot = bitmap_read(list, doc->first_child, pkg, &formats);
    resources::xml_free(doc);
    return resources::object_at<Bitmap>(list, list->position[slot - 1]);
}

struct ImageCase {
    const char *file;
    const char *make; // ImageMagick arguments before the output name
    const char *map;
    int channels;
    GLenum format;
    const char *texture_format; // an internal format that keeps every channel
};

TEST(BitmapGL, PngLevelsReadBackExactly) {
    ImageCase cases[] = {
        {"grad.png", "-size 37x21 gradient:red-blue -depth 8 -define png:color-type=2", "RGB", 3, GL_RGB, "0"},
        {"alpha.png", "-size 16x8 gradient:'rgba(255,0,0,0.2)'-'rgba(0,0,255,1)' -depth 8 -define png:color-type=6", "RGBA", 4,
         GL_RGBA, "1"},
        {"grey.png", "-size 12x6 gradient:black-white -colorspace Gray -depth 8 -define png:color-type=0", "GRAY", 1,
         GL_LUMINANCE, "2"},
    };
    TempDir dir;
    TextureFormatTable formats = texture_format_table_build(true);
    for (const ImageCase &c : cases) {
        ASSERT_TRUE(gltest::shell(std::string("convert ") + c.make + " png:" + dir.file(c.file))) << c.file;
        std::vector<uint8_t> expected = gltest::imagemagick_pixels(dir.file(c.file), c.map);
        ASSERT_FALSE(expected.empty());
        FILE *pkg = package_of(dir, {c.file});
        ASSERT_NE(pkg, nullptr);
        resources::ObjectList *list = resources::object_list_create(sizeof(Bitmap));
        Bitmap *b = read_bitmap(list, pkg, std::string("<b filename=\"") + c.file +
                                               "\" texture_format=\"" + c.texture_format +
                                               "\" texture_filter=\"2\"/>", formats);
        std::fclose(pkg);
        EXPECT_EQ(b->channels, c.channels) << c.file;
        EXPECT_EQ(b->pixels, nullptr) << "decoded pixels are released after the upload";
        int w = b->width, h = b->height;
        for (int level = 0;; level++) {
            std::vector<uint8_t> got = gltest::read_level(GL_TEXTURE_2D, b->gl_texture, GL_TEXTURE_2D, level,
                                                          c.format, c.channels);
            ASSERT_EQ(got.size(), expected.size()) << c.file << " level " << level;
            ASSERT_EQ(got, expected) << c.file << " level " << level;
            if (w == 1 && h == 1) break;
            int nw, nh;
            expected = halve(expected, w, h, c.channels, &nw, &nh);
            w = nw;
            h = nh;
        }
        resources::object_list_free(list);
    }
}

TEST(BitmapGL, JpegAndPremadeLevels) {
    TempDir dir;
    ASSERT_TRUE(gltest::shell("convert -size 32x16 plasma:fractal -seed 7 -quality 95 jpg:" + dir.file("logo.jpg")));
    ASSERT_TRUE(gltest::shell("convert -size 16x8 xc:'rgb(10,200,30)' png:" + dir.file("logo_mm1.jpg")));
    ASSERT_TRUE(gltest::shell("convert -size 9x4 xc:white png:" + dir.file("logo_mm2.jpg"))); // wrong size
    FILE *pkg = package_of(dir, {"logo.jpg", "logo_mm1.jpg", "logo_mm2.jpg"});
    ASSERT_NE(pkg, nullptr);
    TextureFormatTable formats = texture_format_table_build(false);
    resources::ObjectList *list = resources::object_list_create(sizeof(Bitmap));
    Bitmap *b = read_bitmap(list, pkg, "<b filename=\"logo.jpg\" texture_format=\"5\" texture_filter=\"2\"/>", formats);
    std::fclose(pkg);
    ASSERT_EQ(b->width, 32);
    ASSERT_EQ(b->channels, 3);

    // Two JPEG decoders agree closely, not exactly.
    std::vector<uint8_t> reference = gltest::imagemagick_pixels(dir.file("logo.jpg"), "RGB");
    std::vector<uint8_t> base = gltest::read_level(GL_TEXTURE_2D, b->gl_texture, GL_TEXTURE_2D, 0, GL_RGB, 3);
    ASSERT_EQ(base.size(), reference.size());
    double total = 0;
    int worst = 0;
    for (size_t i = 0; i < base.size(); i++) {
        int d = std::abs(int(base[i]) - int(reference[i]));
        total += d;
        worst = std::max(worst, d);
    }
    EXPECT_LE(worst, 12);
    EXPECT_LE(total / base.size(), 2.0);

    // Texture format 5 without compression is plain RGBA.
    GLint internal = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    EXPECT_TRUE(internal == GL_RGBA || internal == GL_RGBA8) << std::hex << internal;

    // Level 1 is the premade one; level 2 (wrong premade size) is computed from it.
    std::vector<uint8_t> level1 = gltest::read_level(GL_TEXTURE_2D, b->gl_texture, GL_TEXTURE_2D, 1, GL_RGB, 3);
    ASSERT_EQ(level1.size(), 16u * 8 * 3);
    for (size_t i = 0; i < level1.size(); i += 3) {
        EXPECT_EQ(level1[i], 10);
        EXPECT_EQ(level1[i + 1], 200);
        EXPECT_EQ(level1[i + 2], 30);
    }
    std::vector<uint8_t> level2 = gltest::read_level(GL_TEXTURE_2D, b->gl_texture, GL_TEXTURE_2D, 2, GL_RGB, 3);
    ASSERT_EQ(level2.size(), 8u * 4 * 3);
    EXPECT_EQ(level2[0], 10);
    EXPECT_EQ(level2[1], 200);
    resources::object_list_free(list);
}

TEST(BitmapGL, MissingEntriesKeepTheirSlot) {
    TempDir dir;
    ASSERT_TRUE(gltest::shell("convert -size 4x4 xc:red png:" + dir.file("ok.png")));
    ASSERT_TRUE(gltest::shell("convert -size 4x4 xc:red gif:" + dir.file("red.gif")));
    FILE *pkg = package_of(dir, {"ok.png", "red.gif"});
    TextureFormatTable formats = texture_format_table_build(false);
    resources::ObjectList *list = resources::object_list_create(sizeof(Bitmap));
    testutil::LogCapture log;
    Bitmap *missing = read_bitmap(list, pkg, "<b filename=\"nope.png\" texture_filter=\"1\"/>", formats);
    Bitmap *ok = read_bitmap(list, pkg, "<b filename=\"ok.png\" texture_filter=\"1\"/>", formats);
    // The image library reads GIF too; a demo's bitmaps are PNG or JPEG, and nothing else reaches it.
    Bitmap *gif = read_bitmap(list, pkg, "<b filename=\"red.gif\" texture_filter=\"1\"/>", formats);
    std::fclose(pkg);
    EXPECT_EQ(list->count, 3u);
    EXPECT_EQ(missing->width, 0);
    EXPECT_NE(missing->gl_texture, 0u);
    EXPECT_EQ(ok->width, 4);
    EXPECT_EQ(gif->width, 0);
    EXPECT_EQ(log.text(), "Error: bitmap nope.png is missing or cannot be decoded.\r\n"
                          "Error: bitmap red.gif is not a PNG or JPEG image.\r\n");
    resources::object_list_free(list);
}

TEST(CubeMapGL, SixFacesUploadAndFacesOfOtherSizesDoNot) {
    TempDir dir;
    const char *colours[6] = {"red", "lime", "blue", "yellow", "cyan", "magenta"};
    const char *names[6] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (int f = 0; f < 6; f++)
        ASSERT_TRUE(gltest::shell(std::string("convert -size 8x8 xc:") + colours[f] +
                                  " -define png:color-type=2 png:" + dir.file(names[f])));
    ASSERT_TRUE(gltest::shell("convert -size 4x4 xc:red -define png:color-type=2 png:" + dir.file("small.png")));
    ASSERT_TRUE(gltest::shell("convert -size 8x8 xc:gray50 -colorspace Gray jpg:" + dir.file("grey.jpg")));
    FILE *pkg = package_of(
        dir, {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png", "small.png", "grey.jpg"});
    TextureFormatTable formats = texture_format_table_build(false);
    resources::ObjectList *list = resources::object_list_create(sizeof(CubeMap));
    testutil::LogCapture log;
    const char *texts[] = {
        "<c xp=\"px.png\" xn=\"nx.png\" yp=\"py.png\" yn=\"ny.png\" zp=\"pz.png\" zn=\"nz.png\" "
        "texture_filter=\"1\"/>",
        "<c xp=\"px.png\" xn=\"nx.png\" yp=\"py.png\" yn=\"ny.png\" zp=\"pz.png\" zn=\"small.png\"/>",
        "<c xp=\"px.png\" xn=\"\" yp=\"py.png\" yn=\"ny.png\" zp=\"pz.png\" zn=\"nz.png\"/>",
        // One greyscale JPEG among colour PNGs: brought to RGB and shown.
        "<c xp=\"px.png\" xn=\"nx.png\" yp=\"py.png\" yn=\"ny.png\" zp=\"pz.png\" zn=\"grey.jpg\"/>",
    };
    for (const char *text : texts) {
        resources::xml_free([&] {
            resources::XmlNode *doc = resources::xml_parse(text);
            cube_map_read(list, doc->first_child, pkg, &formats);
            return doc;
        }());
    }
    std::fclose(pkg);
    CubeMap *good = resources::object_at<CubeMap>(list, 1);
    uint8_t expected[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    for (int f = 0; f < 6; f++) {
        std::vector<uint8_t> face = gltest::read_level(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, good->gl_texture,
                                                       GL_TEXTURE_CUBE_MAP, 0, GL_RGB, 3);
        ASSERT_EQ(face.size(), 8u * 8 * 3) << f;
        EXPECT_EQ(face[0], expected[f][0]) << f;
        EXPECT_EQ(face[1], expected[f][1]) << f;
        EXPECT_EQ(face[2], expected[f][2]) << f;
    }
    for (uint32_t p = 2; p <= 3; p++) {
        GLint w = -1, h = -1;
        gltest::level_size(GL_TEXTURE_CUBE_MAP_POSITIVE_X, resources::object_at<CubeMap>(list, p)->gl_texture,
                           GL_TEXTURE_CUBE_MAP, 0, &w, &h);
        EXPECT_EQ(w, 0) << "cube map " << p << " must stay without an image";
    }
    CubeMap *mixed = resources::object_at<CubeMap>(list, 4);
    EXPECT_EQ(mixed->channels, 3);
    std::vector<uint8_t> grey = gltest::read_level(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, mixed->gl_texture,
                                                   GL_TEXTURE_CUBE_MAP, 0, GL_RGB, 3);
    ASSERT_EQ(grey.size(), 8u * 8 * 3);
    EXPECT_NEAR(grey[0], 128, 2);
    EXPECT_EQ(grey[0], grey[1]);
    EXPECT_EQ(grey[0], grey[2]);
    std::vector<uint8_t> red = gltest::read_level(GL_TEXTURE_CUBE_MAP_POSITIVE_X, mixed->gl_texture,
                                                  GL_TEXTURE_CUBE_MAP, 0, GL_RGB, 3);
    ASSERT_EQ(red.size(), 8u * 8 * 3);
    EXPECT_EQ(red[0], 255);
    EXPECT_EQ(red[1], 0);
    EXPECT_EQ(log.text(), "Error: the faces of cube map 2 differ in size; it stays empty.\r\n");
    resources::object_list_free(list);
}

TEST(ProceduralGL, OutputNodeTextureAndUpload) {
    TextureFormatTable formats = texture_format_table_build(false);
    resources::ObjectList *list = resources::object_list_create(sizeof(ProceduralTexture));
    resources::XmlNode *doc = resources::xml_parse(
        "<r><t type=\"255\" name=\"out\" texture_format=\"0\" texture_filter=\"2\"><i>3</i><x>9</x></t>"
        "<t type=\"207\" name=\"add\" texture_format=\"0\" texture_filter=\"0\"><a>1</a><input>2</input>"
        "<output>4</output><output>5</output><p>0.5</p><p>0.25</p></t>"
        "<t type=\"101\" layer_id=\"6\"><a>0</a><p>1</p></t></r>");
    const resources::XmlNode *e = doc->first_child->first_child;
    procedural_texture_read(list, e, &formats);
    procedural_texture_read(list, e->next, &formats);
    procedural_texture_read(list, e->next->next, &formats);
    resources::xml_free(doc);
    ProceduralTexture *out = resources::object_at<ProceduralTexture>(list, 1);
    ProceduralTexture *add = resources::object_at<ProceduralTexture>(list, 2);
    ProceduralTexture *layer = resources::object_at<ProceduralTexture>(list, 3);
    EXPECT_STREQ(out->name, "out");
    EXPECT_EQ(out->first_input, 3);
    EXPECT_EQ(out->pending, NODE_PENDING);
    EXPECT_EQ(add->first_input, 1);
    EXPECT_EQ(add->second_input, 2);
    EXPECT_EQ(add->output_count, 2);
    EXPECT_EQ(add->outputs[1], 5);
    EXPECT_EQ(add->parameters[1], 0.25f);
    EXPECT_EQ(add->layer_index, 0);
    EXPECT_EQ(layer->layer_index, 6);
    EXPECT_EQ(layer->parameters[0], 1.0f);
    ASSERT_NE(out->gl_texture, 0u);
    GLint w = 0, h = 0;
    gltest::level_size(GL_TEXTURE_2D, out->gl_texture, GL_TEXTURE_2D, 0, &w, &h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);

    std::vector<uint8_t> image(kGraphImageBytes);
    for (size_t i = 0; i < image.size(); i++) image[i] = static_cast<uint8_t>(i * 7 + i / 768);
    procedural_output_upload(out, image.data(), &formats);
    EXPECT_EQ(std::memcmp(out->image, image.data(), image.size()), 0);
    EXPECT_EQ(gltest::read_level(GL_TEXTURE_2D, out->gl_texture, GL_TEXTURE_2D, 0, GL_RGB, 3), image);
    gltest::level_size(GL_TEXTURE_2D, out->gl_texture, GL_TEXTURE_2D, 8, &w, &h);
    EXPECT_EQ(w, 1) << "filter 2 gives the full chain";
    procedural_texture_release(out);
    resources::object_list_free(list);
}

TEST(ModelGL, BuffersHoldEveryArray) {
    TempDir dir;
    // Two vertices, two coordinate sets, one (dropped) triangle would name vertex 2: build by hand.
    std::vector<uint8_t> file = {3, 0, 2, 0};
    auto f32 = [&](float v) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        file.insert(file.end(), b, b + 4);
    };
    for (int i = 0; i < 3 * 3 + 3 * 2 * 2 + 3 * 3; i++) f32(float(i));
    for (uint16_t v : {0, 1, 2}) {
        file.push_back(uint8_t(v));
        file.push_back(0);
    }
    uint32_t packed_size = 0;
    uint8_t *packed = resources::packed_compress(file.data(), static_cast<uint32_t>(file.size()), &packed_size);
    testutil::write_file(dir.file("tri.mdl"), std::vector<uint8_t>(packed, packed + packed_size));
    std::free(packed);
    FILE *pkg = package_of(dir, {"tri.mdl"});
    resources::ObjectList *models = resources::object_list_create(sizeof(geometry::Mesh));
    resources::XmlNode *doc = resources::xml_parse("<m filename=\"tri.mdl\"/><m filename=\"gone.mdl\"/>");
    testutil::LogCapture log;
    geometry::model_read(models, doc->first_child, pkg, true);
    geometry::model_read(models, doc->first_child->next, pkg, true);
    resources::xml_free(doc);
    std::fclose(pkg);
    EXPECT_EQ(log.text(), "Error: model gone.mdl is missing from the package.\r\n");
    geometry::Mesh *mesh = resources::object_at<geometry::Mesh>(models, 1);
    ASSERT_EQ(mesh->vertex_count, 3);
    GLint expected[6] = {36, 24, 24, 0, 36, 6};
    for (int i = 0; i < 6; i++) {
        if (!expected[i]) {
            EXPECT_EQ(mesh->buffers[i], 0u) << i;
            continue;
        }
        GLenum target = i == 5 ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
        glBindBuffer(target, mesh->buffers[i]);
        GLint size = 0;
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
        EXPECT_EQ(size, expected[i]) << "buffer " << i;
        glBindBuffer(target, 0);
    }
    EXPECT_EQ(resources::object_at<geometry::Mesh>(models, 2)->vertex_count, 0);
    geometry::mesh_release(mesh);
    resources::object_list_free(models);
}

} // namespace
