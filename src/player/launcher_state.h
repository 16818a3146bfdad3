// The launcher's behaviour without any window: what a mouse position hits, and how the choices,
// the switch latch and the start button follow the mouse from one polling round to the next.
#pragma once

#include "player/launcher_choices.h"
#include "player/launcher_layout.h"

#include <cstdint>

namespace player {

enum LauncherArea : uint8_t {
    LAUNCHER_AREA_NONE = 0,
    LAUNCHER_AREA_RESOLUTION = 1,
    LAUNCHER_AREA_ASPECT = 2,
    LAUNCHER_AREA_COMBINERS = 3,
    LAUNCHER_AREA_GLSL = 4,
    LAUNCHER_AREA_START = 5,
    LAUNCHER_AREA_FULLSCREEN = 6,
    LAUNCHER_AREA_ANTIALIASING = 7,
    LAUNCHER_AREA_MUSIC = 8,
    LAUNCHER_AREA_VBO = 9,
};

struct LauncherHitArea {
    LauncherRect rect;
    uint8_t area; // LauncherArea
};

// Tested in this order; the first that contains the position wins. The resolution list reaches to
// the bottom of the window.
// clang-format off
constexpr LauncherHitArea kLauncherHitAreas[] = {
    {{8, 15, 167, INT16_MAX}, LAUNCHER_AREA_RESOLUTION},
    {{186, 10, 261, 130}, LAUNCHER_AREA_ASPECT},
    {{212, 316, 433, 340}, LAUNCHER_AREA_COMBINERS},
    {{212, 344, 433, 372}, LAUNCHER_AREA_GLSL},
    {{201, 192, 436, 243}, LAUNCHER_AREA_START},
    {{283, 14, 295, 26}, LAUNCHER_AREA_FULLSCREEN},
    {{283, 45, 295, 57}, LAUNCHER_AREA_ANTIALIASING},
    {{283, 76, 295, 89}, LAUNCHER_AREA_MUSIC},
    {{283, 106, 295, 120}, LAUNCHER_AREA_VBO},
};
// clang-format on
static_assert(sizeof kLauncherHitAreas / sizeof kLauncherHitAreas[0] == 9, "nine areas react to the mouse");

// Last y of each row but the last, within the resolution and aspect areas.
constexpr int16_t kResolutionRowLastY[kLauncherResolutionRows - 1] = {33,  63,  93,  126, 156, 189,
                                                                      219, 249, 282, 313, 344};
constexpr int16_t kAspectRowLastY[kLauncherAspectRows - 1] = {35, 66, 99};

struct LauncherHit {
    uint8_t area; // LauncherArea
    uint8_t row;  // row of the resolution or aspect list; 0 elsewhere
};

// What the window position (x, y) hits.
LauncherHit launcher_hit_test(int32_t x, int32_t y);

struct LauncherState {
    LauncherChoices choices;
    bool toggle_latch;  // a switch changed during this press
    bool start_pressed; // the press reached the start button and the button is still down
    bool pressed_look;  // the start button is to be shown pressed
    // What the window shows now, to redraw only on a change.
    uint8_t drawn_resolution, drawn_aspect, drawn_render_path;
    bool drawn_pressed_look;
};

enum LauncherStep : uint8_t {
    LAUNCHER_STEP_WAIT = 0,   // nothing to show
    LAUNCHER_STEP_REDRAW = 1, // draw the state, then launcher_state_drawn
    LAUNCHER_STEP_START = 2,  // released on the start button: the choices are final
};

// The defaults, drawn as they are shown first.
LauncherState launcher_state_initial();

// One polling round with the mouse at (x, y) and the left button down or up.
LauncherStep launcher_state_round(LauncherState *state, int32_t x, int32_t y, bool button_down);

// Records that the window now shows the state.
void launcher_state_drawn(LauncherState *state);

} // namespace player
