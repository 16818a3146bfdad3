// Screen size, display aspect ratio and the rectangle in which the 16:9 demo image is drawn.
#pragma once

#include "render/capabilities.h"

#include <cstdint>

namespace player {

struct ScreenSize {
    int32_t width, height;
};

constexpr int kResolutionCount = 12;
constexpr int kAspectCount = 4;

// The launcher's resolution row: 0 is the desktop size, 1..11 the fixed sizes. Rows outside the
// table give the desktop size.
ScreenSize screen_size_for(int resolution_index, int32_t desktop_width, int32_t desktop_height);

// The monitor's aspect ratio: 0 automatic (width / height), 1 4:3, 2 16:9, 3 16:10.
float screen_aspect_for(int aspect_index, ScreenSize screen);

// Fits the 16:9 demo image into the screen for a monitor of aspect a: bars left and right when
// a >= 16:9, else top and bottom. Conversions truncate.
render::Viewport screen_viewport_fit(ScreenSize screen, float aspect);

} // namespace player
