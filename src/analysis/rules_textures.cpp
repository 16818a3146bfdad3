// Sections 1 and 2: texture layers, the graph's nodes, how they link, and the graph generated.
#include "analysis/rules.h"

#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "textures/texture_definitions.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"
#include "textures/texture_graph.h"

#include <algorithm>
#include <cstdlib>

namespace analysis {

using resources::xml_attribute_int;
using resources::xml_child_count;
using resources::xml_name_is;

namespace {

using textures::ProceduralTexture;

const ProceduralTexture *node_at(const CheckContext &c, int64_t position) {
    if (position <= 0 || position > int64_t(c.sc->textures->count)) return nullptr;
    return resources::object_at<ProceduralTexture>(c.sc->textures, uint32_t(position));
}

bool lists_output(const ProceduralTexture *t, int32_t output) {
    for (uint8_t i = 0; t && i < t->output_count; i++)
        if (t->outputs[i] == output) return true;
    return false;
}

// Whether a node's element has an <output> naming `to` where its parameters stand (read as one).
bool misplaced_output(const XmlNode *el, int32_t to) {
    const XmlNode *c = el ? el->first_child : nullptr;
    c = c ? c->next : nullptr;
    if (c && xml_name_is(c, textures::kNodeSecondInputName)) c = c->next;
    while (c && xml_name_is(c, textures::kNodeOutputName))
        c = c->next;
    for (; c; c = c->next)
        if (xml_name_is(c, textures::kNodeOutputName) && resources::xml_text_int(c) == to) return true;
    return false;
}

std::vector<const XmlNode *> children_from(const XmlNode *c) {
    std::vector<const XmlNode *> v;
    for (; c; c = c->next)
        v.push_back(c);
    return v;
}

} // namespace

void rules_texture_layers(CheckContext &c) {
    int index = 0;
    for (const XmlNode *el = c.src->section[1]->first_child; el; el = el->next, index++) {
        std::string who = format("texture layer %d", index);
        unread_attributes(c, el, scene::FORM_TEXTURE_LAYER, who, true);
        int32_t kind = xml_attribute_int(el, "type");
        if (kind < 0 || kind >= textures::kGeneratorCount) {
            flag(c, Where(el, "type"),
                 "%s: generator %d is not in the table (0..%d, Color to Noise): the layer stays black",
                 who.c_str(), kind, textures::kGeneratorCount - 1);
            continue;
        }
        const textures::GeneratorDescriptor &g = textures::kGeneratorDescriptors[kind];
        std::vector<std::string> places;
        for (int i = 0; i < g.colour_count + g.float_count; i++) {
            if (i < g.colour_count)
                for (const char *part : {"red", "green", "blue"})
                    places.push_back(std::string(g.parameter_names[i]) + " " + part);
            else
                places.push_back(g.parameter_names[i]);
        }
        value_count(c, el, who, format("generator %d \"%s\"", kind, g.name), children_from(el->first_child),
                    places, "0");
    }
}

void rules_nodes(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[2]->first_child; el; el = el->next, position++) {
        const ProceduralTexture *t = node_at(c, position);
        if (!t) break;
        std::string who = format("procedural texture %d", position);
        unread_attributes(c, el, scene::FORM_PROCEDURAL_TEXTURE, who, true);
        byte_field(c, el, who, "type");
        int row = textures::texture_filter_row(t->type);
        if (t->type == textures::kOutputNodeType) {
            format_and_filter(c, el, who, true);
            if (xml_attribute_int(el, "layer_id") != 0)
                flag(c, Where(el, "layer_id"), "%s: layer_id is not read by an output node", who.c_str());
            for (const XmlNode *ch = child_at(el, 1); ch; ch = ch->next)
                flag(c, ch, "%s: child <%s> is not read: an output node reads only its first input",
                     who.c_str(), name_of(ch));
        } else if (row < 0) {
            flag(c, Where(el, "type"), "%s: type %u has no operation: the node's image stays black",
                 who.c_str(), t->type);
        }
        if (t->type > 200 && xml_attribute_int(el, "layer_id") != 0 && t->type != textures::kOutputNodeType)
            flag(c, Where(el, "layer_id"), "%s: layer_id is read only for types up to 200", who.c_str());
        const XmlNode *first = el->first_child;
        if (first) reference(c, at_text(first), who, "its first input", t->first_input, LIST_TEXTURES);
        if (t->first_input == position) flag(c, at_text(first), "%s: reads itself", who.c_str());
        if (t->type == textures::kOutputNodeType) continue;
        const XmlNode *ch = first ? first->next : nullptr;
        if (ch && xml_name_is(ch, textures::kNodeSecondInputName)) {
            reference(c, at_text(ch), who, "its second input", t->second_input, LIST_TEXTURES);
            if (t->second_input && !(t->type >= 207 && t->type <= 210))
                flag(c, ch,
                     "%s: the second input is not used: only types 207 to 210 (Add 2 to Min 2) read one",
                     who.c_str());
            ch = ch->next;
        }
        int outputs = 0;
        for (; ch && xml_name_is(ch, textures::kNodeOutputName); ch = ch->next, outputs++) {
            if (outputs == textures::kNodeOutputs) {
                flag(c, ch, "%s: more than %d outputs; the rest are ignored", who.c_str(),
                     textures::kNodeOutputs);
                break;
            }
            reference(c, at_text(ch), who, "an output", resources::xml_text_int(ch), LIST_TEXTURES);
        }
        while (ch && xml_name_is(ch, textures::kNodeOutputName))
            ch = ch->next;
        std::vector<const XmlNode *> parameters = children_from(ch);
        for (const XmlNode *p : parameters)
            if (xml_name_is(p, textures::kNodeSecondInputName) || xml_name_is(p, textures::kNodeOutputName))
                flag(c, p,
                     "%s: <%s> stands among the parameters and is read as one: the second input and the "
                     "outputs come right after the first input",
                     who.c_str(), name_of(p));
        if (row >= 0) {
            const textures::FilterDescriptor &f = textures::kFilterDescriptors[row];
            value_count(c, el, who, format("type %u \"%s\"", t->type, f.name), parameters,
                        place_names(f, f.parameter_count), "0");
            if (t->type <= 200)
                reference(c, Where(el, "layer_id"), who, "layer_id", t->layer_index, LIST_TEXTURE_LAYERS);
        } else if (!parameters.empty()) {
            flag(c, parameters[0], "%s: %u parameter values, but type %u reads none; they are ignored",
                 who.c_str(), unsigned(parameters.size()), t->type);
        }
    }
}

