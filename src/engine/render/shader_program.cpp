#include "render/shader_program.h"

#include "render/gl_driver.h"
#include "resources/log.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace render {

const ProgramInputDescriptor kProgramInputs[kProgramInputCount] = {
    {"Position", 0, 0, PROGRAM_ATTRIBUTE, "vec4",
     "vertex position, 3 floats a vertex (w reads 1): the mesh's, or a Rippler's moved copy",
     "each draw: the array is enabled for the draw and disabled after it"},
    {"Normal", 0, 0, PROGRAM_ATTRIBUTE, "vec3", "vertex normal, 3 floats a vertex, from the same mesh",
     "each draw, like Position"},
    {"TexCoordIn", 1, 3, PROGRAM_ATTRIBUTE, "vec2",
     "TexCoordInN: coordinates for textureN, 2 floats a vertex: the mesh's Nth coordinate set, or its "
     "first when it has fewer than N; (0, 0) when it has none",
     "each material application, only where the material sets textureN with cgenmode 0 (the name is "
     "looked up only then)"},
    {"Modelmatrix", 0, 0, PROGRAM_UNIFORM, "mat4",
     "the instance's placement: translate(position), the face-camera turn, rotate about x, then y, then z, "
     "scale",
     "each instance"},
    {"Viewmatrix", 0, 0, PROGRAM_UNIFORM, "mat4",
     "the camera: rotate about z, then x, then y by the layer's rotations, then translate by minus its "
     "position",
     "each draw, before its instances"},
    {"Projection", 0, 0, PROGRAM_UNIFORM, "mat4",
     "the layer's projection: perspective (vertical field of view, aspect, near 0.1, far) or orthographic",
     "each draw, before its instances"},
    {"Modelview", 0, 0, PROGRAM_UNIFORM, "mat4", "Viewmatrix x Modelmatrix", "each instance"},
    {"NormalMatrix", 0, 0, PROGRAM_UNIFORM, "mat3",
     "the inverse of Modelview's upper-left 3 x 3, transposed (identity when it has none)", "each instance"},
    {"TextureMatrix", 0, 0, PROGRAM_UNIFORM, "mat4",
     "identity; for a texture with rotation set, rotated about z by the camera's rotation about Y; for a "
     "cube map without it, rotated about x by the camera's rotation about X, then about y by its rotation "
     "about Y",
     "each material application, once for each texture present, in order: the last one's stays"},
    {"LightPosition", 1, 2, PROGRAM_UNIFORM, "vec4",
     "LightPositionN: (x, y, z, 1), the position of the material's lightN at the item's time, in world "
     "coordinates (the generated programs light with Viewmatrix x LightPositionN)",
     "each material application, where the material's lightN names a light"},
    {"u", 1, kUniformCount, PROGRAM_UNIFORM, "float",
     "uN: the value at the item's time of the function that glsl_uniforms names for uN (in a generated "
     "program, the material's dynamic values in turn)",
     "each material application, for each uN whose function is not 0"},
    {"Texture", 0, 3, PROGRAM_UNIFORM, "sampler2D, or samplerCube for a cube map",
     "TextureN: texture unit N, which holds the material's texture(N + 1)",
     "set to unit N once, when the program is compiled, for each texture the material sets; the texture "
     "is bound to the unit at each material application"},
};
static_assert(sizeof(kProgramInputs) / sizeof(kProgramInputs[0]) == kProgramInputCount, "one row per input");

void program_input_name(ProgramInput input, int number, char *out, size_t size) {
    if (!out || size == 0) return;
    const ProgramInputDescriptor &d = kProgramInputs[input < kProgramInputCount ? input : 0];
    if (d.count == 0)
        std::snprintf(out, size, "%s", d.name);
    else
        std::snprintf(out, size, "%s%d", d.name, number);
}

static GLint uniform_at(GLuint program, ProgramInput input, int number = 0) {
    char name[32];
    program_input_name(input, number, name, sizeof name);
    return glGetUniformLocation(program, name);
}

static GLint attribute_at(GLuint program, ProgramInput input, int number = 0) {
    char name[32];
    program_input_name(input, number, name, sizeof name);
    return glGetAttribLocation(program, name);
}

