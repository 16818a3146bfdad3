// The launcher window's geometry and colours: the window, its six pictures and where they are
// drawn, the rows of the three lists and the switch marks, the panels and labels of the artwork.
// Shared by the launcher and by the program that draws the artwork at build time.
#pragma once

#include <cstdint>

namespace player {

constexpr int32_t kLauncherWidth = 461;
constexpr int32_t kLauncherHeight = 384;

struct LauncherRect {
    int16_t x0, y0, x1, y1; // inclusive
};

constexpr bool launcher_rect_contains(LauncherRect r, int32_t x, int32_t y) {
    return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
}

struct LauncherRgb {
    uint8_t r, g, b;
};

constexpr LauncherRgb kLauncherBlack = {0, 0, 0};
constexpr LauncherRgb kLauncherBackdrop = {130, 176, 241};
// The panels' fill, and the colour key of the overlays (so only their outlines show on a panel).
constexpr LauncherRgb kLauncherPanelFill = {192, 216, 247};
constexpr LauncherRgb kLauncherPressedFill = {197, 222, 162};

enum LauncherPicture : uint8_t {
    LAUNCHER_BACKGROUND = 0,
    LAUNCHER_RESOLUTION_FRAME = 1,
    LAUNCHER_ASPECT_FRAME = 2,
    LAUNCHER_CHECK_MARK = 3,
    LAUNCHER_PRESSED_START = 4,
    LAUNCHER_RENDER_PATH_FRAME = 5,
    LAUNCHER_PICTURE_COUNT = 6,
};

struct LauncherPictureSpec {
    int16_t width, height;
    bool colour_key; // drawn with kLauncherPanelFill transparent
    int16_t x;       // left edge in the window; the top comes from the row tables below
};

constexpr LauncherPictureSpec kLauncherPictureSpecs[] = {
    {461, 384, false, 0},  // background
    {162, 27, true, 6},    // resolution frame
    {75, 27, true, 185},   // aspect frame
    {22, 22, true, 279},   // check mark
    {247, 62, false, 196}, // pressed start button
    {228, 29, true, 207},  // render-path frame
};
static_assert(sizeof kLauncherPictureSpecs / sizeof kLauncherPictureSpecs[0] == LAUNCHER_PICTURE_COUNT,
              "one entry per picture");

constexpr int kLauncherResolutionRows = 12;
constexpr int kLauncherAspectRows = 4;
constexpr int kLauncherRenderPathRows = 2;
constexpr int kLauncherSwitches = 4;

// Top edge of each picture per row.
constexpr int16_t kResolutionFrameY[kLauncherResolutionRows] = {9,   35,  66,  97,  128, 159,
                                                                191, 222, 253, 284, 315, 347};
constexpr int16_t kAspectFrameY[kLauncherAspectRows] = {8, 39, 70, 102};
constexpr int16_t kRenderPathFrameY[kLauncherRenderPathRows] = {315, 346};
constexpr int16_t kCheckMarkY[kLauncherSwitches] = {10, 40, 71, 103}; // fullscreen, antialiasing, music, VBO
constexpr int16_t kPressedStartY = 188;

// The artwork: five rounded panels on the backdrop, joined to the start button by lines.
constexpr LauncherRect kResolutionPanel = {3, 2, 171, 381};
constexpr LauncherRect kAspectPanel = {179, 3, 265, 135};
constexpr LauncherRect kSwitchPanel = {272, 2, 457, 134};
constexpr LauncherRect kStartButton = {196, 187, 442, 248};
constexpr LauncherRect kRenderPathPanel = {202, 310, 439, 379};

constexpr const char *kResolutionLabels[kLauncherResolutionRows] = {
    "Current resolution", "320x240",  "400x300",   "512x384",  "640x480",   "800x600",
    "1024x768",           "1280x720", "1280x1024", "1440x900", "1600x1200", "1920x1080"};
constexpr const char *kAspectLabels[kLauncherAspectRows] = {"Auto", "4:3", "16:9", "16:10"};
constexpr const char *kSwitchLabels[kLauncherSwitches] = {"Fullscreen", "Antialising", "Music",
                                                          "VBO support"};
constexpr const char *kStartLabel = "Start demo";
constexpr const char *kRenderPathLabels[kLauncherRenderPathRows] = {"Texture combiners", "GLSL shaders"};

} // namespace player
