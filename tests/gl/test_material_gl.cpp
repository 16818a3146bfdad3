// Materials under Mesa: every generated program compiles and links, sharing, and the
// fixed-function state that applying a material leaves behind.
#include "gl_util.h"
#include "log_capture.h"
#include "scene_builder.h"

#include "render/material.h"
#include "render/shader_program.h"
#include "render/shader_text.h"
#include "geometry/effect2d.h"
#include "resources/object_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace render;
using gltest::SceneText;

namespace {

std::string value(const char *name, const char *type, const char *v) {
    return std::string("<") + name + " type=\"" + type + "\" value=\"" + v + "\"/>";
}

// Two lights (the second with dynamic values) and one texture slot of each kind.
SceneText base_scene() {
    SceneText s;
    s.sections[gltest::S_FUNCTIONS] = "<f type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\">"
                                      "<s type=\"1\" length=\"1000\"><a>0.001</a><b>0.25</b></s></f>";
    std::string light1, light2;
    const char *names[9] = {"ar", "ag", "ab", "dr", "dg", "db", "x", "y", "z"};
    const char *v1[9] = {"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "1", "2", "3"};
    for (int i = 0; i < 9; i++) {
        light1 += value(names[i], "static", v1[i]);
        light2 += value(names[i], i % 2 ? "dynamic" : "static", i % 2 ? "1" : "0.5");
    }
    s.sections[gltest::S_LIGHTS] = "<l>" + light1 + "</l><l>" + light2 + "</l>";
    s.sections[gltest::S_SLOTS] = "<t type=\"0\" id=\"1\"/><t type=\"1\" id=\"1\"/><t type=\"2\" id=\"1\"/>"
                                  "<t type=\"3\" id=\"1\"/>";
    return s;
}

struct MaterialCase {
    int lights;         // 0, 1 or 2
    int textures;       // how many of texture1..3 are set
    int kind;           // texture slot (1..4 → kinds 0..3) for every texture
    int cgen, rotation; // for every texture
    int f1, f2, f3;
    int fog; // fogtype
    bool dynamic, normalization, fog_light;
};

std::string material_xml(const MaterialCase &m) {
    const char *t = m.dynamic ? "dynamic" : "static";
    std::string x = "<m>";
    x += "<backface_culling value=\"1\"/><depth_test value=\"1\"/><blend_function value=\"0\"/>";
    x += "<normalization value=\"" + std::to_string(m.normalization) + "\"/>";
    x += value("red", t, m.dynamic ? "1" : "0.5") + value("green", "static", "0.5") +
         value("blue", "static", "1") + value("alpha", t, "1");
    if (m.lights >= 1) x += "<light1 value=\"1\"/>";
    if (m.lights >= 2) x += "<light2 value=\"2\"/>";
    int functions[3] = {m.f1, m.f2, m.f3};
    for (int i = 0; i < m.textures; i++)
        x += "<texture" + std::to_string(i + 1) + " value=\"" + std::to_string(m.kind) + "\" wrapmode=\"" +
             std::to_string(i % 2) + "\" cgenmode=\"" + std::to_string(m.cgen) + "\" rotation=\"" +
             std::to_string(m.rotation) + "\" function=\"" + std::to_string(functions[i]) + "\"/>";
    x += "<fogtype value=\"" + std::to_string(m.fog) + "\"/>";
    x += value("fogstart", t, m.dynamic ? "1" : "1.5") + value("fogend", "static", "30");
    if (m.fog_light) x += "<fogcolor value=\"2\"/>";
    return x + "</m>";
}

bool linked(const ShaderProgram *p) {
    GLint ok = GL_FALSE;
    glGetProgramiv(p->program, GL_LINK_STATUS, &ok);
    return ok == GL_TRUE;
}

TEST(MaterialGL, EveryGeneratedProgramCompilesAndLinks) {
    std::vector<MaterialCase> cases;
    for (int lights = 0; lights <= 2; lights++)
        for (int fog = 0; fog <= 3; fog++)
            for (int dyn = 0; dyn <= 1; dyn++)
                cases.push_back({lights, 0, 1, 0, 0, 0, 0, 0, fog, dyn == 1, dyn == 0, fog == 3});
    for (int textures = 1; textures <= 3; textures++)
        for (int kind = 1; kind <= 4; kind++)
            for (int cgen = 0; cgen <= 2; cgen++)
                for (int rotation = 0; rotation <= 1; rotation++)
                    for (int f2 = 0; f2 <= 6; f2 += (textures >= 2 ? 1 : 7))
                        for (int f1 = 0; f1 <= 4; f1 += (f2 == 0 ? 1 : 5))
                            cases.push_back({1 + (f1 + f2) % 2, textures, kind, cgen, rotation, f1, f2,
                                             f1 % 2, (f2 + cgen) % 4, (kind + f1) % 2 == 1, rotation == 1,
                                             f2 % 3 == 1});
    SceneText text = base_scene();
    for (const MaterialCase &m : cases)
        text.sections[gltest::S_MATERIALS] += material_xml(m);
    testutil::LogCapture log;
    scene::Scene *sc = gltest::build_scene(text, 1, gltest::mesa_caps());
    ASSERT_EQ(sc->materials->count, cases.size());
    int compiled = 0, failures = 0;
    for (uint32_t p = 1; p <= cases.size(); p++) {
        const MaterialCase &mc = cases[p - 1];
        Material *m = resources::object_at<Material>(sc->materials, p);
        ShaderProgram *prog = material_program(m, sc->materials);
        ASSERT_NE(prog, nullptr);
        if (!m->generated->reference) compiled++;
        // What cannot compile: a second-texture function above 5, and a texture whose coordinates do
        // not match its kind (cube maps take reflection coordinates, 2D textures the others).
        bool mismatched = mc.textures > 0 && ((mc.kind == 4) != (mc.cgen == 2));
        bool expected = !(mc.textures >= 2 && mc.f2 > 5) && !mismatched;
        EXPECT_EQ(linked(prog), expected)
            << "material " << p << " lights " << mc.lights << " textures " << mc.textures << " kind "
            << mc.kind - 1 << " cgen " << mc.cgen << " f2 " << mc.f2 << "\n"
            << prog->vertex_text << "\n----\n"
            << prog->fragment_text << "\n"
            << prog->info_log;
        if (!expected) failures++;
    }
    EXPECT_GT(compiled, 100);
    EXPECT_GT(failures, 0);
    // Failing programs write their driver log lines into the log.
    EXPECT_NE(log.text().find("FS:"), std::string::npos);
    scene::scene_release(sc);
}

TEST(MaterialGL, IdenticalTextsShareOneProgram) {
    SceneText text = base_scene();
    text.sections[gltest::S_FUNCTIONS] += "<f type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\">"
                                          "<s type=\"0\" length=\"10\"><a>0.75</a></s></f>";
    MaterialCase plain = {1, 1, 2, 0, 0, 0, 0, 0, 0, false, false, false};
    text.sections[gltest::S_MATERIALS] =
        material_xml(plain) + material_xml(plain) +
        "<m><red type=\"dynamic\" value=\"1\"/></m><m><red type=\"dynamic\" value=\"2\"/></m>";
    scene::Scene *sc = gltest::build_scene(text, 1, gltest::mesa_caps());
    Material *m1 = resources::object_at<Material>(sc->materials, 1);
    Material *m2 = resources::object_at<Material>(sc->materials, 2);
    Material *m3 = resources::object_at<Material>(sc->materials, 3);
    Material *m4 = resources::object_at<Material>(sc->materials, 4);
    EXPECT_EQ(m1->generated->reference, 0u);
    EXPECT_NE(m1->generated->program, 0u);
    EXPECT_EQ(m2->generated->reference, 1u);
    EXPECT_EQ(m2->generated->program, 0u) << "the second compiles nothing";
    EXPECT_EQ(material_program(m2, sc->materials), m1->generated);
    EXPECT_EQ(m4->generated->reference, 3u);
    EXPECT_EQ(m3->generated->uniform_sources[0], 1u);
    EXPECT_EQ(m4->generated->uniform_sources[0], 2u);
    EXPECT_EQ(material_uniform_sources(m4)[0], 2u);

    // Applying the sharer sets u1 from its own function (0.75), not the first one's.
    TexcoordSources none = {};
    material_apply_glsl(m4, sc, 5, 0, 0, gltest::mesa_caps(), none);
    GLfloat u1 = 0;
    glGetUniformfv(m3->generated->program, m3->generated->loc_uniforms[0], &u1);
    EXPECT_FLOAT_EQ(u1, 0.75f);
    material_apply_glsl(m3, sc, 5, 0, 0, gltest::mesa_caps(), none);
    glGetUniformfv(m3->generated->program, m3->generated->loc_uniforms[0], &u1);
    EXPECT_FLOAT_EQ(u1, 0.255f); // 0.001 x 5 + 0.25
    glUseProgram(0);
    scene::scene_release(sc);
}

TEST(MaterialGL, CustomShadersDecodeEntitiesAndUseTheirUniformTable) {
    SceneText text = base_scene();
    text.sections[gltest::S_MATERIALS] =
        "<m><enable_glsl value=\"1\"/><glsl_uniforms u1=\"1\" u7=\"0\"/>"
        "<vertex_shader>attribute vec4 Position; uniform mat4 Projection; uniform mat4 Modelview;\n"
        "void main(void) { gl_Position = Projection * Modelview * Position; }</vertex_shader>"
        "<fragment_shader>uniform float u1; uniform float u7;\n"
        "void main(void) { float a = 1.0; if (u1 &lt; 2.0 &amp;&amp; a &gt; 0.5) a = u7; "
        "gl_FragColor = vec4(u1, a, 0.0, 1.0); }</fragment_shader></m>";
    testutil::LogCapture log;
    scene::Scene *sc = gltest::build_scene(text, 1, gltest::mesa_caps());
    Material *m = resources::object_at<Material>(sc->materials, 1);
    EXPECT_NE(std::string(m->custom.fragment_text).find("u1 < 2.0 &amp;&amp; a > 0.5"), std::string::npos);
    EXPECT_EQ(m->custom.fragment_length, std::string(m->custom.fragment_text).size());
    EXPECT_EQ(m->generated, nullptr);
    // "&amp;" is left alone by the decoder, so this text does not compile, and the log says why.
    EXPECT_FALSE(linked(&m->custom));
    EXPECT_EQ(std::string(m->custom.info_log).substr(0, 3), "VS:");
    EXPECT_NE(log.text().find("FS:"), std::string::npos);
    scene::scene_release(sc);

    text.sections[gltest::S_MATERIALS] =
        "<m><enable_glsl value=\"1\"/><glsl_uniforms u1=\"1\" u7=\"0\"/>"
        "<vertex_shader>attribute vec4 Position; uniform mat4 Projection; uniform mat4 Modelview;\n"
        "void main(void) { gl_Position = Projection * Modelview * Position; }</vertex_shader>"
        "<fragment_shader>uniform float u1; uniform float u7;\n"
        "void main(void) { float a = u7; if (u1 &lt; 2.0) a = a + 0.5; gl_FragColor = vec4(u1, a, 0.0, 1.0); "
        "}"
        "</fragment_shader></m>";
    sc = gltest::build_scene(text, 1, gltest::mesa_caps());
    m = resources::object_at<Material>(sc->materials, 1);
    ASSERT_TRUE(linked(&m->custom)) << m->custom.info_log;
    EXPECT_GE(m->custom.loc_uniforms[0], 0);
    EXPECT_GE(m->custom.loc_uniforms[6], 0);
    EXPECT_EQ(m->custom.uniform_sources[6], 0u);
    TexcoordSources none = {};
    glUseProgram(m->custom.program);
    glUniform1f(m->custom.loc_uniforms[6], 0.125f);
    material_apply_glsl(m, sc, 10, 0, 0, gltest::mesa_caps(), none);
    GLfloat u1 = 0, u7 = 0;
    glGetUniformfv(m->custom.program, m->custom.loc_uniforms[0], &u1);
    glGetUniformfv(m->custom.program, m->custom.loc_uniforms[6], &u7);
    EXPECT_FLOAT_EQ(u1, 0.26f);
    EXPECT_FLOAT_EQ(u7, 0.125f) << "a source of 0 never sets the uniform";
    glUseProgram(0);
    scene::scene_release(sc);
}

void expect_env(GLenum pname, GLint expected, const char *what) {
    GLint v = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, pname, &v);
    EXPECT_EQ(v, expected) << what << std::hex << " got 0x" << v;
}

TEST(MaterialGL, FixedFunctionStateAfterApply) {
    SceneText text = base_scene();
    text.sections[gltest::S_MATERIALS] =
        "<m><backface_culling value=\"1\"/><depth_test value=\"0\"/><normalization value=\"1\"/>"
        "<blend_function value=\"4\"/><red type=\"static\" value=\"0.25\"/><green type=\"static\" "
        "value=\"0.5\"/>"
        "<blue type=\"static\" value=\"0.75\"/><alpha type=\"static\" value=\"1\"/>"
        "<light1 value=\"1\"/><light2 value=\"2\"/><fogtype value=\"2\"/><fogcolor value=\"1\"/>"
        "<fogstart type=\"static\" value=\"3\"/><fogend type=\"dynamic\" value=\"1\"/>"
        "<texture1 value=\"2\" wrapmode=\"1\" cgenmode=\"0\" rotation=\"0\" function=\"3\"/>"
        "<texture2 value=\"2\" wrapmode=\"1\" cgenmode=\"1\" rotation=\"0\" function=\"2\"/>"
        "<texture3 value=\"2\" wrapmode=\"1\" cgenmode=\"0\" rotation=\"0\" function=\"0\"/></m>"
        "<m><blend_function value=\"1\"/><wireframe value=\"1\"/><linewidth type=\"static\" value=\"3\"/>"
        "<fogtype value=\"3\"/><texture1 value=\"2\" function=\"1\"/></m>";
    text.sections[gltest::S_BITMAPS] = "<b filename=\"none.png\"/>";
    testutil::LogCapture log; // the bitmap entry is missing; its texture name still binds
    scene::Scene *sc = gltest::build_scene(text, 0, gltest::mesa_caps());
    Material *m = resources::object_at<Material>(sc->materials, 1);
    EXPECT_EQ(m->passes->single_pass, 1) << "four units and combine4: one pass";
    float coords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    TexcoordSources tc = {{coords, coords, coords}, {0, 0, 0}, 4};
    material_apply_fixed(m, sc, 100, 30, 0, gltest::mesa_caps(), tc);

    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    GLint v = 0;
    glGetIntegerv(GL_BLEND_EQUATION, &v);
    EXPECT_EQ(v, GL_FUNC_REVERSE_SUBTRACT);
    glGetIntegerv(GL_BLEND_SRC, &v);
    EXPECT_EQ(v, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &v);
    EXPECT_EQ(v, GL_ONE);
    GLfloat f[4];
    glGetFloatv(GL_CURRENT_COLOR, f);
    EXPECT_FLOAT_EQ(f[2], 0.75f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, f);
    EXPECT_FLOAT_EQ(f[0], 0.4f);
    EXPECT_FLOAT_EQ(f[3], 1.0f);
    glGetLightfv(GL_LIGHT2, GL_AMBIENT, f);
    EXPECT_FLOAT_EQ(f[0], 0.5f);
    EXPECT_FLOAT_EQ(f[1], 0.35f) << "dynamic: 0.001 x 100 + 0.25";
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    glGetIntegerv(GL_FOG_MODE, &v);
    EXPECT_EQ(v, GL_LINEAR);
    glGetIntegerv(GL_FOG_HINT, &v);
    EXPECT_EQ(v, GL_NICEST);
    glGetFloatv(GL_FOG_COLOR, f);
    EXPECT_FLOAT_EQ(f[0], 0.4f);
    EXPECT_FLOAT_EQ(f[2], 0.6f);
    EXPECT_FLOAT_EQ(f[3], 1.0f);
    glGetFloatv(GL_FOG_START, f);
    EXPECT_FLOAT_EQ(f[0], 3.0f);
    glGetFloatv(GL_FOG_END, f);
    EXPECT_FLOAT_EQ(f[0], 0.35f);

    glActiveTexture(GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v);
    EXPECT_EQ(v, GL_CLAMP_TO_EDGE);
    expect_env(GL_TEXTURE_ENV_MODE, GL_COMBINE, "unit 0 mode");
    expect_env(GL_COMBINE_RGB, GL_ADD, "unit 0 rgb");
    expect_env(GL_COMBINE_ALPHA, GL_ADD, "unit 0 alpha");
    expect_env(GL_SOURCE0_RGB, GL_PRIMARY_COLOR, "unit 0 source 0");
    glActiveTexture(GL_TEXTURE1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_R));
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &v);
    EXPECT_EQ(v, GL_SPHERE_MAP);
    expect_env(GL_COMBINE_RGB, GL_DOT3_RGB, "unit 1 rgb");
    expect_env(GL_COMBINE_ALPHA, GL_REPLACE, "unit 1 alpha");
    expect_env(GL_SOURCE0_ALPHA, GL_TEXTURE, "unit 1 alpha source");
    glActiveTexture(GL_TEXTURE2);
    expect_env(GL_TEXTURE_ENV_MODE, GL_COMBINE4_NV, "unit 2 mode");
    expect_env(GL_SOURCE3_RGB_NV, GL_CONSTANT, "unit 2 source 3");
    expect_env(GL_OPERAND3_RGB_NV, GL_SRC_ALPHA, "unit 2 operand 3");
    glActiveTexture(GL_TEXTURE0);

    // The second material: additive, wireframe, fog without a hint change, lighting off.
    Material *m2 = resources::object_at<Material>(sc->materials, 2);
    glHint(GL_FOG_HINT, GL_FASTEST);
    material_apply_fixed(m2, sc, 100, 0, 0, gltest::mesa_caps(), tc);
    glGetIntegerv(GL_BLEND_EQUATION, &v);
    EXPECT_EQ(v, GL_FUNC_ADD);
    glGetIntegerv(GL_BLEND_DST, &v);
    EXPECT_EQ(v, GL_ONE);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    glGetFloatv(GL_LINE_WIDTH, f);
    EXPECT_FLOAT_EQ(f[0], 3.0f);
    glGetIntegerv(GL_FOG_HINT, &v);
    EXPECT_EQ(v, GL_FASTEST);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2)) << "light 1 off leaves light 2 as it was";
    expect_env(GL_COMBINE_ALPHA, GL_REPLACE, "unit 0 alpha, function 1");
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texture 2 absent";
    glActiveTexture(GL_TEXTURE0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    scene::scene_release(sc);
}

