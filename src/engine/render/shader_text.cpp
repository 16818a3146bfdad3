#include "render/shader_text.h"

#include "functions/dynamic_value.h"
#include "resources/text_builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace render {

using resources::text_builder_append;
using resources::TextBuilder;

ShaderInputs shader_inputs_of(const Material *m, const resources::ObjectList *lights,
                              const resources::ObjectList *texture_slots) {
    ShaderInputs in = {};
    for (int l = 0; l < 2; l++) {
        const Light *light =
            m->light[l] > 0 ? resources::object_at<Light>(lights, uint32_t(m->light[l])) : nullptr;
        in.light[l] = light != nullptr;
        for (int v = 0; light && v < 6; v++) {
            in.light_dynamic[l][v] = (light->dynamic_mask >> v) & 1;
            in.light_slot[l][v] = light->slots[v];
        }
    }
    in.light[1] = in.light[1] && in.light[0];
    const Light *fog = m->fogcolor > 0 ? resources::object_at<Light>(lights, uint32_t(m->fogcolor)) : nullptr;
    in.fog_light = fog != nullptr;
    for (int v = 0; fog && v < 3; v++) {
        in.fog_dynamic[v] = (fog->dynamic_mask >> (LIGHT_DIFFUSE_R + v)) & 1;
        in.fog_slot[v] = fog->slots[LIGHT_DIFFUSE_R + v];
    }
    for (int i = 0; i < 3; i++) {
        const TextureSlot *slot =
            m->texture[i] > 0 ? resources::object_at<TextureSlot>(texture_slots, uint32_t(m->texture[i]))
                              : nullptr;
        in.texture[i] = slot != nullptr;
        in.texture_kind[i] = slot ? slot->kind : 0;
    }
    return in;
}

namespace {

// One value that may be a uniform: its dynamic flag, its slot and, once declared, its number.
struct Value {
    uint8_t dynamic;
    uint32_t slot;
    int number;
};

struct Generator {
    TextBuilder tb;
    int counter; // next uniform number, shared by both shaders
    uint32_t *sources;
};

void declare(Generator *g, Value *v) {
    if (!v->dynamic) return;
    v->number = g->counter++;
    text_builder_append(&g->tb, "uniform float u%d;\n", v->number);
}

// Writes a value followed by its separator; a dynamic one records its function as the uniform's source.
void write_value(Generator *g, const Value &v, const char *separator) {
    if (v.dynamic) {
        text_builder_append(&g->tb, "u%d%s", v.number, separator);
        if (v.number >= 1 && v.number <= kUniformCount) g->sources[v.number - 1] = v.slot;
    } else {
        text_builder_append(&g->tb, "%f%s", static_cast<double>(functions::dynamic_slot_float(v.slot)),
                            separator);
    }
}

void write_vec3(Generator *g, const char *opening, const Value *v, const char *last) {
    text_builder_append(&g->tb, "%s", opening);
    write_value(g, v[0], ", ");
    write_value(g, v[1], ", ");
    write_value(g, v[2], last);
}

char *finish(TextBuilder *tb, uint32_t *length) {
    *length = tb->length;
    return resources::text_builder_take(tb);
}

} // namespace

