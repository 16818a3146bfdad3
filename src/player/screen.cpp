#include "player/screen.h"

namespace player {

static constexpr ScreenSize kResolutions[kResolutionCount] = {
    {0, 0},       {320, 240},  {400, 300},   {512, 384},   {640, 480},    {800, 600},
    {1024, 768},  {1280, 720}, {1280, 1024}, {1440, 900},  {1600, 1200},  {1920, 1080},
};
static_assert(sizeof(kResolutions) / sizeof(kResolutions[0]) == kResolutionCount, "one size per launcher row");

static constexpr float kAspects[kAspectCount] = {0.0f, 1.3333334f, 1.7777778f, 1.6f};
static_assert(sizeof(kAspects) / sizeof(kAspects[0]) == kAspectCount, "one ratio per launcher row");

ScreenSize screen_size_for(int resolution_index, int32_t desktop_width, int32_t desktop_height) {
    if (resolution_index <= 0 || resolution_index >= kResolutionCount) return ScreenSize{desktop_width, desktop_height};
    return kResolutions[resolution_index];
}

float screen_aspect_for(int aspect_index, ScreenSize screen) {
    if (aspect_index <= 0 || aspect_index >= kAspectCount)
        return screen.height ? static_cast<float>(screen.width) / static_cast<float>(screen.height) : 1.7777778f;
    return kAspects[aspect_index];
}

render::Viewport screen_viewport_fit(ScreenSize screen, float aspect) {
    render::Viewport v;
    if (aspect >= 1.7777777777) {
        uint16_t width = static_cast<uint16_t>(screen.width * (1.7777778f / aspect));
        v.width = width;
        v.height = static_cast<uint16_t>(screen.height);
        v.x = static_cast<uint16_t>((screen.width - width) / 2);
        v.y = 0;
    } else {
        uint16_t height = static_cast<uint16_t>(screen.height * (aspect * 0.5625f));
        v.width = static_cast<uint16_t>(screen.width);
        v.height = height;
        v.x = 0;
        v.y = static_cast<uint16_t>((screen.height - height) / 2);
    }
    return v;
}

} // namespace player
