#include "render/material.h"

#include "functions/dynamic_value.h"
#include "render/capabilities.h"
#include "render/shader_program.h"
#include "render/shader_text.h"
#include "resources/xml.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace render {

using resources::xml_attribute_int;
using resources::xml_name_is;
using resources::XmlNode;

uint32_t light_read(resources::ObjectList *lights, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(lights);
    if (!slot) return 0;
    Light *light = static_cast<Light *>(lights->record[slot - 1]);
    int i = 0;
    for (const XmlNode *child = element->first_child; child && i < 9; child = child->next, i++) {
        if (functions::dynamic_read(child, functions::DYNAMIC_IF_DYNAMIC, &light->slots[i]))
            light->dynamic_mask = static_cast<uint16_t>(light->dynamic_mask | (1u << i));
    }
    return slot;
}

float light_value(const Light *light, int slot, const resources::ObjectList *functions, uint32_t t) {
    if (!light) return 0.0f;
    return functions::dynamic_evaluate(light->slots[slot], (light->dynamic_mask >> slot) & 1, functions, t);
}

uint32_t texture_slot_read(resources::ObjectList *slots, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(slots);
    if (!slot) return 0;
    TextureSlot *s = static_cast<TextureSlot *>(slots->record[slot - 1]);
    s->kind = static_cast<uint8_t>(xml_attribute_int(element, "type"));
    s->index = xml_attribute_int(element, "id");
    return slot;
}

// A copy of the element's text with "&lt;" and "&gt;" decoded; an element without text gives "".
static char *shader_source(const XmlNode *element, uint32_t *length) {
    const char *text = element->text ? element->text : "";
    size_t n = std::strlen(text);
    char *copy = static_cast<char *>(std::malloc(n + 1));
    if (!copy) {
        *length = 0;
        return nullptr;
    }
    std::memcpy(copy, text, n + 1);
    resources::xml_decode_entities(copy);
    *length = static_cast<uint32_t>(std::strlen(copy));
    return copy;
}

int material_child_of(const XmlNode *child) {
    for (int i = 0; i < kMaterialChildCount; i++)
        if (xml_name_is(child, kMaterialChildNames[i])) return i;
    return -1;
}

static void read_children(Material *m, const XmlNode *element) {
    for (const XmlNode *c = element->first_child; c; c = c->next) {
        int row = material_child_of(c);
        if (row < 0) continue;
        uint8_t v = static_cast<uint8_t>(xml_attribute_int(c, "value"));
        switch (row) {
        case MATERIAL_BACKFACE_CULLING: m->backface_culling = v; break;
        case MATERIAL_DEPTH_TEST: m->depth_test = v; break;
        case MATERIAL_NORMALIZATION: m->normalization = v; break;
        case MATERIAL_WIREFRAME: m->wireframe = v; break;
        case MATERIAL_BLEND_FUNCTION: m->blend_function = v; break;
        case MATERIAL_FOGTYPE: m->fogtype = v; break;
        case MATERIAL_ENABLE_GLSL: m->enable_glsl = v; break;
        case MATERIAL_LIGHT1:
        case MATERIAL_LIGHT2: m->light[row - MATERIAL_LIGHT1] = xml_attribute_int(c, "value"); break;
        case MATERIAL_FOGCOLOR: m->fogcolor = xml_attribute_int(c, "value"); break;
        case MATERIAL_VERTEX_SHADER:
            std::free(m->custom.vertex_text);
            m->custom.vertex_text = shader_source(c, &m->custom.vertex_length);
            break;
        case MATERIAL_FRAGMENT_SHADER:
            std::free(m->custom.fragment_text);
            m->custom.fragment_text = shader_source(c, &m->custom.fragment_length);
            break;
        case MATERIAL_GLSL_UNIFORMS:
            for (int i = 0; i < kUniformCount; i++) {
                char name[8];
                std::snprintf(name, sizeof name, "u%d", i + 1);
                m->custom.uniform_sources[i] = static_cast<uint32_t>(xml_attribute_int(c, name));
            }
            break;
        default:
            if (row >= MATERIAL_TEXTURE1 && row < MATERIAL_TEXTURE1 + 3) {
                int i = row - MATERIAL_TEXTURE1;
                m->texture[i] = xml_attribute_int(c, "value");
                m->wrapmode[i] = static_cast<uint8_t>(xml_attribute_int(c, "wrapmode"));
                m->cgenmode[i] = static_cast<uint8_t>(xml_attribute_int(c, "cgenmode"));
                m->rotation[i] = static_cast<uint8_t>(xml_attribute_int(c, "rotation"));
                m->function[i] = static_cast<uint8_t>(xml_attribute_int(c, "function"));
            } else if (row >= MATERIAL_RED && row < MATERIAL_RED + 7) {
                int i = row - MATERIAL_RED;
                m->dynamic[i] = functions::dynamic_read(c, functions::DYNAMIC_UNLESS_STATIC, &m->values[i]);
            }
            break;
        }
    }
}