void shader_generate(const Material *m, const ShaderInputs &in, ShaderProgram *out) {
    std::free(out->vertex_text);
    std::free(out->fragment_text);
    for (uint32_t &s : out->uniform_sources)
        s = 0;

    Generator g;
    g.counter = 1;
    g.sources = out->uniform_sources;
    resources::text_builder_init(&g.tb, 256);

    bool L1 = in.light[0], L2 = in.light[1] && L1;
    const bool *T = in.texture;
    const uint8_t *C = m->cgenmode, *R = m->rotation;
    bool any_rotation_or_cube = false, any_generated = false, any_sphere = false, any_sphere_rotated = false;
    for (int i = 0; i < 3; i++) {
        if (!T[i]) continue;
        any_rotation_or_cube |= R[i] != 0 || C[i] == 2;
        any_generated |= C[i] != 0;
        any_sphere |= C[i] == 1;
        any_sphere_rotated |= C[i] == 1 && R[i] != 0;
    }

    Value colour[4];
    for (int i = 0; i < 4; i++)
        colour[i] = Value{m->dynamic[DYN_RED + i], m->values[DYN_RED + i], 0};
    Value light[2][6];
    for (int l = 0; l < 2; l++)
        for (int v = 0; v < 6; v++)
            light[l][v] = Value{in.light_dynamic[l][v], in.light_slot[l][v], 0};

    // Vertex text.
    TextBuilder *tb = &g.tb;
    text_builder_append(tb, "attribute vec4 Position;\nuniform mat4 Projection;\nuniform mat4 Modelview;\n"
                            "attribute vec3 Normal;\nuniform mat3 NormalMatrix;\n");
    if (L1) text_builder_append(tb, "uniform mat4 Viewmatrix;\n");
    for (int i = 0; i < 3; i++) {
        if (!T[i]) continue;
        text_builder_append(tb, C[i] == 2 ? "varying vec3 TexCoordOut%d;\n" : "varying vec2 TexCoordOut%d;\n",
                            i + 1);
        if (C[i] == 0) text_builder_append(tb, "attribute vec2 TexCoordIn%d;\n", i + 1);
    }
    if (any_rotation_or_cube) text_builder_append(tb, "uniform mat4 TextureMatrix;\n");
    text_builder_append(tb, "varying vec4 Color;\n");
    for (Value &v : colour)
        declare(&g, &v);
    for (int l = 0; l < 2; l++) {
        if (!(l == 0 ? L1 : L2)) continue;
        text_builder_append(tb, "uniform vec4 LightPosition%d;\n", l + 1);
        for (Value &v : light[l])
            declare(&g, &v);
    }
    text_builder_append(tb, "void main(void)\n{\n");
    text_builder_append(tb, "  vec4 mp = Modelview * Position;\n");
    if (L1 || any_generated)
        text_builder_append(tb, m->normalization ? "  vec3 n = normalize(NormalMatrix * Normal);\n"
                                                 : "  vec3 n = NormalMatrix * Normal;\n");
    text_builder_append(tb, L1 ? "  vec4 basecolor = vec4(" : "  Color = vec4(");
    write_value(&g, colour[0], ", ");
    write_value(&g, colour[1], ", ");
    write_value(&g, colour[2], ", ");
    write_value(&g, colour[3], ");\n");
    for (int l = 0; l < 2; l++) {
        if (!(l == 0 ? L1 : L2)) continue;
        char opening[32];
        std::snprintf(opening, sizeof opening, "  vec3 ambient%d = vec3(", l + 1);
        write_vec3(&g, opening, &light[l][0], ");\n");
        std::snprintf(opening, sizeof opening, "  vec3 diffuse%d = vec3(", l + 1);
        write_vec3(&g, opening, &light[l][3], ");\n");
        text_builder_append(tb,
                            "  vec3 ul%d = vec3(normalize(Viewmatrix * LightPosition%d - mp));\n"
                            "  float f%d = max(dot(n, ul%d), 0.0);\n",
                            l + 1, l + 1, l + 1, l + 1);
    }
    if (L1 && L2) {
        text_builder_append(
            tb, "  vec3 Color1 = vec3(basecolor.x * (f1 * diffuse1.x + ambient1.x), basecolor.y * (f1 * "
                "diffuse1.y + "
                "ambient1.y), basecolor.z * (f1 * diffuse1.z + ambient1.z));\n"
                "  vec3 Color2 = vec3(basecolor.x * (f2 * diffuse2.x + ambient2.x), basecolor.y * (f2 * "
                "diffuse2.y + "
                "ambient2.y), basecolor.z * (f2 * diffuse2.z + ambient2.z));\n"
                "  Color = vec4(min(Color1.x + Color2.x, 1.0), min(Color1.y + Color2.y, 1.0), min(Color1.z + "
                "Color2.z, 1.0), basecolor.w);\n");
    } else if (L1) {
        text_builder_append(
            tb,
            "  Color = vec4(min(basecolor.x * (f1 * diffuse1.x + ambient1.x), 1.0), min(basecolor.y * (f1 * "
            "diffuse1.y + ambient1.y), 1.0), min(basecolor.z * (f1 * diffuse1.z + ambient1.z), 1.0), "
            "basecolor.w);\n");
    }
    if (any_generated)
        text_builder_append(tb, "  vec3 ue = normalize(vec3(mp));\n  vec3 r = reflect(ue, n);\n");
    if (any_sphere)
        text_builder_append(
            tb, "  float rz = r.z + 1.0;\n  float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + rz * rz);\n");
    if (any_sphere_rotated) text_builder_append(tb, "  vec2 rr;\n  rr.x = r.x / m;\n  rr.y = r.y / m;\n");
    for (int i = 0; i < 3 && T[i]; i++) {
        int n = i + 1;
        if (C[i] == 0) {
            text_builder_append(tb, "  TexCoordOut%d = TexCoordIn%d;\n", n, n);
        } else if (C[i] == 1 && R[i] == 0) {
            text_builder_append(
                tb, "  TexCoordOut%d.s = r.x / m + 0.5;\n  TexCoordOut%d.t = r.y / m + 0.5;\n", n, n);
        } else if (C[i] == 1) {
            text_builder_append(
                tb,
                "  TexCoordOut%d.s = TextureMatrix[0][0] * rr.x + TextureMatrix[0][1] * rr.y + 0.5;\n"
                "  TexCoordOut%d.t = TextureMatrix[1][0] * rr.x + TextureMatrix[1][1] * rr.y + 0.5;\n",
                n, n);
        } else if (C[i] == 2) {
            text_builder_append(tb,
                                "  TexCoordOut%d.x = TextureMatrix[0][0] * r.x + TextureMatrix[0][1] * r.y + "
                                "TextureMatrix[0][2] * r.z;\n"
                                "  TexCoordOut%d.y = TextureMatrix[1][0] * r.x + TextureMatrix[1][1] * r.y + "
                                "TextureMatrix[1][2] * r.z;\n"
                                "  TexCoordOut%d.z = TextureMatrix[2][0] * r.x + TextureMatrix[2][1] * r.y + "
                                "TextureMatrix[2][2] * r.z;\n",
                                n, n, n);
        }
    }
    text_builder_append(tb, "  gl_Position = Projection * mp;\n");
    text_builder_append(tb, "}");
    out->vertex_text = finish(tb, &out->vertex_length);

    // Fragment text: the uniform counter continues.
    resources::text_builder_init(tb, 256);
    const char *sampler[3];
    for (int i = 0; i < 3; i++) {
        sampler[i] = in.texture_kind[i] == TEXTURE_CUBE ? "textureCube" : "texture2D";
        if (!T[i]) continue;
        if (in.texture_kind[i] == TEXTURE_CUBE)
            text_builder_append(tb, "varying vec3 TexCoordOut%d;\nuniform samplerCube Texture%d;\n", i + 1,
                                i);
        else
            text_builder_append(tb, "varying vec2 TexCoordOut%d;\nuniform sampler2D Texture%d;\n", i + 1, i);
    }
    text_builder_append(tb, "varying vec4 Color;\n");
    bool fog = m->fogtype != 0;
    Value fog_colour[3];
    for (int v = 0; v < 3; v++)
        fog_colour[v] = Value{in.fog_dynamic[v], in.fog_slot[v], 0};
    Value fog_start = {m->dynamic[DYN_FOGSTART], m->values[DYN_FOGSTART], 0};
    Value fog_end = {m->dynamic[DYN_FOGEND], m->values[DYN_FOGEND], 0};
    if (fog) {
        if (in.fog_light)
            for (Value &v : fog_colour)
                declare(&g, &v);
        declare(&g, &fog_start);
        declare(&g, &fog_end);
    }
    text_builder_append(tb, "void main(void)\n{\n");
    if (fog) {
        if (in.fog_light)
            write_vec3(&g, "  vec4 fogcolor = vec4(", fog_colour, ", 1.0);\n");
        else
            text_builder_append(tb, "  vec4 fogcolor = vec4(1.0, 1.0, 1.0, 1.0);\n");
        text_builder_append(tb, "  float fogstart = ");
        write_value(&g, fog_start, ";\n");
        text_builder_append(tb, "  float fogend = ");
        write_value(&g, fog_end, ";\n");
        text_builder_append(
            tb, "  float z = (gl_FragCoord.z / gl_FragCoord.w - fogstart) / (fogend - fogstart);\n");
    }
    if (!T[0]) {
        if (fog)
            text_builder_append(tb, "  fogcolor.w = Color.w;\n"
                                    "  gl_FragColor = mix(Color, fogcolor, clamp(z, 0.0, 1.0));\n");
        else
            text_builder_append(tb, "  gl_FragColor = Color;\n");
    } else {
        text_builder_append(tb, "  vec4 texunit1 = ");
        switch (m->function[0]) {
        case 0: text_builder_append(tb, "Color * "); break;
        case 1: text_builder_append(tb, "vec4(Color.x, Color.y, Color.z, 1.0) * "); break;
        case 3: text_builder_append(tb, "Color + "); break;
        default: break;
        }
        text_builder_append(tb, "%s(Texture0, TexCoordOut1);\n", sampler[0]);
        if (!T[1]) {
            if (fog)
                text_builder_append(tb, "  fogcolor.w = texunit1.w;\n"
                                        "  gl_FragColor = mix(texunit1, fogcolor, clamp(z, 0.0, 1.0));\n");
            else
                text_builder_append(tb, "  gl_FragColor = texunit1;\n");
        } else {
            const char *s2 = sampler[1];
            switch (m->function[1]) {
            case 0:
                text_builder_append(tb, "  vec4 texunit2 = texunit1 + %s(Texture1, TexCoordOut2)", s2);
                break;
            case 1:
                text_builder_append(tb, "  vec4 texunit2 = texunit1 * %s(Texture1, TexCoordOut2)", s2);
                break;
            case 2:
                text_builder_append(
                    tb,
                    "  float x = dot((texunit1.rgb - 0.5) * 2.0, (%s(Texture1, TexCoordOut2).rgb - "
                    "0.5) * 2.0);\n  x = clamp(x, 0.0, 1.0);\n  vec4 texunit2 = vec4(x, x, x, 0.0)",
                    s2);
                break;
            case 3:
                text_builder_append(
                    tb, "  vec4 texunit2 = Color * %s(Texture1, TexCoordOut2) + (1.0 - Color) * texunit1",
                    s2);
                break;
            case 4:
                text_builder_append(
                    tb, "  vec4 texunit2 = Color.a * %s(Texture1, TexCoordOut2) + (1.0 - Color.a) * texunit1",
                    s2);
                break;
            case 5:
                text_builder_append(tb,
                                    "  vec4 texunit2 = %s(Texture1, TexCoordOut2);\n"
                                    "  texunit2 = texunit1 + vec4(texunit2.x, texunit2.y, texunit2.z, 0.0)",
                                    s2);
                break;
            default: break; // writes nothing: such a text does not compile
            }
            if (T[2])
                text_builder_append(tb, " + Color * %s(Texture2, TexCoordOut3);\n", sampler[2]);
            else
                text_builder_append(tb, ";\n");
            if (fog)
                text_builder_append(tb, "  fogcolor.w = texunit2.w;\n"
                                        "  gl_FragColor = mix(texunit2, fogcolor, clamp(z, 0.0, 1.0));\n");
            else
                text_builder_append(tb, "  gl_FragColor = texunit2;\n");
        }
    }
    text_builder_append(tb, "}");
    out->fragment_text = finish(tb, &out->fragment_length);
}

