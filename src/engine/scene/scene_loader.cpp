#include "scene/scene_loader.h"

#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "geometry/mesh_effect.h"
#include "geometry/model.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/log.h"
#include "resources/packed.h"
#include "resources/xml.h"
#include "scene/load_progress.h"
#include "scene/scene.h"
#include "textures/texture_definitions.h"
#include "textures/texture_graph.h"

#include <cstdlib>

namespace scene {

using resources::XmlNode;

XmlNode *scene_document_read(FILE *package, const char *entry_name, DocumentStatus *status) {
    uint32_t length = 0;
    resources::PackedStatus packed_status;
    uint8_t *text = resources::packed_read_entry(package, entry_name, &length, &packed_status);
    if (!text) {
        *status = packed_status == resources::PACKED_MISSING ? DOCUMENT_MISSING : DOCUMENT_DAMAGED;
        return nullptr;
    }
    XmlNode *document = resources::xml_parse(reinterpret_cast<const char *>(text));
    std::free(text);
    *status = document ? DOCUMENT_OK : DOCUMENT_DAMAGED;
    return document;
}

static const XmlNode *top_element(const XmlNode *document) { return document ? document->first_child : nullptr; }

const XmlNode *scene_document_section(const XmlNode *document, int number) {
    const XmlNode *top = top_element(document);
    const XmlNode *section = top ? top->first_child : nullptr;
    for (int i = 1; section && i < number; i++) section = section->next;
    return number >= 1 ? section : nullptr;
}

int scene_document_section_count(const XmlNode *document) {
    return resources::xml_child_count(top_element(document));
}

uint32_t scene_document_count_records(const XmlNode *document) {
    const XmlNode *top = top_element(document);
    uint32_t total = 0;
    for (const XmlNode *section = top ? top->first_child : nullptr; section; section = section->next)
        total += static_cast<uint32_t>(resources::xml_child_count(section));
    return total;
}

// A section whose reader does not exist yet: its records only count towards the progress.
static void section_count_only(const XmlNode *section, LoadContext *ctx) {
    for (const XmlNode *record = section->first_child; record; record = record->next)
        load_progress_step(ctx->progress);
}

// Reads every record of a section with one reader, counting each towards the progress.
template <typename Reader> static void section_read(const XmlNode *section, LoadContext *ctx, Reader read) {
    for (const XmlNode *record = section->first_child; record; record = record->next) {
        read(record);
        load_progress_step(ctx->progress);
    }
}

static void stage_done(LoadContext *ctx, LoadStage stage) {
    if (ctx->stage_done) ctx->stage_done(ctx->stage_user, stage);
}

// The stage each section's work belongs to (sections 1 and 2 report their own).
static LoadStage stage_of_section(int number) {
    switch (number) {
    case 3: return LOAD_STAGE_MODELS;
    case 7: return LOAD_STAGE_BITMAPS;
    case 8: return LOAD_STAGE_CUBE_MAPS;
    case 11: return LOAD_STAGE_MATERIALS;
    default: return LOAD_STAGE_OTHER;
    }
}

// Progress for the records of section 2's load: the layer records come first, so the stage hook
// learns when the last of them is done.
struct GraphProgress {
    LoadContext *ctx;
    uint32_t layers_left;
};

static void graph_record_done(void *user) {
    GraphProgress *g = static_cast<GraphProgress *>(user);
    load_progress_step(g->ctx->progress);
    if (g->layers_left > 0 && --g->layers_left == 0) stage_done(g->ctx, LOAD_STAGE_TEXTURE_LAYERS);
}

DocumentStatus scene_document_build(Scene *sc, const XmlNode *document, const char *entry_name, LoadContext *ctx) {
    // A scene that could not be made (memory, or the documents' budget spent) receives nothing.
    if (!sc) {
        resources::log_format("Error: no memory is left for %s.\r\n", entry_name);
        return DOCUMENT_MALFORMED;
    }
    int sections = scene_document_section_count(document);
    if (sections < kRequiredSections) {
        resources::log_format("Error: %s has %d sections, %d are needed.\r\n", entry_name, sections,
                              kRequiredSections);
        return DOCUMENT_MALFORMED;
    }
    int32_t layers = resources::xml_child_count(scene_document_section(document, 1));
    if (layers > static_cast<int32_t>(textures::kMaxTextureLayers)) {
        resources::log_format("Error: %s has %d texture layers, at most %u are allowed.\r\n", entry_name, layers,
                              textures::kMaxTextureLayers);
        return DOCUMENT_MALFORMED;
    }
    if (ctx->progress) load_progress_begin(ctx->progress, scene_document_count_records(document));
    const XmlNode *section = scene_document_section(document, 1);
    for (int number = 1; number <= kRequiredSections; number++, section = section->next) {
        switch (number) {
        case 1:
            break; // read with section 2: the layers live only until the graph is generated
        case 2: {
            textures::LayerTable *table = static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
            if (!table) return DOCUMENT_MALFORMED;
            GraphProgress graph = {ctx, static_cast<uint32_t>(layers)};
            if (layers == 0) stage_done(ctx, LOAD_STAGE_TEXTURE_LAYERS);
            textures::texture_graph_load(sc->textures, table, scene_document_section(document, 1), section,
                                         ctx->formats, graph_record_done, &graph);
            textures::texture_layers_release(table);
            std::free(table);
            textures::texture_graph_release_images(sc->textures);
            stage_done(ctx, LOAD_STAGE_TEXTURE_GRAPH);
            break;
        }
        case 3:
            section_read(section, ctx, [&](const XmlNode *r) {
                geometry::model_read(sc->models, r, ctx->package, ctx->caps.vbo != 0);
            });
            break;
        case 4:
            section_read(section, ctx, [&](const XmlNode *r) { functions::function_read(sc->functions, r); });
            break;
        case 5:
            section_read(section, ctx, [&](const XmlNode *r) { render::light_read(sc->lights, r); });
            break;
        case 6:
            section_read(section, ctx, [&](const XmlNode *r) {
                uint32_t slot = geometry::effect2d_read(sc->effects2d, r);
                geometry::Effect2D *e = slot ? static_cast<geometry::Effect2D *>(sc->effects2d->record[slot - 1]) : nullptr;
                if (e) geometry::effect2d_upload_create(e, sc->functions, ctx->formats, ctx->caps.pbo != 0);
            });
            break;
        case 7:
            section_read(section, ctx, [&](const XmlNode *r) {
                textures::bitmap_read(sc->bitmaps, r, ctx->package, ctx->formats);
            });
            break;
        case 8:
            section_read(section, ctx, [&](const XmlNode *r) {
                textures::cube_map_read(sc->cube_maps, r, ctx->package, ctx->formats);
            });
            break;
        case 9:
            section_read(section, ctx, [&](const XmlNode *r) { geometry::font_read(sc->fonts, r); });
            break;
        case 10:
            section_read(section, ctx, [&](const XmlNode *r) { render::texture_slot_read(sc->texture_slots, r); });
            break;
        case 11:
            section_read(section, ctx, [&](const XmlNode *r) { render::material_read(sc, r, ctx->glsl, ctx->caps); });
            break;
        case 12:
            section_read(section, ctx, [&](const XmlNode *r) { geometry::mesh_effect_read(sc->mesh_effects, r); });
            break;
        case 13:
            section_read(section, ctx, [&](const XmlNode *r) { render::scene_object_read(sc->objects, r); });
            break;
        case 14:
            render::layer_section_read(sc, section, [](void *p) { load_progress_step(static_cast<LoadProgress *>(p)); },
                                       ctx->progress);
            break;
        default:
            section_count_only(section, ctx);
            break;
        }
        if (number > 2) stage_done(ctx, stage_of_section(number));
    }
    return DOCUMENT_OK;
}

} // namespace scene
