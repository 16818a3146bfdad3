// Composing one frame: the 24 layer slots of a scene drawn at a time.
#pragma once

#include "render/capabilities.h"

#include <cstdint>

namespace scene {
struct Scene;
}

namespace render {

// Draws the scene at time t (hundredths of a second) into a window of the given size, inside the
// viewport rectangle. Returns the number of layers that drew an object; 0 means the timeline has
// nothing left to show (always 0 when layer slot 0 is empty).
uint32_t render_at_time(scene::Scene *sc, uint32_t t, uint16_t window_width, uint16_t window_height,
                        Viewport viewport, const Capabilities &caps, int8_t glsl);

// The frame buffer object made at start-up (0 without EXT_framebuffer_object).
void render_set_framebuffer(uint32_t framebuffer);

// Forgets a render-to-texture in progress (a new scene or a new window).
void render_reset_targets();

// The projection matrices of a layer, in column order: y-down orthographic (left 0, right 1,
// bottom 1, top 0, near -1, far 1) and the perspective for a vertical field of view in degrees.
void projection_ortho(float out[16]);
void projection_perspective(float out[16], float fov_degrees, float aspect, float near_plane, float far_plane);

} // namespace render