// Compiles one shader and appends at most 249 characters of its log; returns the compile status.
static bool compile_one(GLuint shader, const char *text, uint32_t length, bool fragment, char *log,
                        size_t *used) {
    uint32_t driver_length = 0;
    const GLchar *source =
        gl_driver_shader_text(text ? text : "", text ? length : 0, fragment, &driver_length);
    GLint len = static_cast<GLint>(driver_length);
    glShaderSource(shader, 1, &source, &len);
    glCompileShader(shader);
    GLsizei got = 0;
    glGetShaderInfoLog(shader, 250, &got, log + *used);
    *used += static_cast<size_t>(got);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    return ok == GL_TRUE;
}

static void log_lines(const char *text) {
    std::string all(text);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) resources::log_line(line.c_str());
        start = end + 1;
    }
}

bool shader_program_compile(ShaderProgram *p, const Material *m) {
    std::memset(p->info_log, 0, sizeof p->info_log);
    size_t used = 0;
    std::memcpy(p->info_log, "VS:", 3);
    used = 3;
    if (!p->vertex_shader) p->vertex_shader = glCreateShader(GL_VERTEX_SHADER);
    bool vs_ok = compile_one(p->vertex_shader, p->vertex_text, p->vertex_length, false, p->info_log, &used);
    std::memcpy(p->info_log + used, "\nFS:", 4);
    used += 4;
    if (!p->fragment_shader) p->fragment_shader = glCreateShader(GL_FRAGMENT_SHADER);
    bool fs_ok =
        compile_one(p->fragment_shader, p->fragment_text, p->fragment_length, true, p->info_log, &used);

    if (!p->program) {
        p->program = glCreateProgram();
    } else {
        glDetachShader(p->program, p->vertex_shader);
        glDetachShader(p->program, p->fragment_shader);
    }
    glAttachShader(p->program, p->vertex_shader);
    glAttachShader(p->program, p->fragment_shader);
    glLinkProgram(p->program);
    glUseProgram(p->program);
    GLint linked = GL_FALSE;
    glGetProgramiv(p->program, GL_LINK_STATUS, &linked);

    GLuint prog = p->program;
    p->loc_modelmatrix = uniform_at(prog, INPUT_MODELMATRIX);
    p->loc_viewmatrix = uniform_at(prog, INPUT_VIEWMATRIX);
    p->loc_projection = uniform_at(prog, INPUT_PROJECTION);
    p->loc_modelview = uniform_at(prog, INPUT_MODELVIEW);
    p->loc_position = attribute_at(prog, INPUT_POSITION);
    for (int i = 0; i < 3; i++) {
        p->loc_texcoord_in[i] = -1;
        if (!m->texture[i]) continue;
        if (m->cgenmode[i] == 0) p->loc_texcoord_in[i] = attribute_at(prog, INPUT_TEXCOORD_IN, i + 1);
        GLint sampler = uniform_at(prog, INPUT_SAMPLER, i);
        if (sampler >= 0) glUniform1i(sampler, i);
    }
    p->loc_normal_matrix = uniform_at(prog, INPUT_NORMAL_MATRIX);
    p->loc_normal = attribute_at(prog, INPUT_NORMAL);
    p->loc_texture_matrix = uniform_at(prog, INPUT_TEXTURE_MATRIX);
    for (int i = 0; i < kUniformCount; i++)
        p->loc_uniforms[i] = uniform_at(prog, INPUT_UNIFORM, i + 1);
    for (int l = 0; l < 2; l++)
        p->loc_light_position[l] = uniform_at(prog, INPUT_LIGHT_POSITION, l + 1);

    bool ok = vs_ok && fs_ok && linked == GL_TRUE;
    if (!ok) {
        // Authors need to see why: the compile logs, then the link log.
        log_lines(p->info_log);
        if (linked != GL_TRUE) {
            char link_log[1024];
            GLsizei got = 0;
            glGetProgramInfoLog(prog, sizeof link_log, &got, link_log);
            link_log[got] = 0;
            log_lines(link_log);
        }
    }
    return ok;
}

} // namespace render
