// The OpenGL window: opening it with the multisample fallback, the extension loader and version
// check, the capability tests and the initial OpenGL state.
#pragma once

#include "player/launcher_choices.h"
#include "player/screen.h"
#include "render/capabilities.h"
#include "textures/texture_format.h"

#include <cstdint>

namespace player {

struct GlWindow {
    ScreenSize screen;
    float aspect;
    render::Viewport viewport;
    render::Capabilities caps;
    render::Capabilities loading_caps; // caps without VBO, PBO and NPOT
    textures::TextureFormatTable formats;
    uint32_t framebuffer; // the one framebuffer object, 0 without EXT_framebuffer_object
    int8_t glsl;          // 1 generated GLSL shaders, 0 texture combiners
    // Fatal errors wait in the modal "Error" box (the player); otherwise (command-line tools) they
    // only go to standard error.
    bool error_window;
};

// Requests a 2-sample multisample buffer (call before gl_window_open when antialiasing is on).
void gl_window_request_multisample();

// Opens the window at win->screen (fullscreen when asked), retrying without multisampling when
// that was requested. On failure probes a 320 x 240 window, shuts SDL down, logs and shows the
// fatal message, and returns false (the program then ends with status 0).
bool gl_window_open(GlWindow *win, bool fullscreen, bool antialiasing, const char *caption);

// Loads the extensions (fatal without OpenGL 1.3: logged, shown, false), tests and logs the
// capabilities, builds the texture format table and the loading capabilities, and sets the
// initial OpenGL state. first_argument is the first program argument or null.
bool gl_window_setup(GlWindow *win, bool vbo_switch, const char *first_argument);

// Swaps the buffers of the window.
void gl_window_swap();

} // namespace player
