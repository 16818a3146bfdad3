// The user's choices before the demo starts, as the launcher hands them to the start-up sequence.
#pragma once

#include <cstdint>

namespace player {

enum RenderPath : uint8_t { RENDER_PATH_COMBINERS = 0, RENDER_PATH_GLSL = 1 };

struct LauncherChoices {
    uint8_t resolution_index; // 0..11, 0 = current desktop resolution
    uint8_t aspect_index;     // 0 auto, 1 4:3, 2 16:9, 3 16:10
    uint8_t render_path;
    int8_t fullscreen;   // +1 on, -1 off
    int8_t antialiasing; // +1 on, -1 off
    int8_t music;        // +1 on, -1 off
    int8_t vbo;          // +1 on, -1 off
};

// Desktop resolution, automatic aspect, GLSL shaders, and all four switches on.
inline LauncherChoices launcher_defaults() { return LauncherChoices{0, 0, RENDER_PATH_GLSL, 1, 1, 1, 1}; }

} // namespace player
