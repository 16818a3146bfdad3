// The texture generation graph: texture layers drawn by generators (section 1) and the nodes of
// section 2, computed once in dependency order; output nodes become GL textures.
#pragma once

#include "resources/object_list.h"
#include "textures/texture_generators.h"

#include <cstdint>

namespace resources {
struct XmlNode;
}

namespace textures {

struct TextureFormatTable;
struct ProceduralTexture;

constexpr uint32_t kMaxTextureLayers = 248;

struct TextureLayer {
    int32_t kind;
    float params[kLayerParameters];
    uint8_t *image; // 256 x 256 RGB
};

// Belongs to one load: exists from section 1 until the graph of section 2 has been generated.
struct LayerTable {
    TextureLayer entries[kMaxTextureLayers];
    uint32_t count;
};

// Called after each record that counts towards the loading progress.
using RecordDone = void (*)(void *user);

// Optional watch over a graph's generation (tools and tests): a call for each node right after it
// is computed, with its image (null when it could not be allocated), and the count of node working
// images held, now and at most at once.
struct TextureGraphWatch {
    void (*computed)(void *user, uint32_t position, const uint8_t *image);
    void *user;
    uint32_t live_images;
    uint32_t peak_live_images;
};

// Reads section 1 into the table, drawing each layer. The caller checks the 248-layer limit first.
void texture_layers_read(LayerTable *table, const resources::XmlNode *section, RecordDone done, void *user);
void texture_layers_release(LayerTable *table);

// Reads section 1 and section 2 and generates every pending node; the layer table and the working
// images stay for the caller, who releases them (texture_layers_release, texture_graph_release_images).
void texture_graph_load(resources::ObjectList *textures, LayerTable *table,
                        const resources::XmlNode *layer_section, const resources::XmlNode *node_section,
                        const TextureFormatTable *formats, RecordDone done, void *user,
                        TextureGraphWatch *watch = nullptr);

// Generate all pending: marks the descendants of pending nodes as waiting (a visited set keeps
// cycles from looping), then generates pending nodes in list order; each generated node releases
// the outputs whose inputs are all computed. Nodes left uncomputed are reported in one log line.
// A working image is given back as soon as every node that reads it has been computed (at once
// for a node that nothing reads), so memory follows the images still needed, not the node count;
// output nodes keep theirs (the uploaded copy) until texture_graph_release_images.
void texture_graph_generate(resources::ObjectList *textures, const LayerTable *table,
                            const TextureFormatTable *formats, TextureGraphWatch *watch = nullptr);

// Frees every node's working image that is left (GL textures remain).
void texture_graph_release_images(resources::ObjectList *textures);

} // namespace textures