void rules_graph_links(CheckContext &c) {
    uint32_t n = c.sc->textures->count;
    c.graph_flagged.assign(size_t(n) + 1, 0);
    // The graph follows outputs to reach a node after its inputs: both directions must agree.
    for (uint32_t p = 1; p <= n; p++) {
        const ProceduralTexture *t = node_at(c, p);
        const XmlNode *el = child_at(c.src->section[2], int(p) - 1);
        if (!t || !el) continue;
        const XmlNode *first = el->first_child;
        const XmlNode *second =
            first && first->next && xml_name_is(first->next, textures::kNodeSecondInputName) ? first->next
                                                                                             : nullptr;
        struct Input {
            int32_t index;
            const XmlNode *at;
            const char *which;
        } inputs[2] = {{t->first_input, first, "first"},
                       {t->type == textures::kOutputNodeType ? 0 : t->second_input, second, "second"}};
        for (const Input &in : inputs) {
            const ProceduralTexture *from = node_at(c, in.index);
            if (!from || in.index == int32_t(p) || lists_output(from, int32_t(p))) continue;
            c.graph_flagged[p] = 1;
            // An <output> naming this node that stands among the input's parameters is named there.
            if (misplaced_output(child_at(c.src->section[2], in.index - 1), int32_t(p))) continue;
            flag(c, at_text(in.at),
                 "procedural texture %u: reads procedural texture %d (its %s input), which does not list %u "
                 "among its "
                 "outputs: the graph reaches %u only through its inputs' outputs, so it may be computed "
                 "before %d or "
                 "never",
                 p, in.index, in.which, p, p, in.index);
        }
        // Outputs that do not read back.
        const XmlNode *ch = second ? second->next : first ? first->next : nullptr;
        for (uint8_t i = 0; t->type != textures::kOutputNodeType && i < t->output_count && ch;
             i++, ch = ch->next) {
            while (ch && !xml_name_is(ch, textures::kNodeOutputName))
                ch = ch->next;
            const ProceduralTexture *o = node_at(c, t->outputs[i]);
            if (o && o->first_input != int32_t(p) && o->second_input != int32_t(p)) {
                flag(c, at_text(ch),
                     "procedural texture %u: lists %d among its outputs, but %d does not read it", p,
                     t->outputs[i], t->outputs[i]);
                c.graph_flagged[size_t(t->outputs[i])] = 1;
            }
        }
    }
    // Cycles through inputs: no node of one is ever computed.
    std::vector<uint8_t> state(size_t(n) + 1, 0); // 0 unseen, 1 on the path, 2 done
    std::vector<uint32_t> path;
    for (uint32_t start = 1; start <= n; start++) {
        if (state[start]) continue;
        // Iterative depth-first walk over inputs, so that a long chain cannot exhaust the stack.
        std::vector<std::pair<uint32_t, int>> stack = {{start, 0}};
        state[start] = 1;
        path = {start};
        while (!stack.empty()) {
            uint32_t v = stack.back().first;
            int &next = stack.back().second;
            const ProceduralTexture *t = node_at(c, v);
            int32_t in = t ? -1 : 0;
            while (t && next < 2 && in < 0) {
                int32_t candidate = next == 0 ? t->first_input : t->second_input;
                next++;
                if (candidate > 0 && uint32_t(candidate) <= n && candidate != int32_t(v)) in = candidate;
            }
            if (in <= 0) {
                state[v] = 2;
                stack.pop_back();
                path.pop_back();
                continue;
            }
            if (state[size_t(in)] == 1) {
                auto from = std::find(path.begin(), path.end(), uint32_t(in));
                std::vector<std::string> others;
                for (auto it = from; it != path.end(); ++it)
                    if (*it != uint32_t(in)) others.push_back(std::to_string(*it));
                bool any_new = false;
                for (auto it = from; it != path.end(); ++it)
                    any_new = any_new || c.graph_flagged[*it] != 2;
                if (any_new)
                    flag(c, child_at(c.src->section[2], in - 1),
                         "procedural texture %d: reads itself through %s (a cycle): none of them is ever "
                         "computed",
                         in, join_and(others).c_str());
                for (auto it = from; it != path.end(); ++it)
                    c.graph_flagged[*it] = 2;
                continue;
            }
            if (state[size_t(in)] == 0) {
                state[size_t(in)] = 1;
                stack.push_back({uint32_t(in), 0});
                path.push_back(uint32_t(in));
            }
        }
    }
}

