#include "textures/texture_graph.h"

#include "resources/log.h"
#include "resources/xml.h"
#include "textures/texture_definitions.h"
#include "textures/texture_filters.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace textures {

using resources::object_at;
using resources::XmlNode;

void texture_layers_read(LayerTable *table, const XmlNode *section, RecordDone done, void *user) {
    for (const XmlNode *element = section ? section->first_child : nullptr; element;
         element = element->next) {
        if (table->count < kMaxTextureLayers) {
            TextureLayer *layer = &table->entries[table->count++];
            std::memset(layer, 0, sizeof *layer);
            layer->kind = resources::xml_attribute_int(element, "type");
            int i = 0;
            for (const XmlNode *p = element->first_child; p && i < kLayerParameters; p = p->next, i++)
                layer->params[i] = resources::xml_text_float(p);
            layer->image = static_cast<uint8_t *>(std::calloc(kGraphImageBytes, 1));
            if (layer->image) texture_generate(layer->kind, layer->params, layer->image, kGraphImageSize);
        }
        if (done) done(user);
    }
}

void texture_layers_release(LayerTable *table) {
    for (uint32_t i = 0; i < table->count; i++) {
        std::free(table->entries[i].image);
        table->entries[i].image = nullptr;
    }
    table->count = 0;
}

namespace {

struct Graph {
    resources::ObjectList *textures;
    const LayerTable *table;
    const TextureFormatTable *formats;
    const uint8_t *zero;      // an all-zero image for every absent input
    uint32_t *readers;        // per position: input slots naming the node whose nodes are not computed yet
    TextureGraphWatch *watch; // may be null
    uint32_t live, peak;      // node working images held now and at most
};

// The node at a texture-list position; null for 0 and for positions past the list (the reader
// counts are kept for positions 1..count only).
ProceduralTexture *node_at(const Graph &g, int32_t index) {
    return index > 0 && static_cast<uint32_t>(index) <= g.textures->count
               ? object_at<ProceduralTexture>(g.textures, static_cast<uint32_t>(index))
               : nullptr;
}

// Marks the descendants of a node as waiting; nodes already waiting were reached before.
void mark(const Graph &g, ProceduralTexture *node) {
    for (uint8_t i = 0; i < node->output_count; i++) {
        ProceduralTexture *o = node_at(g, node->outputs[i]);
        if (!o || o->pending == NODE_WAITING) continue;
        o->pending = NODE_WAITING;
        mark(g, o);
    }
}

// An input's image: only a computed node has one to give; anything else reads as zero.
const uint8_t *input_image(const Graph &g, int32_t index) {
    ProceduralTexture *in = node_at(g, index);
    return in && in->pending == NODE_COMPUTED && in->image ? in->image : g.zero;
}

bool input_ready(const Graph &g, int32_t index) {
    ProceduralTexture *in = node_at(g, index);
    return !in || in->pending == NODE_COMPUTED;
}

// Gives back a computed node's image once no reader is left; output nodes keep theirs.
void release_if_unread(Graph &g, int32_t index) {
    ProceduralTexture *node = node_at(g, index);
    if (!node || node->type == kOutputNodeType || node->pending != NODE_COMPUTED || !node->image ||
        g.readers[index] > 0)
        return;
    procedural_texture_release(node);
    g.live--;
}

// One reader of an input is done: the node that names it in one of its input slots.
void reader_done(Graph &g, int32_t index) {
    if (!node_at(g, index) || g.readers[index] == 0) return;
    g.readers[index]--;
    release_if_unread(g, index);
}

void generate_node(Graph &g, ProceduralTexture *node, uint32_t position) {
    if (!node->image) {
        node->image = static_cast<uint8_t *>(std::calloc(kGraphImageBytes, 1));
        if (node->image && ++g.live > g.peak) g.peak = g.live;
    }
    if (node->image) {
        const uint8_t *a = input_image(g, node->first_input);
        const uint8_t *b = input_image(g, node->second_input);
        if (node->type == kOutputNodeType) {
            procedural_output_upload(node, a, g.formats);
        } else {
            const uint8_t *l = g.zero;
            if (node->type <= 200 && texture_filter_row(node->type) >= 0) {
                if (node->layer_index >= 0 && static_cast<uint32_t>(node->layer_index) < g.table->count &&
                    g.table->entries[node->layer_index].image)
                    l = g.table->entries[node->layer_index].image;
                else
                    resources::log_format(
                        "Warning: procedural texture %u reads texture layer %d, which does not exist.\r\n",
                        position, node->layer_index);
            }
            texture_filter_apply(node->type, a, b, l, node->parameters, kGraphImageSize, node->image);
        }
    }
    node->pending = NODE_COMPUTED;
    if (g.watch && g.watch->computed) g.watch->computed(g.watch->user, position, node->image);
    // The inputs have one reader less; this node's own image goes at once when nothing reads it.
    reader_done(g, node->first_input);
    reader_done(g, node->second_input);
    release_if_unread(g, static_cast<int32_t>(position));
    for (uint8_t i = 0; i < node->output_count; i++) {
        ProceduralTexture *o = node_at(g, node->outputs[i]);
        // A node is computed once; a link back to one (a cycle) does not run it again.
        if (!o || o->pending == NODE_COMPUTED) continue;
        if (!input_ready(g, o->first_input) || !input_ready(g, o->second_input)) continue;
        o->pending = NODE_PENDING;
        generate_node(g, o, static_cast<uint32_t>(node->outputs[i]));
    }
}

} // namespace