static void free_passes(Material *m) {
    if (!m->passes) return;
    std::free(m->passes->copies[0]);
    std::free(m->passes->copies[1]);
    m->passes->copies[0] = m->passes->copies[1] = nullptr;
}

void material_prepare_passes(Material *m, const Capabilities &caps) {
    if (!m->passes) m->passes = static_cast<PassList *>(std::calloc(1, sizeof(PassList)));
    if (!m->passes) return;
    free_passes(m);
    bool split = m->texture[2] != 0 && (caps.texture_units < 3 || (!caps.combine3 && !caps.combine4));
    if (!split) {
        m->passes->single_pass = 1;
        m->passes->extra_passes = 0;
        return;
    }
    Material *first = static_cast<Material *>(std::malloc(sizeof(Material)));
    Material *second = static_cast<Material *>(std::malloc(sizeof(Material)));
    if (!first || !second) {
        std::free(first);
        std::free(second);
        m->passes->single_pass = 1;
        m->passes->extra_passes = 0;
        return;
    }
    // The copies are only applied in fixed-function form; they own nothing.
    *first = *m;
    *second = *m;
    first->passes = second->passes = nullptr;
    first->generated = second->generated = nullptr;
    second->blend_function = 1;
    second->texture[0] = m->texture[2];
    second->cgenmode[0] = m->cgenmode[2];
    second->rotation[0] = m->rotation[2];
    second->wrapmode[0] = m->wrapmode[2];
    second->function[0] = 0;
    second->texture[1] = 0;
    second->texture[2] = 0;
    m->passes->single_pass = 0;
    m->passes->extra_passes = 2;
    m->passes->copies[0] = first;
    m->passes->copies[1] = second;
}

// Generates the material's texts and shares the program of the first earlier material whose
// generated texts are byte-identical; otherwise compiles its own.
static void prepare_glsl(Material *m, uint32_t position, scene::Scene *sc) {
    if (m->enable_glsl) {
        shader_program_compile(&m->custom, m);
        return;
    }
    m->generated = static_cast<ShaderProgram *>(std::calloc(1, sizeof(ShaderProgram)));
    if (!m->generated) return;
    ShaderInputs in = shader_inputs_of(m, sc->lights, sc->texture_slots);
    shader_generate(m, in, m->generated);
    for (uint32_t p = 1; p < position; p++) {
        Material *earlier = resources::object_at<Material>(sc->materials, p);
        ShaderProgram *g = earlier ? earlier->generated : nullptr;
        if (!g || g->reference || !g->vertex_text || !g->fragment_text) continue;
        if (g->vertex_length == m->generated->vertex_length &&
            g->fragment_length == m->generated->fragment_length &&
            std::memcmp(g->vertex_text, m->generated->vertex_text, g->vertex_length) == 0 &&
            std::memcmp(g->fragment_text, m->generated->fragment_text, g->fragment_length) == 0) {
            m->generated->reference = p;
            return;
        }
    }
    shader_program_compile(m->generated, m);
}

uint32_t material_read(scene::Scene *sc, const XmlNode *element, int8_t glsl, const Capabilities &caps) {
    uint32_t slot = resources::object_list_add(sc->materials);
    if (!slot) return 0;
    Material *m = static_cast<Material *>(sc->materials->record[slot - 1]);
    read_children(m, element);
    m->custom.vertex_shader = m->custom.fragment_shader = m->custom.program = 0;
    std::memset(m->custom.info_log, 0, sizeof m->custom.info_log);
    if (glsl)
        prepare_glsl(m, sc->materials->position[slot - 1], sc);
    else
        material_prepare_passes(m, caps);
    return slot;
}

ShaderProgram *material_program(Material *m, const resources::ObjectList *materials) {
    if (m->enable_glsl) return &m->custom;
    if (!m->generated) return nullptr;
    if (m->generated->reference) {
        Material *shared = resources::object_at<Material>(materials, m->generated->reference);
        return shared ? shared->generated : nullptr;
    }
    return m->generated;
}

const uint32_t *material_uniform_sources(const Material *m) {
    if (m->enable_glsl) return m->custom.uniform_sources;
    return m->generated ? m->generated->uniform_sources : nullptr;
}

void material_release(Material *m) {
    free_passes(m);
    std::free(m->passes);
    m->passes = nullptr;
    if (m->generated) {
        std::free(m->generated->vertex_text);
        std::free(m->generated->fragment_text);
        std::free(m->generated);
        m->generated = nullptr;
    }
    std::free(m->custom.vertex_text);
    std::free(m->custom.fragment_text);
    m->custom.vertex_text = m->custom.fragment_text = nullptr;
}

} // namespace render
