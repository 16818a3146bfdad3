// Bitmap and cube-map decoding through the engine's own path (package entry, signature and size
// checks, decoder, premade mip levels, mip chain, upload): the input holds up to nine images
// separated by "--BV--": a bitmap, its premade levels 1 and 2, and six cube-map faces (a face
// that is not given repeats the bitmap).
#include "fuzz_support.h"

#include "resources/xml.h"
#include "textures/texture_definitions.h"
#include "textures/texture_format.h"

#include <cstring>
#include <string>
#include <vector>

#include "gl_null/gl_null.h"

using namespace textures;

static const char kSeparator[] = "--BV--";

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::fuzz_quiet_log();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::vector<uint8_t>> parts;
    size_t start = 0;
    while (parts.size() < 9) {
        const uint8_t *at = static_cast<const uint8_t *>(memmem(data + start, size - start, kSeparator, 6));
        size_t end = at ? size_t(at - data) : size;
        parts.emplace_back(data + start, data + end);
        if (!at) break;
        start = end + 6;
    }
    const char *names[9] = {"b.png",  "b_mm1.png", "b_mm2.png", "f0.jpg", "f1.jpg",
                            "f2.jpg", "f3.jpg",    "f4.jpg",    "f5.jpg"};
    std::vector<fuzz::FuzzEntry> entries;
    for (int i = 0; i < 9; i++)
        entries.push_back({names[i], i < int(parts.size()) ? parts[i] : parts[0]});
    std::vector<uint8_t> package = fuzz::fuzz_package(entries);
    FILE *f = fuzz::fuzz_memory_file(package.data(), package.size());
    TextureFormatTable formats = texture_format_table_build(true);

    resources::XmlNode *doc =
        resources::xml_parse("<d><b filename=\"b.png\" texture_format=\"1\" texture_filter=\"2\"/>"
                             "<c xp=\"f0.jpg\" xn=\"f1.jpg\" yp=\"f2.jpg\" yn=\"f3.jpg\" zp=\"f4.jpg\" "
                             "zn=\"f5.jpg\" texture_filter=\"1\"/></d>");
    resources::ObjectList *bitmaps = resources::object_list_create(sizeof(Bitmap));
    resources::ObjectList *cube_maps = resources::object_list_create(sizeof(CubeMap));
    bitmap_read(bitmaps, doc->first_child->first_child, f, &formats);
    cube_map_read(cube_maps, doc->first_child->first_child->next, f, &formats);
    for (uint32_t p = 1; p <= bitmaps->count; p++)
        bitmap_release(resources::object_at<Bitmap>(bitmaps, p));
    for (uint32_t p = 1; p <= cube_maps->count; p++)
        cube_map_release(resources::object_at<CubeMap>(cube_maps, p));
    resources::object_list_free(bitmaps);
    resources::object_list_free(cube_maps);
    resources::xml_free(doc);
    std::fclose(f);
    gl_null::gl_null_reset();
    return 0;
}
