// What the capture commands share: an OpenGL window like the player's and the package's demo
// document loaded into a scene as the player loads it (no loading scene, no progress frames).
#pragma once

#include "player/gl_window.h"
#include "scene/scene_loader.h"

#include <cstdint>
#include <string>

namespace scene {
struct Scene;
}

namespace tools {

struct ToolScene {
    player::GlWindow win;
    scene::Scene *demo;
    std::string music_file; // the music element's file, "" when it names none
    uint32_t music_offset;  // ms: the demo time at which the music starts
    int exit_status;        // when tool_scene_open fails: the status to end with
};

// The exit status of a command that needs a window where none can be opened (no display, no
// OpenGL): an environment that cannot do the job.
constexpr int kToolNoWindowStatus = 2;

struct ToolSceneOptions {
    const char *package;
    int width, height;               // the window
    bool combiners;                  // texture-combiner path instead of GLSL
    bool no_fbo;                     // render targets by copying from the window
    scene::LoadStageDone stage_done; // null, or told when each stage of the load ends
    void *stage_user;
};

// Opens the window alone (SDL video on a driver that opens windows, never one that draws in the
// terminal; GL set up, capabilities tested) at the options' size. On failure prints one line
// "bvtool: COMMAND: cannot open a window: WHY" (or the OpenGL error and "no OpenGL window") and
// returns false; the command then ends with kToolNoWindowStatus.
bool tool_window_open(const char *command, const ToolSceneOptions &options, player::GlWindow *win);

// Opens the window and loads "demo.xmlz" (the stages after the window). On failure prints "bvtool: COMMAND:
// ..." and returns false with nothing left open, and out->exit_status says how to end
// (kToolNoWindowStatus when the window could not be opened, else 1). The player's log lines go to
// standard error.
bool tool_scene_open(const char *command, const ToolSceneOptions &options, ToolScene *out);

// Frees the scene and closes the window.
void tool_scene_close(ToolScene *ts);

// Clears the whole window to black, bars included (a window's first back buffer holds whatever
// the driver left there).
void tool_scene_clear_window();

// Draws the demo at demo time ms (milliseconds) as one frame; returns the layers that drew.
uint32_t tool_scene_render(ToolScene *ts, uint32_t ms);

// Takes argument i when it is one the scene commands share: the package, "--size WxH",
// "--combiners" or "--no-fbo" (when allow_no_fbo). Returns how many arguments it used (0: not
// one of these), or -1 when its value is bad.
int tool_scene_parse_option(int argc, char **argv, int i, ToolSceneOptions *o, bool allow_no_fbo);

// True when the options name a package and a window of 16 to 8192 pixels each way.
bool tool_scene_options_valid(const ToolSceneOptions &o);

} // namespace tools