void texture_graph_generate(resources::ObjectList *textures, const LayerTable *table,
                            const TextureFormatTable *formats, TextureGraphWatch *watch) {
    uint32_t n = textures->count;
    uint8_t *zero = static_cast<uint8_t *>(std::calloc(kGraphImageBytes, 1));
    uint32_t *readers = static_cast<uint32_t *>(std::calloc(size_t(n) + 1, sizeof(uint32_t)));
    if (!zero || !readers) {
        std::free(zero);
        std::free(readers);
        return;
    }
    Graph g = {textures, table, formats, zero, readers, watch, 0, 0};
    for (uint32_t i = 1; i <= n; i++) {
        ProceduralTexture *node = object_at<ProceduralTexture>(textures, i);
        if (!node) continue;
        if (node_at(g, node->first_input)) readers[node->first_input]++;
        if (node_at(g, node->second_input)) readers[node->second_input]++;
    }
    for (uint32_t i = 1; i <= n; i++) {
        ProceduralTexture *node = object_at<ProceduralTexture>(textures, i);
        if (node && node->pending == NODE_PENDING) mark(g, node);
    }
    bool generated = true;
    while (generated) {
        generated = false;
        for (uint32_t i = 1; i <= n; i++) {
            ProceduralTexture *node = object_at<ProceduralTexture>(textures, i);
            if (!node || node->pending != NODE_PENDING) continue;
            generate_node(g, node, i);
            generated = true;
        }
    }
    std::string left;
    for (uint32_t i = 1; i <= n; i++) {
        ProceduralTexture *node = object_at<ProceduralTexture>(textures, i);
        if (node && node->pending != NODE_COMPUTED) left += (left.empty() ? "" : ", ") + std::to_string(i);
    }
    if (!left.empty())
        resources::log_format(
            "Warning: procedural textures %s were not generated: they wait on a cycle or on an "
            "input that never finishes.\r\n",
            left.c_str());
    if (watch) {
        watch->live_images = g.live;
        watch->peak_live_images = g.peak;
    }
    std::free(zero);
    std::free(readers);
}

void texture_graph_release_images(resources::ObjectList *textures) {
    for (uint32_t i = 1; textures && i <= textures->count; i++) {
        ProceduralTexture *node = object_at<ProceduralTexture>(textures, i);
        if (node) procedural_texture_release(node);
    }
}

void texture_graph_load(resources::ObjectList *textures, LayerTable *table, const XmlNode *layer_section,
                        const XmlNode *node_section, const TextureFormatTable *formats, RecordDone done,
                        void *user, TextureGraphWatch *watch) {
    texture_layers_read(table, layer_section, done, user);
    for (const XmlNode *r = node_section ? node_section->first_child : nullptr; r; r = r->next) {
        procedural_texture_read(textures, r, formats);
        if (done) done(user);
    }
    texture_graph_generate(textures, table, formats, watch);
}

} // namespace textures
