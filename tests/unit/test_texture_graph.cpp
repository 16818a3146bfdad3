#include "resources/xml.h"
#include "textures/texture_definitions.h"
#include "textures/texture_format.h"
#include "textures/texture_graph.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace textures;

namespace {

// A graph from node texts (no output nodes, so no GL is needed) and colour layers.
struct Graph {
    resources::ObjectList *list = resources::object_list_create(sizeof(ProceduralTexture));
    LayerTable *table = static_cast<LayerTable *>(std::calloc(1, sizeof(LayerTable)));
    TextureFormatTable formats = texture_format_table_build(false);
    std::string log;

    Graph(const std::string &layers, const std::string &nodes) {
        resources::XmlNode *l = resources::xml_parse(("<l>" + layers + "</l>").c_str());
        resources::XmlNode *n = resources::xml_parse(("<n>" + nodes + "</n>").c_str());
        testutil::LogCapture capture;
        texture_graph_load(list, table, l->first_child, n->first_child, &formats, nullptr, nullptr);
        log = capture.text();
        resources::xml_free(l);
        resources::xml_free(n);
    }
    ~Graph() {
        texture_layers_release(table);
        std::free(table);
        texture_graph_release_images(list);
        resources::object_list_free(list);
    }
    ProceduralTexture *node(uint32_t i) { return resources::object_at<ProceduralTexture>(list, i); }
    int red(uint32_t i) { return node(i)->image ? node(i)->image[0] : -1; } // -1: never generated
};

std::string colour_layer(float r) { return "<layer type=\"0\"><p>" + std::to_string(r) + "</p><p>0</p><p>0</p></layer>"; }

// A layer operation node: first input, outputs, parameters.
std::string layer_node(int type, int layer, int input, std::vector<int> outputs, float p0, float p1) {
    std::string x = "<t type=\"" + std::to_string(type) + "\" layer_id=\"" + std::to_string(layer) + "\"><i>" +
                    std::to_string(input) + "</i>";
    for (int o : outputs) x += "<output>" + std::to_string(o) + "</output>";
    return x + "<p>" + std::to_string(p0) + "</p><p>" + std::to_string(p1) + "</p></t>";
}

std::string add2_node(int a, int b, std::vector<int> outputs) {
    std::string x = "<t type=\"207\"><i>" + std::to_string(a) + "</i><input>" + std::to_string(b) + "</input>";
    for (int o : outputs) x += "<output>" + std::to_string(o) + "</output>";
    return x + "<p>1</p><p>1</p></t>";
}

// Layers: 0 gives red 20, 1 gives red 40 (times 255: 0.0784..., 0.1568...).
const std::string kLayers = colour_layer(20.5f / 255) + colour_layer(40.5f / 255);

TEST(TextureGraph, LayerNodeWithoutInputIsItsLayer) {
    Graph g(kLayers, layer_node(101, 1, 0, {}, 0, 1));
    EXPECT_EQ(g.red(1), 40);
    EXPECT_EQ(g.node(1)->pending, NODE_COMPUTED);
    EXPECT_EQ(g.log, "");
}

TEST(TextureGraph, SharedConsumerWaitsForBothRoots) {
    // 1 and 2 are roots feeding 3 (Add 2); 3 is generated after the second root.
    Graph g(kLayers, layer_node(101, 0, 0, {3}, 0, 1) + layer_node(101, 1, 0, {3}, 0, 1) + add2_node(1, 2, {}));
    EXPECT_EQ(g.red(3), 60);
}

TEST(TextureGraph, ConsumersListedBeforeTheirInputs) {
    // 1 = 2 + 3 (Add 2), 2 = layer 0, 3 = layer 1 scaled by 2.
    Graph g(kLayers, add2_node(2, 3, {}) + layer_node(101, 0, 0, {1}, 0, 1) + layer_node(101, 1, 0, {1}, 0, 2));
    EXPECT_EQ(g.red(1), 20 + 2 * 40);
    // A chain listed backwards: 1 <- 2 <- 3.
    Graph chain(kLayers, layer_node(101, 0, 2, {}, 2, 0) + layer_node(101, 0, 3, {1}, 1, 0) +
                             layer_node(101, 1, 0, {2}, 0, 1));
    EXPECT_EQ(chain.red(3), 40);
    EXPECT_EQ(chain.red(2), 40);
    EXPECT_EQ(chain.red(1), 80);
}

TEST(TextureGraph, ConsumerMissingFromAnInputsOutputsWaits) {
    // 3 takes 1 and 2, but only 1 lists it. 1 finishes first, so 3 never runs.
    Graph first(kLayers, layer_node(101, 0, 0, {3}, 0, 1) + layer_node(101, 1, 0, {}, 0, 1) + add2_node(1, 2, {}));
    EXPECT_EQ(first.red(3), -1);
    EXPECT_EQ(first.log, "Warning: procedural textures 3 were not generated: they wait on a cycle or on an input "
                         "that never finishes.\r\n");
    // Listed the other way round, 1 finishes last and releases 3.
    Graph last(kLayers, layer_node(101, 1, 0, {}, 0, 1) + layer_node(101, 0, 0, {3}, 0, 1) + add2_node(2, 1, {}));
    EXPECT_EQ(last.red(3), 60);
}

TEST(TextureGraph, CyclesStayUncomputedWithoutHanging) {
    // 1 <-> 2, fed by nothing else; 3 is an innocent bystander.
    Graph g(kLayers, layer_node(101, 0, 2, {2}, 1, 1) + layer_node(101, 0, 1, {1}, 1, 1) + layer_node(101, 1, 0, {}, 0, 1));
    EXPECT_EQ(g.red(1), -1);
    EXPECT_EQ(g.red(2), -1);
    EXPECT_EQ(g.red(3), 40);
    EXPECT_NE(g.log.find("procedural textures 1, 2 were not generated"), std::string::npos);
    // A cycle hanging off a computed root whose links disagree: each node is still computed once.
    Graph loop(kLayers, layer_node(101, 0, 0, {2}, 0, 1) + layer_node(101, 0, 1, {3}, 1, 0) +
                            layer_node(101, 0, 2, {2}, 1, 0));
    EXPECT_EQ(loop.red(3), 20);
}

TEST(TextureGraph, BadIndexesReadAsNothing) {
    // Layer 7 does not exist; input 99 is outside the list; output 0 and 50 name nothing.
    Graph g(kLayers, layer_node(101, 7, 99, {0, 50}, 1, 1));
    EXPECT_EQ(g.red(1), 0);
    EXPECT_EQ(g.log, "Warning: procedural texture 1 reads texture layer 7, which does not exist.\r\n");
}

} // namespace
