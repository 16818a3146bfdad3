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

} // namespace render