TEST(MaterialGL, ThirdTextureSplitsIntoTwoPassesOnTwoUnits) {
    SceneText text = base_scene();
    text.sections[gltest::S_MATERIALS] =
        "<m><blend_function value=\"0\"/><texture1 value=\"1\" cgenmode=\"0\" function=\"1\"/>"
        "<texture2 value=\"2\" cgenmode=\"0\" function=\"1\"/>"
        "<texture3 value=\"4\" wrapmode=\"1\" cgenmode=\"2\" rotation=\"1\" function=\"0\"/></m>"
        "<m><texture1 value=\"1\"/><texture2 value=\"2\"/></m>";
    Capabilities two_units = gltest::mesa_caps();
    two_units.texture_units = 2;
    scene::Scene *sc = gltest::build_scene(text, 0, two_units);
    Material *m = resources::object_at<Material>(sc->materials, 1);
    ASSERT_NE(m->passes, nullptr);
    EXPECT_EQ(m->passes->single_pass, 0);
    EXPECT_EQ(m->passes->extra_passes, 2);
    const Material *first = m->passes->copies[0], *second = m->passes->copies[1];
    EXPECT_EQ(first->texture[2], 4);
    EXPECT_EQ(first->blend_function, 0);
    EXPECT_EQ(second->blend_function, 1);
    EXPECT_EQ(second->texture[0], 4);
    EXPECT_EQ(second->cgenmode[0], 2);
    EXPECT_EQ(second->rotation[0], 1);
    EXPECT_EQ(second->wrapmode[0], 1);
    EXPECT_EQ(second->function[0], 0);
    EXPECT_EQ(second->texture[1], 0);
    EXPECT_EQ(second->texture[2], 0);
    EXPECT_EQ(resources::object_at<Material>(sc->materials, 2)->passes->single_pass, 1);

    // Neither combiner extension splits it too, even with four units.
    Capabilities no_combiners = gltest::mesa_caps();
    no_combiners.combine4 = no_combiners.combine3 = 0;
    material_prepare_passes(m, no_combiners);
    EXPECT_EQ(m->passes->extra_passes, 2);
    material_prepare_passes(m, gltest::mesa_caps());
    EXPECT_EQ(m->passes->single_pass, 1);
    EXPECT_EQ(m->passes->copies[0], nullptr);
    scene::scene_release(sc);
}

} // namespace

