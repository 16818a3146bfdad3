// Section 11: materials.
#include "analysis/rules.h"

#include "render/material.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"

namespace analysis {

void rules_materials(CheckContext &c) {
    static const char *const kDynamicNames[7] = {"red",       "green",    "blue",  "alpha",
                                                 "linewidth", "fogstart", "fogend"};
    int position = 1;
    for (const XmlNode *el = c.src->section[11]->first_child; el; el = el->next, position++) {
        render::Material *m = resources::object_at<render::Material>(c.sc->materials, uint32_t(position));
        if (!m) break;
        std::string who = format("material %d", position);
        unread_attributes(c, el, scene::FORM_MATERIAL, who, true);
        const XmlNode *row_el[render::kMaterialChildCount] = {};
        for (const XmlNode *ch = el->first_child; ch; ch = ch->next) {
            int row = render::material_child_of(ch);
            if (row < 0) {
                flag(c, ch, "%s: child <%s> is not a material setting and is not read", who.c_str(),
                     name_of(ch));
                continue;
            }
            row_el[row] = ch;
            for (int32_t a = 0; a < ch->attribute_count; a++)
                if (!scene::material_child_reads(row, ch->attributes[a].name))
                    flag(c, Where(ch, ch->attributes[a].name), "%s: %s: attribute \"%s\" is not read",
                         who.c_str(), name_of(ch), ch->attributes[a].name ? ch->attributes[a].name : "");
            if (row >= render::MATERIAL_RED && row < render::MATERIAL_RED + 7)
                dynamic_value(c, ch, who, kDynamicNames[row - render::MATERIAL_RED],
                              functions::DYNAMIC_UNLESS_STATIC);
            if (row <= render::MATERIAL_ENABLE_GLSL) byte_field(c, ch, who + " " + name_of(ch), "value");
            if (row >= render::MATERIAL_TEXTURE1 && row < render::MATERIAL_TEXTURE1 + 3)
                for (const char *a : {"wrapmode", "cgenmode", "rotation", "function"})
                    byte_field(c, ch, who + " " + name_of(ch), a);
        }
        auto at = [&](int row) { return row_el[row] ? row_el[row] : el; };
        auto value_at = [&](int row) { return row_el[row] ? Where(row_el[row], "value") : Where(el); };
        if (m->blend_function >= render::kBlendFunctionCount)
            flag(c, value_at(render::MATERIAL_BLEND_FUNCTION),
                 "%s: blend_function %u is not 0..4: blending stays as the previous draw left it",
                 who.c_str(), m->blend_function);
        for (int i = 0; i < 2; i++)
            reference(c, value_at(render::MATERIAL_LIGHT1 + i), who, i ? "light2" : "light1", m->light[i],
                      LIST_LIGHTS);
        if (m->light[1] && !m->light[0])
            flag(c, at(render::MATERIAL_LIGHT2), "%s: light2 is set without light1: it is ignored",
                 who.c_str());
        reference(c, value_at(render::MATERIAL_FOGCOLOR), who, "fogcolor", m->fogcolor, LIST_LIGHTS);
        for (int i = 0; i < 3; i++) {
            const XmlNode *t = at(render::MATERIAL_TEXTURE1 + i);
            std::string field = format("texture%d", i + 1);
            if (!m->texture[i]) continue;
            bool named = reference(c, value_at(render::MATERIAL_TEXTURE1 + i), who, field.c_str(),
                                   m->texture[i], LIST_TEXTURE_SLOTS);
            if (i > 0 && !m->texture[i - 1])
                flag(c, t, "%s: %s is set without texture%d: %s", who.c_str(), field.c_str(), i,
                     i == 1 ? "no texture is drawn at all" : "it is ignored");
            if (m->wrapmode[i] > 1)
                flag(c, Where(t, "wrapmode"),
                     "%s: %s wrapmode %u is not 0 (repeat) or 1 (clamp): the wrap mode is left as it was",
                     who.c_str(), field.c_str(), m->wrapmode[i]);
            if (m->cgenmode[i] >= render::kCgenModeCount)
                flag(c, Where(t, "cgenmode"),
                     "%s: %s cgenmode %u is not 0, 1 or 2: the texture has no coordinates", who.c_str(),
                     field.c_str(), m->cgenmode[i]);
            if (i == 0 && m->function[0] >= render::kUnit0FunctionCount)
                flag(c, Where(t, "function"),
                     "%s: texture1 function %u is not 0..3: the unit combines as the previous draw left it",
                     who.c_str(), m->function[0]);
            if (i == 1 && m->function[1] >= render::kUnit1FunctionCount)
                flag(c, Where(t, "function"),
                     "%s: texture2 function %u is not 0..5: the generated GLSL does not compile", who.c_str(),
                     m->function[1]);
            const render::TextureSlot *s =
                named ? resources::object_at<render::TextureSlot>(c.sc->texture_slots,
                                                                  static_cast<uint32_t>(m->texture[i]))
                      : nullptr;
            if (s && s->kind >= render::TEXTURE_CUBE && m->cgenmode[i] != 2)
                flag(c, Where(t, "cgenmode"),
                     "%s: %s is a cube map (texture slot %d) but cgenmode is %u: cube maps need 2",
                     who.c_str(), field.c_str(), m->texture[i], m->cgenmode[i]);
        }
        if (const XmlNode *u = row_el[render::MATERIAL_GLSL_UNIFORMS])
            for (int i = 0; i < render::kUniformCount; i++) {
                std::string name = format("u%d", i + 1);
                reference(c, Where(u, name.c_str()), who, ("glsl_uniforms " + name).c_str(),
                          static_cast<int32_t>(m->custom.uniform_sources[i]), LIST_FUNCTIONS);
            }
        bool has_vs = row_el[render::MATERIAL_VERTEX_SHADER],
             has_fs = row_el[render::MATERIAL_FRAGMENT_SHADER];
        if (m->enable_glsl) {
            if (!m->custom.vertex_length || !m->custom.fragment_length)
                flag(c, at(render::MATERIAL_ENABLE_GLSL),
                     "%s: enable_glsl is set, but %s is empty: nothing is drawn", who.c_str(),
                     !m->custom.vertex_length ? "vertex_shader" : "fragment_shader");
        } else if (has_vs || has_fs) {
            flag(c, at(has_vs ? render::MATERIAL_VERTEX_SHADER : render::MATERIAL_FRAGMENT_SHADER),
                 "%s: has a custom program, but enable_glsl is 0: it is not used", who.c_str());
        }
    }
}

} // namespace analysis
