// Builds a scene from section texts, through the same loader the player uses.
#pragma once

#include "render/capabilities.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_format.h"

#include <array>
#include <cstdio>
#include <string>

namespace gltest {

// Section numbers as the document orders them.
enum Section {
    S_LAYERS = 1, S_TEXTURES, S_MODELS, S_FUNCTIONS, S_LIGHTS, S_EFFECTS2D, S_BITMAPS, S_CUBEMAPS,
    S_FONTS, S_SLOTS, S_MATERIALS, S_MESH_EFFECTS, S_OBJECTS, S_TIMELINE, S_MUSIC
};

struct SceneText {
    std::array<std::string, 16> sections; // [1..15]: the inner XML of each section
    std::string document() const {
        std::string text = "<demo>\n";
        for (int i = 1; i <= 15; i++) text += "<s" + std::to_string(i) + ">" + sections[i] + "</s" + std::to_string(i) + ">\n";
        return text + "</demo>\n";
    }
};

inline render::Capabilities mesa_caps() { return render::Capabilities{1, 1, 1, 4, 1, 0, 1, 1}; }

// Builds the scene; package may be null when nothing reads entries.
inline scene::Scene *build_scene(const SceneText &text, int8_t glsl, render::Capabilities caps,
                                 FILE *package = nullptr) {
    static textures::TextureFormatTable formats = textures::texture_format_table_build(true);
    scene::Scene *sc = scene::scene_create();
    resources::XmlNode *doc = resources::xml_parse(text.document().c_str());
    scene::LoadContext ctx = {package, &formats, caps, glsl, nullptr, nullptr, nullptr};
    scene::scene_document_build(sc, doc, "test.xmlz", &ctx);
    resources::xml_free(doc);
    return sc;
}

} // namespace gltest
