// Draws the launcher's six pictures from its geometry and colours and writes them as BMP files
// embedded in a C++ source (and, when asked, as .bmp files to look at). Runs at build time.
//
//     launcher_artwork OUTPUT.cpp [BMP_FOLDER]
#include "player/artwork/artwork_canvas.h"
#include "player/bitmap_font.h"
#include "player/bitmap_text.h"
#include "player/launcher_layout.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace player {

namespace {

constexpr float kPanelRadius = 10.0f;
constexpr float kButtonRadius = 14.0f;
constexpr float kFrameRadius = 8.0f;
constexpr float kOutline = 2.0f;
constexpr float kFrameOutline = 2.0f;
constexpr float kLineWidth = 2.0f;
constexpr float kSwitchRadius = 7.5f;
constexpr float kSwitchStroke = 1.5f;
constexpr float kCrossHalf = 3.6f;
constexpr float kCrossWidth = 2.0f;
constexpr int32_t kStartLabelScale = 2;
constexpr int32_t kSwitchLabelGap = 8; // from the circle's right edge to the label

bool g_fits = true;

int32_t text_width(const char *text, int32_t scale) {
    return bitmap_text_width(text, int32_t(std::strlen(text)), scale);
}

// Top of the capitals that centres them in a box of the given height at scale 1.
int32_t caps_top(int32_t box_y, int32_t box_height) {
    return box_y + (box_height - kBitmapFontAscent) / 2;
}

// Draws text centred between x0 and x1 (pixel columns, inclusive); notes text that does not fit.
void centred_text(Canvas *c, const char *text, int32_t x0, int32_t x1, int32_t top, int32_t scale) {
    int32_t width = text_width(text, scale);
    if (width > x1 - x0 + 1 - 4) {
        std::fprintf(stderr, "launcher_artwork: \"%s\" does not fit in %d pixels\n", text, x1 - x0 + 1);
        g_fits = false;
    }
    canvas_text(c, text, x0 + (x1 - x0 + 1 - width) / 2, top, scale, kLauncherBlack);
}

void panel(Canvas *c, LauncherRect r, float radius, LauncherRgb fill) {
    canvas_rounded_rect(c, r.x0, r.y0, r.x1 + 1.0f, r.y1 + 1.0f, radius, kOutline, kLauncherBlack, true,
                        fill);
}

// A switch's circle, centred on its check mark's place.
void switch_circle(Canvas *c, float left, float top) {
    const float half = kLauncherPictureSpecs[LAUNCHER_CHECK_MARK].width * 0.5f;
    canvas_ring(c, left + half, top + half, kSwitchRadius, kSwitchStroke, kLauncherBlack);
}

// The whole window's background; pressed draws the start button one pixel lower with its pressed
// fill (the pressed picture is cut out of that).
Canvas background(bool pressed) {
    Canvas c = canvas_create(kLauncherWidth, kLauncherHeight, kLauncherBackdrop);
    LauncherRect button = kStartButton;
    if (pressed) {
        button.y0 = kPressedStartY;
        button.y1 = int16_t(kPressedStartY + kLauncherPictureSpecs[LAUNCHER_PRESSED_START].height - 1);
    }
    const float button_middle_y = (button.y0 + button.y1 + 1) * 0.5f;
    const float button_top = button.y0 + 1.0f, button_bottom = button.y1;

    // The joining lines go first; panels and button cover their ends.
    auto vertical = [&](const LauncherRect &p, float from, float to) {
        float x = float((p.x0 + p.x1 + 1) / 2);
        canvas_segment(&c, x, from, x, to, kLineWidth, kLauncherBlack);
    };
    canvas_segment(&c, kResolutionPanel.x1, button_middle_y, button.x0 + 1.0f, button_middle_y, kLineWidth,
                   kLauncherBlack);
    vertical(kAspectPanel, kAspectPanel.y1, button_top);
    vertical(kSwitchPanel, kSwitchPanel.y1, button_top);
    vertical(kRenderPathPanel, button_bottom, kRenderPathPanel.y0 + 1.0f);

    panel(&c, kResolutionPanel, kPanelRadius, kLauncherPanelFill);
    panel(&c, kAspectPanel, kPanelRadius, kLauncherPanelFill);
    panel(&c, kSwitchPanel, kPanelRadius, kLauncherPanelFill);
    panel(&c, kRenderPathPanel, kPanelRadius, kLauncherPanelFill);
    panel(&c, button, kButtonRadius, pressed ? kLauncherPressedFill : kLauncherPanelFill);

    const LauncherPictureSpec &rf = kLauncherPictureSpecs[LAUNCHER_RESOLUTION_FRAME];
    for (int i = 0; i < kLauncherResolutionRows; ++i)
        centred_text(&c, kResolutionLabels[i], rf.x, rf.x + rf.width - 1,
                     caps_top(kResolutionFrameY[i], rf.height), 1);
    const LauncherPictureSpec &af = kLauncherPictureSpecs[LAUNCHER_ASPECT_FRAME];
    for (int i = 0; i < kLauncherAspectRows; ++i)
        centred_text(&c, kAspectLabels[i], af.x, af.x + af.width - 1, caps_top(kAspectFrameY[i], af.height),
                     1);
    const LauncherPictureSpec &pf = kLauncherPictureSpecs[LAUNCHER_RENDER_PATH_FRAME];
    for (int i = 0; i < kLauncherRenderPathRows; ++i)
        centred_text(&c, kRenderPathLabels[i], pf.x, pf.x + pf.width - 1,
                     caps_top(kRenderPathFrameY[i], pf.height), 1);
    const LauncherPictureSpec &cm = kLauncherPictureSpecs[LAUNCHER_CHECK_MARK];
    const int32_t label_x = cm.x + cm.width / 2 + int32_t(kSwitchRadius) + kSwitchLabelGap;
    for (int i = 0; i < kLauncherSwitches; ++i) {
        switch_circle(&c, cm.x, kCheckMarkY[i]);
        if (label_x + text_width(kSwitchLabels[i], 1) > kSwitchPanel.x1 - 4) {
            std::fprintf(stderr, "launcher_artwork: \"%s\" does not fit\n", kSwitchLabels[i]);
            g_fits = false;
        }
        canvas_text(&c, kSwitchLabels[i], label_x, caps_top(kCheckMarkY[i], cm.height), 1, kLauncherBlack);
    }
    centred_text(&c, kStartLabel, button.x0, button.x1,
                 button.y0 + (button.y1 - button.y0 + 1 - kBitmapFontAscent * kStartLabelScale) / 2,
                 kStartLabelScale);
    return c;
}

// A rounded outline on the colour key, so that only the outline shows over a panel.
Canvas frame(LauncherPicture picture) {
    const LauncherPictureSpec &s = kLauncherPictureSpecs[picture];
    Canvas c = canvas_create(s.width, s.height, kLauncherPanelFill);
    canvas_rounded_rect(&c, 0.0f, 0.0f, s.width, s.height, kFrameRadius, kFrameOutline, kLauncherBlack, false,
                        kLauncherPanelFill);
    return c;
}

Canvas check_mark() {
    const LauncherPictureSpec &s = kLauncherPictureSpecs[LAUNCHER_CHECK_MARK];
    Canvas c = canvas_create(s.width, s.height, kLauncherPanelFill);
    switch_circle(&c, 0.0f, 0.0f);
    const float m = s.width * 0.5f;
    canvas_segment(&c, m - kCrossHalf, m - kCrossHalf, m + kCrossHalf, m + kCrossHalf, kCrossWidth,
                   kLauncherBlack);
    canvas_segment(&c, m - kCrossHalf, m + kCrossHalf, m + kCrossHalf, m - kCrossHalf, kCrossWidth,
                   kLauncherBlack);
    return c;
}

constexpr const char *kPictureNames[LAUNCHER_PICTURE_COUNT] = {
    "background", "resolution_frame", "aspect_frame", "check_mark", "pressed_start", "render_path_frame"};

bool write_file(const std::string &path, const std::string &text) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

} // namespace player