namespace {

void graph_computed(void *user, uint32_t position, const uint8_t *) {
    static_cast<std::vector<uint32_t> *>(user)->push_back(position);
}

} // namespace

void rules_graph_run(CheckContext &c) {
    resources::ObjectList *nodes = c.sc->textures;
    if (!nodes || nodes->count == 0) return;
    textures::LayerTable *table =
        static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
    if (!table) return;
    textures::texture_layers_read(table, c.src->section[1], nullptr, nullptr);
    std::vector<uint32_t> order;
    textures::TextureGraphWatch watch = {graph_computed, &order, 0, 0};
    textures::texture_graph_generate(nodes, table, nullptr, &watch);
    textures::texture_layers_release(table);
    std::free(table);
    std::vector<uint32_t> when(size_t(nodes->count) + 1, 0); // 1-based rank, 0 never
    for (size_t i = 0; i < order.size(); i++)
        if (order[i] < when.size()) when[order[i]] = static_cast<uint32_t>(i + 1);
    // What the link rules said already is not said again in other words, neither at the node they
    // named nor downstream of it.
    std::vector<uint8_t> explained(when.size(), 0);
    if (c.graph_flagged.size() == when.size()) {
        explained = c.graph_flagged;
        for (uint32_t pass = 0; pass < nodes->count; pass++) {
            bool changed = false;
            for (uint32_t p = 1; p <= nodes->count; p++) {
                const ProceduralTexture *t = resources::object_at<ProceduralTexture>(nodes, p);
                if (!t || explained[p]) continue;
                for (int32_t input : {t->first_input, t->second_input})
                    if (input > 0 && uint32_t(input) <= nodes->count && explained[size_t(input)]) {
                        explained[p] = 1;
                        changed = true;
                    }
            }
            if (!changed) break;
        }
    }
    for (uint32_t p = 1; p <= nodes->count; p++) {
        const ProceduralTexture *t = resources::object_at<ProceduralTexture>(nodes, p);
        const XmlNode *el = child_at(c.src->section[2], int(p) - 1);
        if (!t || explained[p]) continue;
        if (!when[p]) {
            std::string why = "it waits on a cycle of nodes";
            for (int32_t input : {t->first_input, t->second_input}) {
                const ProceduralTexture *in =
                    input > 0 && uint32_t(input) <= nodes->count
                        ? resources::object_at<ProceduralTexture>(nodes, uint32_t(input))
                        : nullptr;
                if (!in) continue;
                if (!lists_output(in, int32_t(p))) {
                    why = format("its input %d does not list %u among its outputs", input, p);
                    break;
                }
                if (!when[uint32_t(input)]) why = format("its input %d is never computed", input);
            }
            flag(c, el, "procedural texture %u: is never computed (%s): it has no image", p, why.c_str());
            continue;
        }
        for (int32_t input : {t->first_input, t->second_input}) {
            if (input <= 0 || uint32_t(input) > nodes->count || input == int32_t(p)) continue;
            if (when[uint32_t(input)] > when[p] || !when[uint32_t(input)])
                flag(
                    c, el,
                    "procedural texture %u: is computed before its input %d, and reads a black image (a node "
                    "comes after its inputs or is listed among their outputs)",
                    p, input);
        }
    }
    textures::texture_graph_release_images(nodes);
}

} // namespace analysis