namespace {

TEST(MaterialGL, TextureSlotsResolveInOrderAndStampEffects) {
    SceneText text = base_scene();
    text.sections[gltest::S_SLOTS] += "<t type=\"1\" id=\"99\"/>"; // slot 5 names no bitmap
    text.sections[gltest::S_BITMAPS] = "<b filename=\"x.png\"/>";
    text.sections[gltest::S_CUBEMAPS] = "<c/>";
    text.sections[gltest::S_EFFECTS2D] = "<e type=\"0\" resolution=\"64x64\"><p>1</p></e>";
    text.sections[gltest::S_MATERIALS] =
        "<m><texture1 value=\"3\"/><texture2 value=\"2\"/><texture3 value=\"4\"/></m>"
        "<m><texture1 value=\"5\"/><texture2 value=\"2\"/></m>"
        "<m><texture2 value=\"2\"/></m>";
    testutil::LogCapture log;
    scene::Scene *sc = gltest::build_scene(text, 0, gltest::mesa_caps());
    geometry::Effect2D *effect = resources::object_at<geometry::Effect2D>(sc->effects2d, 1);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->time_stamp, 0xFFFFu);
    ResolvedTextures r =
        material_resolve_textures(resources::object_at<Material>(sc->materials, 1), sc, 40, false);
    EXPECT_TRUE(r.present[0] && r.present[1] && r.present[2]);
    EXPECT_EQ(r.names[0], effect->texture);
    EXPECT_EQ(effect->time_stamp, 40u);
    EXPECT_NE(r.names[1], 0u);
    EXPECT_TRUE(r.cube[2]);
    EXPECT_FALSE(r.cube[1]);
    r = material_resolve_textures(resources::object_at<Material>(sc->materials, 2), sc, 41, false);
    EXPECT_FALSE(r.present[0]) << "an index that names no record is no texture";
    EXPECT_FALSE(r.present[1]) << "texture 2 needs texture 1";
    r = material_resolve_textures(resources::object_at<Material>(sc->materials, 3), sc, 41, false);
    EXPECT_FALSE(r.present[1]);
    scene::scene_release(sc);
}

} // namespace
