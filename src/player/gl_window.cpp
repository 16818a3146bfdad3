#include "player/gl_window.h"

#include "player/capabilities.h"
#include "player/platform/platform.h"
#include "player/platform/platform_gl.h"
#include "render/frame.h"
#include "maths/matrix.h"
#include "textures/texture_generators.h"
#include "resources/log.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdio>
#include <string>

namespace player {

void gl_window_request_multisample() {
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 2);
}

static void fatal(const GlWindow *win, const char *text) {
    resources::log_line(text);
    if (win->error_window)
        platform_show_error(text);
    else
        std::fprintf(stderr, "%s\n", text);
}

bool gl_window_open(GlWindow *win, bool fullscreen, bool antialiasing, const char *caption) {
    Uint32 flags = SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT | (fullscreen ? SDL_FULLSCREEN : 0);
    SDL_Surface *surface = SDL_SetVideoMode(win->screen.width, win->screen.height, 24, flags);
    if (!surface && antialiasing) {
        resources::log_line("Failed to create opengl context, trying without antialiasing.");
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
        surface = SDL_SetVideoMode(win->screen.width, win->screen.height, 24, flags);
        if (surface) resources::log_line("Success! :)");
    }
    if (!surface) {
        SDL_Surface *probe = SDL_SetVideoMode(320, 240, 24, SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT);
        SDL_Quit();
        if (probe)
            fatal(win, "Error: failed to create opengl context, please try another resolution.");
        else
            fatal(win, "Error: failed to create opengl context, please install OpenGL driver.");
        return false;
    }
    SDL_WM_SetCaption(caption, caption);
    return true;
}

bool gl_window_setup(GlWindow *win, bool vbo_switch, const char *first_argument) {
    GlProbe probe;
    if (!platform_gl_probe(&probe)) {
        SDL_Quit();
        fatal(win, "Error: OpenGL 1.3 required, please install a proper OpenGL driver.");
        return false;
    }
    if (!win->glsl && !platform_gl_has_fixed_function()) {
        resources::log_line("No texture combiners here: using GLSL shaders.");
        win->glsl = 1;
    }
    std::string log;
    capabilities_decide(probe, vbo_switch, win->glsl != 0, first_argument, &win->caps, &log);
    resources::log_format("%s", log.c_str());

    if (win->caps.vbo && !probe.version_1_5) platform_gl_buffers_from_arb();
    if (win->caps.texture_compression) glHint(GL_TEXTURE_COMPRESSION_HINT, GL_NICEST);
    win->framebuffer = 0;
    if (win->caps.fbo) {
        GLuint name = 0;
        glGenFramebuffersEXT(1, &name);
        win->framebuffer = name;
    }
    win->formats = textures::texture_format_table_build(win->caps.texture_compression != 0);
    win->loading_caps = render::capabilities_for_loading(win->caps);

    maths::matrix_reset(maths::matrix_state());
    render::render_set_framebuffer(win->framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapBuffers();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    const render::Viewport &v = win->viewport;
    glViewport(v.x, v.y, v.width, v.height);
    glScissor(v.x, v.y, v.width, v.height);
    glEnable(GL_SCISSOR_TEST);
    textures::maze_tiles_build();
    if (!win->glsl) {
        glShadeModel(GL_SMOOTH);
        glEnable(GL_COLOR_MATERIAL);
        const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    }
    SDL_GL_SwapBuffers();
    return true;
}

void gl_window_swap() {
    SDL_GL_SwapBuffers();
}

} // namespace player