namespace {

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

struct WordSwap {
    const char *word, *vertex, *fragment; // replacement in each kind of shader
};
constexpr WordSwap kEs3Words[] = {
    {"attribute", "in", "in"},
    {"varying", "out", "in"},
    {"gl_FragColor", "gl_FragColor", "FragColorOut"},
    {"texture2D", "texture", "texture"},
    {"textureCube", "texture", "texture"},
};
static_assert(sizeof kEs3Words / sizeof kEs3Words[0] == 5, "the words GLSL ES 3.00 spells differently");

} // namespace

char *shader_text_to_es3(const char *text, uint32_t length, bool fragment, uint32_t *out_length) {
    TextBuilder tb;
    resources::text_builder_init(&tb, length + 256);
    text_builder_append(&tb, "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                             "precision highp sampler2D;\nprecision highp samplerCube;\n");
    if (fragment) text_builder_append(&tb, "out vec4 FragColorOut;\n");
    uint32_t i = 0;
    // A #version line of the text's own is replaced by the one above.
    while (i < length && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        i++;
    if (length - i >= 8 && std::strncmp(text + i, "#version", 8) == 0) {
        while (i < length && text[i] != '\n')
            i++;
    } else {
        i = 0;
    }
    while (i < length) {
        if (is_name_char(text[i]) && (i == 0 || !is_name_char(text[i - 1]))) {
            uint32_t end = i;
            while (end < length && is_name_char(text[end]))
                end++;
            const char *swap = nullptr;
            for (const WordSwap &w : kEs3Words)
                if (std::strlen(w.word) == end - i && std::strncmp(text + i, w.word, end - i) == 0)
                    swap = fragment ? w.fragment : w.vertex;
            if (swap)
                resources::text_builder_append_text(&tb, swap);
            else
                resources::text_builder_append_span(&tb, text + i, end - i);
            i = end;
            continue;
        }
        uint32_t end = i + 1;
        while (end < length && !is_name_char(text[end]))
            end++;
        resources::text_builder_append_span(&tb, text + i, end - i);
        i = end;
    }
    *out_length = tb.length;
    return resources::text_builder_take(&tb);
}

} // namespace render
