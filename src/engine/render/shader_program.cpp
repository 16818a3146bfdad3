#include "render/shader_program.h"

#include "render/gl_driver.h"
#include "resources/log.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace render {

static const char *const kUniformNames[kUniformCount] = {
    "u1",  "u2",  "u3",  "u4",  "u5",  "u6",  "u7",  "u8",  "u9",  "u10", "u11", "u12",
    "u13", "u14", "u15", "u16", "u17", "u18", "u19", "u20", "u21", "u22", "u23", "u24"};
static_assert(sizeof(kUniformNames) / sizeof(kUniformNames[0]) == kUniformCount, "one name per uniform");

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
    p->loc_modelmatrix = glGetUniformLocation(prog, "Modelmatrix");
    p->loc_viewmatrix = glGetUniformLocation(prog, "Viewmatrix");
    p->loc_projection = glGetUniformLocation(prog, "Projection");
    p->loc_modelview = glGetUniformLocation(prog, "Modelview");
    p->loc_position = glGetAttribLocation(prog, "Position");
    for (int i = 0; i < 3; i++) {
        p->loc_texcoord_in[i] = -1;
        if (!m->texture[i]) continue;
        char name[16];
        if (m->cgenmode[i] == 0) {
            std::snprintf(name, sizeof name, "TexCoordIn%d", i + 1);
            p->loc_texcoord_in[i] = glGetAttribLocation(prog, name);
        }
        std::snprintf(name, sizeof name, "Texture%d", i);
        GLint sampler = glGetUniformLocation(prog, name);
        if (sampler >= 0) glUniform1i(sampler, i);
    }
    p->loc_normal_matrix = glGetUniformLocation(prog, "NormalMatrix");
    p->loc_normal = glGetAttribLocation(prog, "Normal");
    p->loc_texture_matrix = glGetUniformLocation(prog, "TextureMatrix");
    for (int i = 0; i < kUniformCount; i++)
        p->loc_uniforms[i] = glGetUniformLocation(prog, kUniformNames[i]);
    p->loc_light_position[0] = glGetUniformLocation(prog, "LightPosition1");
    p->loc_light_position[1] = glGetUniformLocation(prog, "LightPosition2");

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