int main(int argc, char **argv) {
    using namespace player;
    if (argc < 2) {
        std::fprintf(stderr, "usage: launcher_artwork OUTPUT.cpp [BMP_FOLDER]\n");
        return 2;
    }
    Canvas pictures[LAUNCHER_PICTURE_COUNT] = {
        background(false),
        frame(LAUNCHER_RESOLUTION_FRAME),
        frame(LAUNCHER_ASPECT_FRAME),
        check_mark(),
        canvas_crop(background(true), kLauncherPictureSpecs[LAUNCHER_PRESSED_START].x, kPressedStartY,
                    kLauncherPictureSpecs[LAUNCHER_PRESSED_START].width,
                    kLauncherPictureSpecs[LAUNCHER_PRESSED_START].height),
        frame(LAUNCHER_RENDER_PATH_FRAME),
    };
    if (!g_fits) return 1;

    LauncherRgb palette[kArtworkPaletteSize];
    artwork_palette(palette);
    std::string source = "// Generated by launcher_artwork: the launcher's pictures as 4-bit BMP files.\n"
                         "#include \"player/launcher_pictures.h\"\n\nnamespace player {\n\n";
    for (int i = 0; i < LAUNCHER_PICTURE_COUNT; ++i) {
        std::vector<uint8_t> bmp = canvas_encode_bmp4(pictures[i], palette);
        if (argc > 2) {
            std::string path = std::string(argv[2]) + "/" + kPictureNames[i] + ".bmp";
            if (!write_file(path, std::string(bmp.begin(), bmp.end()))) {
                std::fprintf(stderr, "launcher_artwork: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        source += "static const uint8_t k_" + std::string(kPictureNames[i]) + "[" +
                  std::to_string(bmp.size()) + "] = {";
        for (size_t b = 0; b < bmp.size(); ++b) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%s0x%02x,", b % 20 == 0 ? "\n    " : "", bmp[b]);
            source += hex;
        }
        source += "\n};\n\n";
    }
    source += "const LauncherPictureBytes kLauncherPictureBytes[LAUNCHER_PICTURE_COUNT] = {\n";
    for (int i = 0; i < LAUNCHER_PICTURE_COUNT; ++i)
        source += "    {k_" + std::string(kPictureNames[i]) + ", sizeof k_" + kPictureNames[i] + "},\n";
    source += "};\n\n} // namespace player\n";
    if (!write_file(argv[1], source)) {
        std::fprintf(stderr, "launcher_artwork: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
