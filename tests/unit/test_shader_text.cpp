#include "functions/dynamic_value.h"
#include "render/shader_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <cstdlib>
#include <string>

using namespace render;
using functions::dynamic_slot_from_float;

namespace {

const std::string kHead = "attribute vec4 Position;\nuniform mat4 Projection;\nuniform mat4 Modelview;\n"
                          "attribute vec3 Normal;\nuniform mat3 NormalMatrix;\n";
const std::string kMain = "void main(void)\n{\n";
const std::string kMp = "  vec4 mp = Modelview * Position;\n";
const std::string kEnd = "  gl_Position = Projection * mp;\n}";

Material base_material() {
    Material m = {};
    float rgba[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    for (int i = 0; i < 4; i++)
        m.values[DYN_RED + i] = dynamic_slot_from_float(rgba[i]);
    return m;
}

void set_dynamic(Material *m, int which, uint32_t function) {
    m->dynamic[which] = 1;
    m->values[which] = function;
}

struct Generated {
    std::string vertex, fragment;
    uint32_t sources[kUniformCount];
};

Generated generate(const Material &m, const ShaderInputs &in) {
    ShaderProgram p = {};
    shader_generate(&m, in, &p);
    Generated g{
        std::string(p.vertex_text, p.vertex_length), std::string(p.fragment_text, p.fragment_length), {}};
    for (int i = 0; i < kUniformCount; i++)
        g.sources[i] = p.uniform_sources[i];
    EXPECT_EQ(std::string(p.vertex_text).size(), p.vertex_length);
    std::free(p.vertex_text);
    std::free(p.fragment_text);
    return g;
}

ShaderInputs with_light(const float ambient_diffuse[6], int dynamic_index, uint32_t function) {
    ShaderInputs in = {};
    in.light[0] = true;
    for (int v = 0; v < 6; v++)
        in.light_slot[0][v] = dynamic_slot_from_float(ambient_diffuse[v]);
    if (dynamic_index >= 0) {
        in.light_dynamic[0][dynamic_index] = 1;
        in.light_slot[0][dynamic_index] = function;
    }
    return in;
}

TEST(ShaderText, NoLightNoTextureNoFog) {
    Generated g = generate(base_material(), ShaderInputs{});
    EXPECT_EQ(g.vertex, kHead + "varying vec4 Color;\n" + kMain + kMp +
                            "  Color = vec4(1.000000, 0.500000, 0.250000, 1.000000);\n" + kEnd);
    EXPECT_EQ(g.fragment, "varying vec4 Color;\nvoid main(void)\n{\n  gl_FragColor = Color;\n}");
    for (uint32_t s : g.sources)
        EXPECT_EQ(s, 0u);
}

TEST(ShaderText, DynamicRed) {
    Material m = base_material();
    set_dynamic(&m, DYN_RED, 4);
    Generated g = generate(m, ShaderInputs{});
    EXPECT_EQ(g.vertex, kHead + "varying vec4 Color;\nuniform float u1;\n" + kMain + kMp +
                            "  Color = vec4(u1, 0.500000, 0.250000, 1.000000);\n" + kEnd);
    EXPECT_EQ(g.sources[0], 4u);
    EXPECT_EQ(g.sources[1], 0u);
}

TEST(ShaderText, LightOneWithDynamicAmbientGreenAndAlpha) {
    Material m = base_material();
    set_dynamic(&m, DYN_ALPHA, 7);
    const float light[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    Generated g = generate(m, with_light(light, 1, 5));
    EXPECT_EQ(
        g.vertex,
        kHead + "uniform mat4 Viewmatrix;\n" + "varying vec4 Color;\n" + "uniform float u1;\n" +
            "uniform vec4 LightPosition1;\n" + "uniform float u2;\n" + kMain + kMp +
            "  vec3 n = NormalMatrix * Normal;\n" +
            "  vec4 basecolor = vec4(1.000000, 0.500000, 0.250000, u1);\n" +
            "  vec3 ambient1 = vec3(0.100000, u2, 0.300000);\n" +
            "  vec3 diffuse1 = vec3(0.400000, 0.500000, 0.600000);\n" +
            "  vec3 ul1 = vec3(normalize(Viewmatrix * LightPosition1 - mp));\n" +
            "  float f1 = max(dot(n, ul1), 0.0);\n" +
            "  Color = vec4(min(basecolor.x * (f1 * diffuse1.x + ambient1.x), 1.0), min(basecolor.y * (f1 * "
            "diffuse1.y + ambient1.y), 1.0), min(basecolor.z * (f1 * diffuse1.z + ambient1.z), 1.0), "
            "basecolor.w);\n" +
            kEnd);
    EXPECT_EQ(g.sources[0], 7u);
    EXPECT_EQ(g.sources[1], 5u);
}

TEST(ShaderText, FogUniformsContinueTheVertexCount) {
    Material m = base_material();
    set_dynamic(&m, DYN_RED, 3);
    set_dynamic(&m, DYN_FOGSTART, 9);
    m.values[DYN_FOGEND] = dynamic_slot_from_float(50.0f);
    m.fogtype = 1;
    Generated g = generate(m, ShaderInputs{});
    EXPECT_EQ(g.fragment,
              "varying vec4 Color;\nuniform float u2;\n" + kMain +
                  "  vec4 fogcolor = vec4(1.0, 1.0, 1.0, 1.0);\n  float fogstart = u2;\n"
                  "  float fogend = 50.000000;\n"
                  "  float z = (gl_FragCoord.z / gl_FragCoord.w - fogstart) / (fogend - fogstart);\n"
                  "  fogcolor.w = Color.w;\n"
                  "  gl_FragColor = mix(Color, fogcolor, clamp(z, 0.0, 1.0));\n}");
    EXPECT_EQ(g.sources[0], 3u);
    EXPECT_EQ(g.sources[1], 9u);

    // A fog colour light with a dynamic blue: declared first, then fogstart.
    ShaderInputs in = {};
    in.fog_light = true;
    in.fog_slot[0] = dynamic_slot_from_float(0.2f);
    in.fog_slot[1] = dynamic_slot_from_float(0.3f);
    in.fog_dynamic[2] = 1;
    in.fog_slot[2] = 11;
    Generated f = generate(m, in);
    EXPECT_EQ(f.fragment,
              "varying vec4 Color;\nuniform float u2;\nuniform float u3;\n" + kMain +
                  "  vec4 fogcolor = vec4(0.200000, 0.300000, u2, 1.0);\n  float fogstart = u3;\n"
                  "  float fogend = 50.000000;\n"
                  "  float z = (gl_FragCoord.z / gl_FragCoord.w - fogstart) / (fogend - fogstart);\n"
                  "  fogcolor.w = Color.w;\n"
                  "  gl_FragColor = mix(Color, fogcolor, clamp(z, 0.0, 1.0));\n}");
    EXPECT_EQ(f.sources[1], 11u);
    EXPECT_EQ(f.sources[2], 9u);
}

TEST(ShaderText, TextureTwoWithoutTextureOne) {
    Material m = base_material();
    m.texture[1] = 1;
    ShaderInputs in = {};
    in.texture[1] = true;
    in.texture_kind[1] = TEXTURE_BITMAP;
    Generated g = generate(m, in);
    EXPECT_EQ(g.vertex, kHead +
                            "varying vec2 TexCoordOut2;\nattribute vec2 TexCoordIn2;\nvarying vec4 Color;\n" +
                            kMain + kMp + "  Color = vec4(1.000000, 0.500000, 0.250000, 1.000000);\n" + kEnd);
    EXPECT_EQ(g.fragment, "varying vec2 TexCoordOut2;\nuniform sampler2D Texture1;\nvarying vec4 Color;\n" +
                              kMain + "  gl_FragColor = Color;\n}");
}

TEST(ShaderText, CubeTextureWithReflectionCoordinates) {
    Material m = base_material();
    m.texture[0] = 1;
    m.cgenmode[0] = 2;
    m.normalization = 1;
    ShaderInputs in = {};
    in.texture[0] = true;
    in.texture_kind[0] = TEXTURE_CUBE;
    Generated g = generate(m, in);
    EXPECT_EQ(g.vertex, kHead +
                            "varying vec3 TexCoordOut1;\nuniform mat4 TextureMatrix;\nvarying vec4 Color;\n" +
                            kMain + kMp + "  vec3 n = normalize(NormalMatrix * Normal);\n" +
                            "  Color = vec4(1.000000, 0.500000, 0.250000, 1.000000);\n" +
                            "  vec3 ue = normalize(vec3(mp));\n  vec3 r = reflect(ue, n);\n" +
                            "  TexCoordOut1.x = TextureMatrix[0][0] * r.x + TextureMatrix[0][1] * r.y + "
                            "TextureMatrix[0][2] * r.z;\n"
                            "  TexCoordOut1.y = TextureMatrix[1][0] * r.x + TextureMatrix[1][1] * r.y + "
                            "TextureMatrix[1][2] * r.z;\n"
                            "  TexCoordOut1.z = TextureMatrix[2][0] * r.x + TextureMatrix[2][1] * r.y + "
                            "TextureMatrix[2][2] * r.z;\n" +
                            kEnd);
    EXPECT_EQ(g.fragment, "varying vec3 TexCoordOut1;\nuniform samplerCube Texture0;\nvarying vec4 Color;\n" +
                              kMain +
                              "  vec4 texunit1 = Color * textureCube(Texture0, TexCoordOut1);\n"
                              "  gl_FragColor = texunit1;\n}");
}

TEST(ShaderText, Dot3GivesAlphaZeroBeforeTextureThree) {
    Material m = base_material();
    m.texture[0] = 1;
    m.texture[1] = 2;
    m.function[0] = 2;
    m.function[1] = 2;
    ShaderInputs in = {};
    in.texture[0] = in.texture[1] = true;
    Generated g = generate(m, in);
    EXPECT_EQ(g.fragment,
              "varying vec2 TexCoordOut1;\nuniform sampler2D Texture0;\n"
              "varying vec2 TexCoordOut2;\nuniform sampler2D Texture1;\nvarying vec4 Color;\n" +
                  kMain +
                  "  vec4 texunit1 = texture2D(Texture0, TexCoordOut1);\n"
                  "  float x = dot((texunit1.rgb - 0.5) * 2.0, (texture2D(Texture1, TexCoordOut2).rgb "
                  "- 0.5) * 2.0);\n  x = clamp(x, 0.0, 1.0);\n  vec4 texunit2 = vec4(x, x, x, 0.0);\n"
                  "  gl_FragColor = texunit2;\n}");
    // With texture 3 the dot3 result is added to it.
    m.texture[2] = 3;
    in.texture[2] = true;
    Generated three = generate(m, in);
    EXPECT_NE(three.fragment.find(
                  "  vec4 texunit2 = vec4(x, x, x, 0.0) + Color * texture2D(Texture2, TexCoordOut3);\n"),
              std::string::npos);
}

TEST(ShaderText, TwoLightsRotatedSphereMapAndFunctionsByHand) {
    Material m = base_material();
    m.texture[0] = 1;
    m.cgenmode[0] = 1;
    m.rotation[0] = 1;
    m.function[0] = 1;
    m.texture[1] = 2;
    m.function[1] = 4;
    m.fogtype = 2;
    m.values[DYN_FOGSTART] = dynamic_slot_from_float(1.0f);
    m.values[DYN_FOGEND] = dynamic_slot_from_float(2.0f);
    const float l[6] = {0, 0, 0, 1, 1, 1};
    ShaderInputs in = with_light(l, 5, 8); // light 1 diffuse blue dynamic
    in.light[1] = true;
    in.light_dynamic[1][0] = 1; // light 2 ambient red dynamic
    in.light_slot[1][0] = 6;
    in.texture[0] = in.texture[1] = true;
    Generated g = generate(m, in);
    const std::string vertex = g.vertex;
    // Declaration order: light 1's uniform before LightPosition2 and light 2's.
    EXPECT_NE(vertex.find("uniform vec4 LightPosition1;\nuniform float u1;\nuniform vec4 LightPosition2;\n"
                          "uniform float u2;\n"),
              std::string::npos);
    EXPECT_NE(vertex.find("  vec3 diffuse1 = vec3(1.000000, 1.000000, u1);\n"), std::string::npos);
    EXPECT_NE(vertex.find("  vec3 ambient2 = vec3(u2, 0.000000, 0.000000);\n"), std::string::npos);
    EXPECT_NE(vertex.find("  vec3 Color2 = vec3("), std::string::npos);
    EXPECT_NE(
        vertex.find("  float rz = r.z + 1.0;\n  float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + rz * rz);\n"
                    "  vec2 rr;\n  rr.x = r.x / m;\n  rr.y = r.y / m;\n"
                    "  TexCoordOut1.s = TextureMatrix[0][0] * rr.x + TextureMatrix[0][1] * rr.y + 0.5;\n"
                    "  TexCoordOut1.t = TextureMatrix[1][0] * rr.x + TextureMatrix[1][1] * rr.y + 0.5;\n"
                    "  TexCoordOut2 = TexCoordIn2;\n"),
        std::string::npos);
    EXPECT_EQ(
        g.fragment,
        "varying vec2 TexCoordOut1;\nuniform sampler2D Texture0;\nvarying vec2 TexCoordOut2;\n"
        "uniform sampler2D Texture1;\nvarying vec4 Color;\n" +
            kMain +
            "  vec4 fogcolor = vec4(1.0, 1.0, 1.0, 1.0);\n  float fogstart = 1.000000;\n  float fogend = "
            "2.000000;\n"
            "  float z = (gl_FragCoord.z / gl_FragCoord.w - fogstart) / (fogend - fogstart);\n"
            "  vec4 texunit1 = vec4(Color.x, Color.y, Color.z, 1.0) * texture2D(Texture0, TexCoordOut1);\n"
            "  vec4 texunit2 = Color.a * texture2D(Texture1, TexCoordOut2) + (1.0 - Color.a) * texunit1;\n"
            "  fogcolor.w = texunit2.w;\n  gl_FragColor = mix(texunit2, fogcolor, clamp(z, 0.0, 1.0));\n}");
    EXPECT_EQ(g.sources[0], 8u);
    EXPECT_EQ(g.sources[1], 6u);
    // Light 2 without light 1 writes no light code at all.
    ShaderInputs only2 = {};
    only2.light[1] = true;
    Generated none = generate(base_material(), only2);
    EXPECT_EQ(none.vertex.find("Light"), std::string::npos);
}

// GLSL ES 3.00 for WebGL: the words that changed, each whole, and the header every shader needs.
TEST(ShaderText, TranslatesToGlslEs3) {
    const std::string header = "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                               "precision highp sampler2D;\nprecision highp samplerCube;\n";
    struct Case {
        bool fragment;
        const char *in, *out;
    } cases[] = {
        {false, "attribute vec4 Position;\nvarying vec2 T;\nvoid main() { gl_Position = Position; }",
         "in vec4 Position;\nout vec2 T;\nvoid main() { gl_Position = Position; }"},
        {true,
         "varying vec2 T;\nuniform sampler2D S;\nuniform samplerCube C;\n"
         "void main() { gl_FragColor = texture2D(S, T) * textureCube(C, vec3(T, 1.0)); }",
         "out vec4 FragColorOut;\nin vec2 T;\nuniform sampler2D S;\nuniform samplerCube C;\n"
         "void main() { FragColorOut = texture(S, T) * texture(C, vec3(T, 1.0)); }"},
        // Whole words only; a document's own #version line gives way.
        {false, "#version 120\nattribute float myattribute_x;\nvarying float varying2;\nfloat texture2Dx;",
         "\nin float myattribute_x;\nout float varying2;\nfloat texture2Dx;"},
        {true, "", "out vec4 FragColorOut;\n"},
    };
    for (const Case &c : cases) {
        uint32_t length = 0;
        char *out = shader_text_to_es3(c.in, uint32_t(std::strlen(c.in)), c.fragment, &length);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(std::string(out, length), header + c.out) << c.in;
        std::free(out);
    }
}

} // namespace
