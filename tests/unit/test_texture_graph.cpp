#include "resources/xml.h"
#include "textures/texture_definitions.h"
#include "textures/texture_format.h"
#include "textures/texture_graph.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace textures;

namespace {

// A graph from node texts (no output nodes, so no GL is needed) and colour layers. Working images
// are given back as generation goes, so each node's first byte is recorded as it is computed.
struct Graph {
    resources::ObjectList *list = resources::object_list_create(sizeof(ProceduralTexture));
    LayerTable *table = static_cast<LayerTable *>(std::calloc(1, sizeof(LayerTable)));
    TextureFormatTable formats = texture_format_table_build(false);
    std::string log;
    std::map<uint32_t, int> first_byte;
    TextureGraphWatch watch = {record, this, 0, 0};

    static void record(void *user, uint32_t position, const uint8_t *image) {
        static_cast<Graph *>(user)->first_byte[position] = image ? image[0] : -2;
    }

    Graph(const std::string &layers, const std::string &nodes) {
        resources::XmlNode *l = resources::xml_parse(("<l>" + layers + "</l>").c_str());
        resources::XmlNode *n = resources::xml_parse(("<n>" + nodes + "</n>").c_str());
        testutil::LogCapture capture;
        texture_graph_load(list, table, l->first_child, n->first_child, &formats, nullptr, nullptr, &watch);
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
    int red(uint32_t i) { return first_byte.count(i) ? first_byte[i] : -1; } // -1: never generated
};

std::string colour_layer(float r) {
    return "<layer type=\"0\"><p>" + std::to_string(r) + "</p><p>0</p><p>0</p></layer>";
}

// A layer operation node: first input, outputs, parameters.
std::string layer_node(int type, int layer, int input, std::vector<int> outputs, float p0, float p1) {
    std::string x = "<t type=\"" + std::to_string(type) + "\" layer_id=\"" + std::to_string(layer) +
                    "\"><i>" + std::to_string(input) + "</i>";
    for (int o : outputs)
        x += "<output>" + std::to_string(o) + "</output>";
    return x + "<p>" + std::to_string(p0) + "</p><p>" + std::to_string(p1) + "</p></t>";
}

std::string add2_node(int a, int b, std::vector<int> outputs) {
    std::string x =
        "<t type=\"207\"><i>" + std::to_string(a) + "</i><input>" + std::to_string(b) + "</input>";
    for (int o : outputs)
        x += "<output>" + std::to_string(o) + "</output>";
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
    Graph g(kLayers,
            layer_node(101, 0, 0, {3}, 0, 1) + layer_node(101, 1, 0, {3}, 0, 1) + add2_node(1, 2, {}));
    EXPECT_EQ(g.red(3), 60);
}

TEST(TextureGraph, ConsumersListedBeforeTheirInputs) {
    // 1 = 2 + 3 (Add 2), 2 = layer 0, 3 = layer 1 scaled by 2.
    Graph g(kLayers,
            add2_node(2, 3, {}) + layer_node(101, 0, 0, {1}, 0, 1) + layer_node(101, 1, 0, {1}, 0, 2));
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
    Graph first(kLayers,
                layer_node(101, 0, 0, {3}, 0, 1) + layer_node(101, 1, 0, {}, 0, 1) + add2_node(1, 2, {}));
    EXPECT_EQ(first.red(3), -1);
    EXPECT_EQ(first.log,
              "Warning: procedural textures 3 were not generated: they wait on a cycle or on an input "
              "that never finishes.\r\n");
    // Listed the other way round, 1 finishes last and releases 3.
    Graph last(kLayers,
               layer_node(101, 1, 0, {}, 0, 1) + layer_node(101, 0, 0, {3}, 0, 1) + add2_node(2, 1, {}));
    EXPECT_EQ(last.red(3), 60);
}

TEST(TextureGraph, CyclesStayUncomputedWithoutHanging) {
    // 1 <-> 2, fed by nothing else; 3 is an innocent bystander.
    Graph g(kLayers, layer_node(101, 0, 2, {2}, 1, 1) + layer_node(101, 0, 1, {1}, 1, 1) +
                         layer_node(101, 1, 0, {}, 0, 1));
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

// A filter node of one input: type, input, outputs, parameters.
std::string filter_node(int type, int input, std::vector<int> outputs, std::vector<float> params = {}) {
    std::string x = "<t type=\"" + std::to_string(type) + "\"><i>" + std::to_string(input) + "</i>";
    for (int o : outputs)
        x += "<output>" + std::to_string(o) + "</output>";
    for (float p : params)
        x += "<p>" + std::to_string(p) + "</p>";
    return x + "</t>";
}

// Node 1 is layer 1; nodes 2 .. length + 1 each take the one before.
std::string chain(int length, int type, std::vector<float> params = {}) {
    std::string nodes = layer_node(101, 1, 0, {2}, 0, 1);
    for (int i = 2; i <= length + 1; i++)
        nodes += filter_node(type, i - 1, i <= length ? std::vector<int>{i + 1} : std::vector<int>{}, params);
    return nodes;
}

TEST(TextureGraph, WorkingImagesFollowTheLiveSet) {
    // A chain holds a node and its input at most, however long it is; nothing is left at the end.
    for (int length : {10, 1000}) {
        Graph g(kLayers, chain(length, 201));
        EXPECT_EQ(g.watch.peak_live_images, 2u) << length;
        EXPECT_EQ(g.watch.live_images, 0u) << length;
        EXPECT_EQ(g.red(length + 1), length % 2 ? 255 - 40 : 40) << length;
        EXPECT_EQ(g.node(length)->image, nullptr);
    }
    // A fan: 1 feeds 2, 3, 4; 5 = 2 + 3; 6 = 5 + 4. Generation goes 1, 2, 3, 5, 4, 6: when 5 is made,
    // 1 (still wanted by 4), 2, 3 and 5 are held; 1 goes after 4, 5 and 4 after 6, and 6 (read by
    // nothing) at once.
    Graph fan(kLayers, layer_node(101, 0, 0, {2, 3, 4}, 0, 1) + filter_node(202, 1, {5}, {1}) +
                           filter_node(202, 1, {5}, {2}) + filter_node(202, 1, {6}, {3}) +
                           add2_node(2, 3, {6}) + add2_node(5, 4, {}));
    EXPECT_EQ(fan.red(6), 20 + 40 + 60);
    EXPECT_EQ(fan.watch.peak_live_images, 4u);
    EXPECT_EQ(fan.watch.live_images, 0u);
}

TEST(TextureGraph, LongRippleChainKeepsTwoImages) {
    // Each Ripple node used to keep its image until the whole graph was done.
    Graph g(kLayers, chain(40, 204, {0.01f, 0.02f, 3, 2}));
    EXPECT_NE(g.red(41), -1); // the end of the chain was computed
    EXPECT_EQ(g.watch.peak_live_images, 2u);
    EXPECT_EQ(g.watch.live_images, 0u);
}

} // namespace
