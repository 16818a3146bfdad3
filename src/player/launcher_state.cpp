#include "player/launcher_state.h"

namespace player {

static uint8_t row_from_y(const int16_t *last_y, int count, int32_t y) {
    uint8_t row = 0;
    while (row < count && y > last_y[row])
        ++row;
    return row;
}

LauncherHit launcher_hit_test(int32_t x, int32_t y) {
    for (const LauncherHitArea &a : kLauncherHitAreas) {
        if (!launcher_rect_contains(a.rect, x, y)) continue;
        switch (a.area) {
        case LAUNCHER_AREA_RESOLUTION:
            return {a.area, row_from_y(kResolutionRowLastY, kLauncherResolutionRows - 1, y)};
        case LAUNCHER_AREA_ASPECT: return {a.area, row_from_y(kAspectRowLastY, kLauncherAspectRows - 1, y)};
        default: return {a.area, 0};
        }
    }
    return {LAUNCHER_AREA_NONE, 0};
}

LauncherState launcher_state_initial() {
    LauncherState s = {};
    s.choices = launcher_defaults();
    launcher_state_drawn(&s);
    return s;
}

void launcher_state_drawn(LauncherState *s) {
    s->drawn_resolution = s->choices.resolution_index;
    s->drawn_aspect = s->choices.aspect_index;
    s->drawn_render_path = s->choices.render_path;
    s->drawn_pressed_look = s->pressed_look;
}

// Negates a switch once per press.
static bool toggle(LauncherState *s, int8_t *value) {
    if (s->toggle_latch) return false;
    *value = int8_t(-*value);
    s->toggle_latch = true;
    return true;
}

LauncherStep launcher_state_round(LauncherState *s, int32_t x, int32_t y, bool button_down) {
    if (!button_down) {
        if (s->start_pressed && launcher_hit_test(x, y).area == LAUNCHER_AREA_START)
            return LAUNCHER_STEP_START;
        s->start_pressed = false;
        s->toggle_latch = false;
        // Released off the button in the same round that it left it: the pressed look would
        // otherwise stay on screen until the next press.
        if (s->pressed_look) {
            s->pressed_look = false;
            return LAUNCHER_STEP_REDRAW;
        }
        return LAUNCHER_STEP_WAIT;
    }

    LauncherHit hit = launcher_hit_test(x, y);
    LauncherChoices &c = s->choices;
    bool toggled = false;
    s->pressed_look = false;
    switch (hit.area) {
    case LAUNCHER_AREA_RESOLUTION: c.resolution_index = hit.row; break;
    case LAUNCHER_AREA_ASPECT: c.aspect_index = hit.row; break;
    case LAUNCHER_AREA_COMBINERS: c.render_path = RENDER_PATH_COMBINERS; break;
    case LAUNCHER_AREA_GLSL: c.render_path = RENDER_PATH_GLSL; break;
    case LAUNCHER_AREA_START:
        s->start_pressed = true;
        s->pressed_look = true;
        break;
    case LAUNCHER_AREA_FULLSCREEN: toggled = toggle(s, &c.fullscreen); break;
    case LAUNCHER_AREA_ANTIALIASING: toggled = toggle(s, &c.antialiasing); break;
    case LAUNCHER_AREA_MUSIC: toggled = toggle(s, &c.music); break;
    case LAUNCHER_AREA_VBO: toggled = toggle(s, &c.vbo); break;
    default: break;
    }
    bool changed = toggled || c.resolution_index != s->drawn_resolution ||
                   c.aspect_index != s->drawn_aspect || c.render_path != s->drawn_render_path ||
                   s->pressed_look != s->drawn_pressed_look;
    return changed ? LAUNCHER_STEP_REDRAW : LAUNCHER_STEP_WAIT;
}

} // namespace player
