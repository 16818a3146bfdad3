// The files a document names, decoded as the loaders decode them: models, bitmaps and their mip
// levels, cube-map faces.
#include "analysis/rules.h"

#include "geometry/model.h"
#include "render/layer.h"
#include "resources/object_list.h"
#include "resources/packed.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "textures/image_file.h"
#include "textures/texture_definitions.h"

#include <cstdlib>
#include <cstring>

namespace analysis {

using resources::xml_attribute;

namespace {

bool read_named(CheckContext &c, const char *name, std::vector<uint8_t> *out) {
    return c.host->read && c.host->read(c.host->user, name, out);
}

const char *container(const CheckContext &c) {
    return c.host->container ? c.host->container : "folder";
}

// Decodes an entry with the image decoder; reports what it said. Null when there is no image.
uint8_t *decode_image(CheckContext &c, Where at, const std::string &who, const char *name, int32_t *w,
                      int32_t *h, bool optional) {
    std::vector<uint8_t> raw;
    if (!read_named(c, name, &raw)) {
        if (!optional) flag(c, at, "%s: %s is not in the %s", who.c_str(), name, container(c));
        return nullptr;
    }
    int32_t channels = 0;
    textures::ImageReport report;
    uint8_t *pixels = textures::image_file_decode(raw.data(), static_cast<uint32_t>(raw.size()), 0, w, h,
                                                  &channels, &report);
    if (report.status != textures::IMAGE_OK)
        flag(c, at, "%s: %s %s%s%s", who.c_str(), name,
             pixels ? "is damaged" : textures::image_file_problem(report.status),
             report.detail[0] ? ": " : "", report.detail);
    return pixels;
}

} // namespace

void rules_model_files(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[3]->first_child; el; el = el->next, position++) {
        const char *name = xml_attribute(el, "filename");
        if (!name) continue;
        Where at(el, "filename");
        std::vector<uint8_t> raw;
        if (!read_named(c, name, &raw)) {
            flag(c, at, "model %d: %s is not in the %s", position, name, container(c));
            continue;
        }
        uint32_t length = 0;
        resources::PackedStatus status;
        uint8_t *block =
            resources::packed_inflate(raw.data(), static_cast<uint32_t>(raw.size()), &length, &status);
        if (!block) {
            flag(c, at,
                 "model %d: %s does not inflate to its stated length (not a model file from bvtool model?)",
                 position, name);
            continue;
        }
        // The loader's own reading, and then what it made of the file.
        uint16_t n = length >= 2 ? uint16_t(block[0] | block[1] << 8) : 0;
        uint8_t sets = length >= 3 ? block[2] : 0;
        geometry::Mesh mesh;
        uint8_t *copy = static_cast<uint8_t *>(std::malloc(length ? length : 1));
        if (copy) std::memcpy(copy, block, length);
        bool ok = copy && geometry::mesh_from_model_file(&mesh, copy, length, name);
        if (!ok) {
            std::free(copy);
            if (length < 4 || sets < 1 || sets > 3)
                flag(c, at, "model %d: %s has a bad header (%u texture coordinate sets): it stays empty",
                     position, name, sets);
            else
                flag(c, at, "model %d: %s is shorter than its %u vertices need: it stays empty", position,
                     name, n);
        } else {
            uint64_t arrays = 4 + 24ull * n + 8ull * n * sets;
            uint32_t given = static_cast<uint32_t>((length - arrays) / 2 / 3 * 3);
            if (mesh.index_count < given)
                flag(c, at, "model %d: %s: %u triangles name vertices it does not have; they are dropped",
                     position, name, (given - mesh.index_count) / 3);
            geometry::mesh_release(&mesh);
        }
        std::free(block);
    }
}

void rules_image_files(CheckContext &c) {
    static const char *const kFaces[6] = {"xp", "xn", "yp", "yn", "zp", "zn"};
    std::vector<std::pair<int32_t, int32_t>> sizes(size_t(c.count[LIST_BITMAPS]) + 1, {0, 0});
    int position = 1;
    for (const XmlNode *el = c.src->section[7]->first_child; el; el = el->next, position++) {
        const char *name = xml_attribute(el, "filename");
        if (!name) continue;
        std::string who = format("bitmap %d", position);
        Where at(el, "filename");
        int32_t w = 0, h = 0;
        uint8_t *pixels = decode_image(c, at, who, name, &w, &h, false);
        if (!pixels) continue;
        textures::image_file_free(pixels);
        if (size_t(position) < sizes.size()) sizes[size_t(position)] = {w, h};
        for (int level = 1; level <= 2; level++) {
            char level_name[512];
            textures::bitmap_level_name(name, level, level_name, sizeof level_name);
            int32_t lw = 0, lh = 0;
            uint8_t *lp = decode_image(c, at, who, level_name, &lw, &lh, true);
            if (!lp) continue;
            textures::image_file_free(lp);
            int32_t want_w = w >> level, want_h = h >> level;
            if (lw != want_w || lh != want_h)
                flag(c, at,
                     "%s: %s is %d x %d, but mip level %d of a %d x %d image is %d x %d: it is not used",
                     who.c_str(), level_name, lw, lh, level, w, h, want_w, want_h);
        }
    }
    position = 1;
    for (const XmlNode *el = c.src->section[8]->first_child; el; el = el->next, position++) {
        std::string who = format("cube map %d", position);
        int32_t size_w = -1, size_h = -1;
        bool same = true;
        for (const char *face : kFaces) {
            const char *name = xml_attribute(el, face);
            if (!name || !name[0]) continue;
            int32_t w = 0, h = 0;
            uint8_t *pixels = decode_image(c, Where(el, face), who, name, &w, &h, false);
            if (!pixels) continue;
            textures::image_file_free(pixels);
            if (w != h)
                flag(c, Where(el, face), "%s: face %s (%s) is %d x %d: cube faces must be square",
                     who.c_str(), face, name, w, h);
            if (size_w >= 0 && (w != size_w || h != size_h)) same = false;
            size_w = w;
            size_h = h;
        }
        if (!same) flag(c, el, "%s: the faces differ in size: the cube map stays empty", who.c_str());
    }
    // A cube atlas draws cells whose sides the power-of-two rule gives for a third of the width and
    // a half of the height; other sizes leave part of the texture undrawn.
    int s = 0;
    for (const XmlNode *slot_el = c.src->section[14]->first_child; slot_el && s < render::kLayerSlotCount;
         slot_el = slot_el->next, s++) {
        int n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer =
                resources::short_at<render::Layer>(c.sc->slots[s].layers, uint32_t(n));
            if (!layer || layer->type != render::MODE_CUBE_ATLAS || !layer->rtex ||
                layer->rtex >= sizes.size())
                continue;
            int32_t w = sizes[layer->rtex].first, h = sizes[layer->rtex].second;
            int32_t cw = render::layer_power_of_two(w / 3), ch = render::layer_power_of_two(h / 2);
            if (w && (3 * cw != w || 2 * ch != h))
                flag(c, Where(el, "rtex"),
                     "slot %d layer %d: bitmap %u is %d x %d, but its atlas cells are %d x %d: they cover %d "
                     "x %d of it",
                     s, n, layer->rtex, w, h, cw, ch, 3 * cw, 2 * ch);
        }
    }
}

} // namespace analysis
