// What the capture commands share: an OpenGL window like the player's and the package's demo
// document loaded into a scene as the player loads it (no loading scene, no progress frames).
#pragma once

#include "player/gl_window.h"

#include <cstdint>

namespace scene {
struct Scene;
}

namespace tools {

struct ToolScene {
    player::GlWindow win;
    scene::Scene *demo;
};

struct ToolSceneOptions {
    const char *package;
    int width, height; // the window
    bool combiners;    // texture-combiner path instead of GLSL
    bool no_fbo;       // render targets by copying from the window
};

// Opens the window and loads "demo.xmlz". On failure prints "bvtool: COMMAND: ..." and returns
// false with nothing left open. The player's log lines go to standard error.
bool tool_scene_open(const char *command, const ToolSceneOptions &options, ToolScene *out);

// Frees the scene and closes the window.
void tool_scene_close(ToolScene *ts);

// Clears the whole window to black, bars included (a window's first back buffer holds whatever
// the driver left there).
void tool_scene_clear_window();

// Draws the demo at demo time ms (milliseconds) as one frame; returns the layers that drew.
uint32_t tool_scene_render(ToolScene *ts, uint32_t ms);

// Parses a non-negative decimal millisecond count; false when the text is not one.
bool tool_parse_ms(const char *text, uint32_t *ms);

} // namespace tools
