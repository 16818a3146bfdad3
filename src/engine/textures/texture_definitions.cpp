#include "textures/texture_definitions.h"

#include "resources/log.h"
#include "resources/memory_budget.h"
#include "resources/package.h"
#include "resources/xml.h"
#include "textures/image_file.h"
#include "textures/mipmap.h"
#include "textures/texture_format.h"

#include <GL/glew.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace textures {

using resources::XmlNode;

void texture_apply_filter(uint8_t filter) {
    switch (filter) {
    case FILTER_NEAREST:
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        break;
    case FILTER_LINEAR:
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        break;
    case FILTER_MIPMAP:
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Procedural textures

bool procedural_texture_parse(ProceduralTexture *t, const XmlNode *element) {
    t->type = static_cast<uint8_t>(resources::xml_attribute_int(element, "type"));
    const char *name = resources::xml_attribute(element, "name");
    if (name) std::strncpy(t->name, name, sizeof t->name - 1);
    t->texture_format = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_format"));
    t->texture_filter = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_filter"));
    t->pending = NODE_PENDING;
    const XmlNode *child = element->first_child;
    t->first_input = child ? resources::xml_text_int(child) : 0;
    if (child) child = child->next;
    // An output node reads nothing more.
    if (t->type == kOutputNodeType) {
        t->layer_index = 0;
        return false;
    }
    t->layer_index = t->type <= 200 ? resources::xml_attribute_int(element, "layer_id") : 0;
    if (child && resources::xml_name_is(child, kNodeSecondInputName)) {
        t->second_input = resources::xml_text_int(child);
        child = child->next;
    }
    bool outputs_cut = false;
    for (; child && resources::xml_name_is(child, kNodeOutputName); child = child->next) {
        if (t->output_count == kNodeOutputs) {
            outputs_cut = true;
            continue;
        }
        t->outputs[t->output_count++] = resources::xml_text_int(child);
    }
    int p = 0;
    for (; child; child = child->next, p++)
        if (p < kNodeParameters) t->parameters[p] = resources::xml_text_float(child);
    return outputs_cut || p > kNodeParameters;
}

uint32_t procedural_texture_read(resources::ObjectList *textures, const XmlNode *element,
                                 const TextureFormatTable *formats) {
    uint32_t slot = resources::object_list_add(textures);
    if (!slot) return 0;
    ProceduralTexture *t = static_cast<ProceduralTexture *>(textures->record[slot - 1]);
    if (procedural_texture_parse(t, element))
        resources::log_format(
            "Warning: procedural texture %u has more outputs or parameters than it can hold.\r\n",
            textures->position[slot - 1]);
    if (t->type != kOutputNodeType) return slot;
    // An output node's GL texture is made at once; its image counts against the memory a document
    // may use (a mip chain adds a third).
    uint64_t bytes = t->texture_filter == FILTER_MIPMAP ? kGraphImageBytes * 4 / 3 : kGraphImageBytes;
    if (!resources::memory_budget_take(bytes)) return slot;
    glGenTextures(1, &t->gl_texture);
    glBindTexture(GL_TEXTURE_2D, t->gl_texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(texture_format_internal(formats, t->texture_format)),
                 kGraphImageSize, kGraphImageSize, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    texture_apply_filter(t->texture_filter);
    return slot;
}

void procedural_output_upload(ProceduralTexture *node, const uint8_t *input_image,
                              const TextureFormatTable *formats) {
    if (!node->image) node->image = static_cast<uint8_t *>(std::calloc(kGraphImageBytes, 1));
    if (!node->image) return;
    if (input_image)
        std::memcpy(node->image, input_image, kGraphImageBytes);
    else
        std::memset(node->image, 0, kGraphImageBytes);
    // An output the memory budget left without a texture has nothing to fill.
    if (!node->gl_texture) return;
    uint32_t internal = texture_format_internal(formats, node->texture_format);
    glBindTexture(GL_TEXTURE_2D, node->gl_texture);
    texture_upload_level(0, internal, kGraphImageSize, kGraphImageSize, 3, node->image);
    if (node->texture_filter == FILTER_MIPMAP)
        mipmap_build_and_upload(node->image, kGraphImageSize, kGraphImageSize, 3, internal, MipLevel{},
                                MipLevel{});
}

void procedural_texture_release(ProceduralTexture *t) {
    std::free(t->image);
    t->image = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Bitmaps and cube maps

// Decodes a PNG or JPEG entry. wanted_channels 0 keeps the image's own count. Null when the entry
// is missing (IMAGE_MISSING) or cannot be used (the report says why); pixels may come with a
// report of damage the decoder got through.
static uint8_t *decode_entry(FILE *package, const char *name, int wanted_channels, int32_t *w, int32_t *h,
                             int32_t *channels, ImageReport *report) {
    report->status = IMAGE_MISSING;
    report->detail[0] = 0;
    uint32_t size = 0;
    uint8_t *entry = resources::package_read_entry(package, name, &size);
    if (!entry) return nullptr;
    uint8_t *pixels = image_file_decode(entry, size, wanted_channels, w, h, channels, report);
    std::free(entry);
    return pixels;
}

void bitmap_level_name(const char *name, int level, char *out, uint32_t out_size) {
    size_t len = std::strlen(name);
    size_t cut = len >= 4 ? len - 4 : 0;
    std::snprintf(out, out_size, "%.*s_mm%d%s", static_cast<int>(cut), name, level, name + cut);
}

// Looks up a premade level; keeps it only when it has exactly the expected size.
static uint8_t *premade_level(FILE *package, const char *name, int level, int32_t want_w, int32_t want_h,
                              int channels) {
    char level_name[512];
    bitmap_level_name(name, level, level_name, sizeof level_name);
    int32_t w = 0, h = 0, n = 0;
    ImageReport report;
    // Decoded to the base image's channel count so the chain can use it as it is.
    uint8_t *pixels = decode_entry(package, level_name, channels, &w, &h, &n, &report);
    image_file_log("mip level", level_name, &report, true);
    if (pixels && (w != want_w || h != want_h)) {
        image_file_free(pixels);
        pixels = nullptr;
    }
    return pixels;
}

uint32_t bitmap_read(resources::ObjectList *bitmaps, const XmlNode *element, FILE *package,
                     const TextureFormatTable *formats) {
    uint32_t slot = resources::object_list_add(bitmaps);
    if (!slot) return 0;
    Bitmap *b = static_cast<Bitmap *>(bitmaps->record[slot - 1]);
    b->texture_format = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_format"));
    b->texture_filter = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_filter"));
    glGenTextures(1, &b->gl_texture);
    const char *name = resources::xml_attribute(element, "filename");
    ImageReport report = {IMAGE_MISSING, ""};
    uint8_t *pixels =
        name ? decode_entry(package, name, 0, &b->width, &b->height, &b->channels, &report) : nullptr;
    image_file_log("bitmap", name ? name : "(no filename)", &report, false);
    if (!pixels) {
        b->width = b->height = b->channels = 0;
        return slot;
    }
    uint64_t gl_bytes = uint64_t(b->width) * b->height * b->channels;
    if (b->texture_filter == FILTER_MIPMAP) gl_bytes = gl_bytes * 4 / 3;
    if (!resources::memory_budget_take(gl_bytes)) {
        image_file_free(pixels);
        b->width = b->height = b->channels = 0;
        return slot;
    }
    b->level1 = premade_level(package, name, 1, b->width / 2, b->height / 2, b->channels);
    b->level2 = premade_level(package, name, 2, b->width / 4, b->height / 4, b->channels);

    uint32_t internal = texture_format_internal(formats, b->texture_format);
    glBindTexture(GL_TEXTURE_2D, b->gl_texture);
    texture_upload_level(0, internal, b->width, b->height, b->channels, pixels);
    texture_apply_filter(b->texture_filter);
    if (b->texture_filter == FILTER_MIPMAP)
        mipmap_build_and_upload(pixels, b->width, b->height, b->channels, internal,
                                MipLevel{b->width / 2, b->height / 2, b->level1},
                                MipLevel{b->width / 4, b->height / 4, b->level2});
    // The decoded images are not needed once GL has them.
    image_file_free(pixels);
    image_file_free(b->level1);
    image_file_free(b->level2);
    b->pixels = b->level1 = b->level2 = nullptr;
    return slot;
}

void bitmap_release(Bitmap *b) {
    std::free(b->pixels);
    b->pixels = nullptr;
}

static const char *const kFaceAttributes[6] = {"xp", "xn", "yp", "yn", "zp", "zn"};

uint32_t cube_map_read(resources::ObjectList *cube_maps, const XmlNode *element, FILE *package,
                       const TextureFormatTable *formats) {
    uint32_t slot = resources::object_list_add(cube_maps);
    if (!slot) return 0;
    CubeMap *c = static_cast<CubeMap *>(cube_maps->record[slot - 1]);
    glGenTextures(1, &c->gl_texture);
    const char *names[6];
    int32_t counts[6];
    bool complete = true, same_size = true;
    for (int f = 0; f < 6; f++) {
        names[f] = resources::xml_attribute(element, kFaceAttributes[f]);
        counts[f] = 0;
        if (!names[f] || !names[f][0]) {
            complete = false;
            continue;
        }
        int32_t w = 0, h = 0;
        ImageReport report;
        c->faces[f].pixels = decode_entry(package, names[f], 0, &w, &h, &counts[f], &report);
        c->faces[f].size = 0;
        image_file_log("cube map face", names[f], &report, false);
        if (!c->faces[f].pixels) {
            complete = false;
            continue;
        }
        if (c->width > 0 && (w != c->width || h != c->height)) same_size = false;
        c->width = w;
        c->height = h;
        c->channels = counts[f];
    }
    c->texture_format = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_format"));
    c->texture_filter = static_cast<uint8_t>(resources::xml_attribute_int(element, "texture_filter"));
    if (complete && !same_size)
        resources::log_format("Error: the faces of cube map %u differ in size; it stays empty.\r\n",
                              cube_maps->position[slot - 1]);
    if (complete && same_size) {
        // Faces that differ only in channels (a greyscale JPEG among colour faces) are decoded
        // again to the count that keeps every face's colour and alpha.
        c->channels = image_file_common_channels(counts, 6);
        for (int f = 0; f < 6 && complete; f++) {
            if (counts[f] == c->channels) continue;
            image_file_free(c->faces[f].pixels);
            int32_t w = 0, h = 0, n = 0;
            ImageReport report; // logged at the first decode
            c->faces[f].pixels = decode_entry(package, names[f], c->channels, &w, &h, &n, &report);
            complete = c->faces[f].pixels && w == c->width && h == c->height;
        }
    }
    if (complete && same_size && c->width > 0 &&
        !resources::memory_budget_take(6ull * uint64_t(c->width) * c->height * c->channels))
        complete = false; // the budget logged it; the cube map stays empty
    if (complete && same_size && c->width > 0) {
        GLint internal = static_cast<GLint>(texture_format_internal(formats, c->texture_format));
        GLenum format = texture_pixel_format(c->channels);
        int alignment = texture_unpack_alignment(c->width, c->channels);
        glBindTexture(GL_TEXTURE_CUBE_MAP, c->gl_texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        for (int f = 0; f < 6; f++)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, internal, c->width, c->height, 0, format,
                         GL_UNSIGNED_BYTE, c->faces[f].pixels);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        GLint filter = c->texture_filter == FILTER_NEAREST ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, filter);
    }
    for (CubeFace &face : c->faces) {
        image_file_free(face.pixels);
        face.pixels = nullptr;
    }
    return slot;
}

void cube_map_release(CubeMap *c) {
    for (CubeFace &face : c->faces) {
        std::free(face.pixels);
        face.pixels = nullptr;
    }
}

} // namespace textures
