// bvtool textures: the demo document's procedural textures, generated as the player generates them,
// written out as one PNG per output node.
#include "tools/bvtool.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"

#include "maths/cosine_table.h"
#include "player/platform/platform.h"
#include "player/gl_window.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_definitions.h"
#include "textures/texture_graph.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tools {

int tool_textures(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool textures PKG OUTDIR\n"
                  "Generates the procedural textures of the package's demo document as the player does and\n"
                  "writes every output node's image as OUTDIR/NNN.png (NNN: its 1-based position in the\n"
                  "texture list, three digits). Needs a display for the OpenGL context the player uses.");
        return 0;
    }
    if (argc != 3) return tool_fail("textures: expected a package and a folder (see bvtool textures --help)");
    FILE *package = std::fopen(argv[1], "rb");
    if (!package) return tool_fail("textures: cannot open %s", argv[1]);
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "demo.xmlz", &status);
    std::fclose(package);
    if (!document)
        return tool_fail("textures: demo.xmlz is %s",
                         status == scene::DOCUMENT_MISSING ? "missing" : "damaged");
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    player::platform_binary_stream(stderr); // the log's line ends as they are
    resources::log_attach(stderr);

    // Output nodes create GL textures as they are read, so the player's context is needed.
    player::GlWindow win = {};
    ToolSceneOptions options = {argv[1], 64, 64, false, false, nullptr, nullptr};
    if (!tool_window_open("textures", options, &win)) {
        resources::xml_free(document);
        return kToolNoWindowStatus;
    }
    maths::cosine_table_build();
    scene::Scene *sc = scene::scene_create();
    textures::LayerTable *table =
        static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
    int status_code = 0;
    if (!sc || !table ||
        resources::xml_child_count(scene::scene_document_section(document, 1)) >
            static_cast<int32_t>(textures::kMaxTextureLayers)) {
        status_code =
            tool_fail("textures: the document has more than %u texture layers", textures::kMaxTextureLayers);
    } else {
        textures::texture_graph_load(sc->textures, table, scene::scene_document_section(document, 1),
                                     scene::scene_document_section(document, 2), &win.formats, nullptr,
                                     nullptr);
        int written = 0;
        for (uint32_t i = 1; i <= sc->textures->count; i++) {
            textures::ProceduralTexture *t =
                resources::object_at<textures::ProceduralTexture>(sc->textures, i);
            if (!t || t->type != textures::kOutputNodeType) continue;
            char name[16];
            std::snprintf(name, sizeof name, "%03u.png", i);
            std::string path = (std::filesystem::path(argv[2]) / name).string();
            // A node that was never generated (waiting on a cycle) is written black, as it shows.
            uint8_t *image =
                t->image ? t->image : static_cast<uint8_t *>(std::calloc(textures::kGraphImageBytes, 1));
            bool ok = image && tool_png_write(path.c_str(), 256, 256, 3, image, 256 * 3);
            if (image != t->image) std::free(image);
            if (!ok) {
                status_code = tool_fail("textures: cannot write %s", path.c_str());
                break;
            }
            written++;
        }
        if (status_code == 0) std::printf("%d output textures written\n", written);
        textures::texture_layers_release(table);
        textures::texture_graph_release_images(sc->textures);
    }
    std::free(table);
    scene::scene_release(sc);
    resources::xml_free(document);
    SDL_Quit();
    return status_code;
}

} // namespace tools
