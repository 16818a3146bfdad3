#include "player/bitmap_text.h"
#include "player/error_window.h"
#include "player/launcher.h"
#include "player/launcher_compose.h"
#include "player/launcher_state.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace player;

namespace {

struct Press {
    int32_t x, y;
    bool down;
};

// Runs polling rounds; returns the step of the last one.
LauncherStep rounds(LauncherState *s, std::initializer_list<Press> presses) {
    LauncherStep step = LAUNCHER_STEP_WAIT;
    for (const Press &p : presses) {
        step = launcher_state_round(s, p.x, p.y, p.down);
        if (step == LAUNCHER_STEP_REDRAW) launcher_state_drawn(s);
    }
    return step;
}

bool same_choices(const LauncherChoices &a, const LauncherChoices &b) {
    return a.resolution_index == b.resolution_index && a.aspect_index == b.aspect_index &&
           a.render_path == b.render_path && a.fullscreen == b.fullscreen &&
           a.antialiasing == b.antialiasing && a.music == b.music && a.vbo == b.vbo;
}

TEST(LauncherHitTest, RowBoundariesAndAreaEdges) {
    enum : uint8_t {
        NONE = LAUNCHER_AREA_NONE,
        RES = LAUNCHER_AREA_RESOLUTION,
        ASP = LAUNCHER_AREA_ASPECT,
        COMB = LAUNCHER_AREA_COMBINERS,
        GLSL = LAUNCHER_AREA_GLSL,
        START = LAUNCHER_AREA_START,
        FULL = LAUNCHER_AREA_FULLSCREEN,
        AA = LAUNCHER_AREA_ANTIALIASING,
        MUSIC = LAUNCHER_AREA_MUSIC,
        VBO = LAUNCHER_AREA_VBO
    };
    struct Case {
        int32_t x, y;
        uint8_t area, row;
    } cases[] = {
        // clang-format off
        // Resolution rows: x 8..167, below y 14, one row per band.
        {100, 14, NONE, 0}, {100, 15, RES, 0}, {8, 33, RES, 0},
        {167, 34, RES, 1}, {7, 34, NONE, 0}, {168, 34, NONE, 0},
        {50, 63, RES, 1}, {50, 64, RES, 2}, {50, 93, RES, 2},
        {50, 94, RES, 3}, {50, 126, RES, 3}, {50, 127, RES, 4},
        {50, 156, RES, 4}, {50, 157, RES, 5}, {50, 189, RES, 5},
        {50, 190, RES, 6}, {50, 219, RES, 6}, {50, 220, RES, 7},
        {50, 249, RES, 7}, {50, 250, RES, 8}, {50, 282, RES, 8},
        {50, 283, RES, 9}, {50, 313, RES, 9}, {50, 314, RES, 10},
        {50, 344, RES, 10}, {50, 345, RES, 11}, {50, 383, RES, 11},
        // Aspect rows: x 186..261, y 10..130.
        {200, 9, NONE, 0}, {186, 10, ASP, 0}, {261, 35, ASP, 0},
        {185, 20, NONE, 0}, {262, 20, NONE, 0}, {200, 36, ASP, 1},
        {200, 66, ASP, 1}, {200, 67, ASP, 2}, {200, 99, ASP, 2},
        {200, 100, ASP, 3}, {200, 130, ASP, 3}, {200, 131, NONE, 0},
        // Render path: two bands with a gap between them.
        {212, 316, COMB, 0}, {433, 340, COMB, 0}, {300, 315, NONE, 0},
        {300, 341, NONE, 0}, {300, 343, NONE, 0}, {300, 344, GLSL, 0},
        {433, 372, GLSL, 0}, {300, 373, NONE, 0}, {211, 330, NONE, 0},
        {434, 360, NONE, 0},
        // Start button.
        {201, 192, START, 0}, {436, 243, START, 0}, {200, 200, NONE, 0},
        {300, 191, NONE, 0}, {300, 244, NONE, 0}, {437, 200, NONE, 0},
        // Switches.
        {283, 14, FULL, 0}, {295, 26, FULL, 0}, {282, 20, NONE, 0},
        {296, 20, NONE, 0}, {289, 13, NONE, 0}, {289, 27, NONE, 0},
        {289, 45, AA, 0}, {289, 57, AA, 0}, {289, 58, NONE, 0},
        {289, 76, MUSIC, 0}, {289, 89, MUSIC, 0}, {289, 90, NONE, 0},
        {289, 106, VBO, 0}, {289, 120, VBO, 0}, {289, 121, NONE, 0},
        {440, 370, NONE, 0},
        // clang-format on
    };
    for (const Case &c : cases) {
        LauncherHit hit = launcher_hit_test(c.x, c.y);
        EXPECT_EQ(hit.area, c.area) << c.x << "," << c.y;
        EXPECT_EQ(hit.row, c.row) << c.x << "," << c.y;
    }
}

TEST(LauncherState, StartWithoutTouchingAnythingGivesTheDefaults) {
    LauncherState s = launcher_state_initial();
    EXPECT_EQ(rounds(&s, {{300, 300, false}}), LAUNCHER_STEP_WAIT);
    EXPECT_EQ(launcher_state_round(&s, 318, 217, true), LAUNCHER_STEP_REDRAW); // the pressed look
    EXPECT_TRUE(s.pressed_look);
    launcher_state_drawn(&s);
    EXPECT_EQ(launcher_state_round(&s, 318, 217, true), LAUNCHER_STEP_WAIT);
    EXPECT_EQ(launcher_state_round(&s, 318, 217, false), LAUNCHER_STEP_START);
    const LauncherChoices c = s.choices;
    EXPECT_EQ(c.resolution_index, 0);
    EXPECT_EQ(c.aspect_index, 0);
    EXPECT_EQ(c.render_path, RENDER_PATH_GLSL);
    EXPECT_EQ(c.fullscreen, 1);
    EXPECT_EQ(c.antialiasing, 1);
    EXPECT_EQ(c.music, 1);
    EXPECT_EQ(c.vbo, 1);
}

TEST(LauncherState, HoldingOnASwitchTogglesItOnceAndASecondPressTogglesItBack) {
    struct Case {
        int32_t x, y;
        int8_t LauncherChoices::*value;
    } cases[] = {{289, 20, &LauncherChoices::fullscreen},
                 {289, 51, &LauncherChoices::antialiasing},
                 {289, 82, &LauncherChoices::music},
                 {289, 113, &LauncherChoices::vbo}};
    for (const Case &c : cases) {
        LauncherState s = launcher_state_initial();
        EXPECT_EQ(launcher_state_round(&s, c.x, c.y, true), LAUNCHER_STEP_REDRAW) << c.y;
        launcher_state_drawn(&s);
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(launcher_state_round(&s, c.x, c.y, true), LAUNCHER_STEP_WAIT) << c.y;
        EXPECT_EQ(s.choices.*c.value, -1) << c.y;
        // Moving onto another switch while still holding changes nothing either.
        EXPECT_EQ(launcher_state_round(&s, 289, c.y == 20 ? 51 : 20, true), LAUNCHER_STEP_WAIT) << c.y;
        EXPECT_EQ(rounds(&s, {{c.x, c.y, false}, {c.x, c.y, true}, {c.x, c.y, true}, {c.x, c.y, false}}),
                  LAUNCHER_STEP_WAIT);
        EXPECT_TRUE(same_choices(s.choices, launcher_defaults())) << c.y;
    }
}

TEST(LauncherState, DraggingOffTheStartButtonCancelsAndThePressedLookGoesAtOnce) {
    LauncherState s = launcher_state_initial();
    rounds(&s, {{318, 217, true}});
    ASSERT_TRUE(s.pressed_look);
    // The first round off the button (x 437 is just right of it) redraws it unpressed.
    EXPECT_EQ(launcher_state_round(&s, 437, 217, true), LAUNCHER_STEP_REDRAW);
    EXPECT_FALSE(s.pressed_look);
    launcher_state_drawn(&s);
    EXPECT_EQ(launcher_state_round(&s, 437, 217, false), LAUNCHER_STEP_WAIT);
    EXPECT_FALSE(s.start_pressed);
    // A later release on the button without a new press does not start.
    EXPECT_EQ(launcher_state_round(&s, 318, 217, false), LAUNCHER_STEP_WAIT);

    // Off and back on while held: the press still counts.
    EXPECT_EQ(rounds(&s, {{318, 217, true}, {437, 217, true}, {318, 217, true}, {318, 217, false}}),
              LAUNCHER_STEP_START);

    // Released off the button in the very round it left: the pressed look is taken away too.
    s = launcher_state_initial();
    rounds(&s, {{318, 217, true}});
    EXPECT_EQ(launcher_state_round(&s, 437, 217, false), LAUNCHER_STEP_REDRAW);
    EXPECT_FALSE(s.pressed_look);
    EXPECT_FALSE(s.start_pressed);
}

TEST(LauncherState, APressAboveTheFirstResolutionRowChangesNothing) {
    LauncherState s = launcher_state_initial();
    s.choices.resolution_index = 4; // so that a change to row 0 would show
    launcher_state_drawn(&s);
    const LauncherState before = s;
    EXPECT_EQ(rounds(&s, {{100, 10, true}, {100, 10, true}, {100, 10, false}}), LAUNCHER_STEP_WAIT);
    EXPECT_TRUE(same_choices(s.choices, before.choices));
    EXPECT_FALSE(s.pressed_look || s.start_pressed || s.toggle_latch);
}

TEST(LauncherState, DraggingOverTheRowsFollowsTheMouse) {
    LauncherState s = launcher_state_initial();
    const int32_t path[][3] = {
        // x, y, resolution row expected after the round
        {87, 48, 1}, {87, 79, 2}, {87, 79, 2}, {87, 141, 4}, {87, 360, 11}, {87, 20, 0},
    };
    for (const auto &p : path) {
        LauncherStep step = launcher_state_round(&s, p[0], p[1], true);
        EXPECT_EQ(s.choices.resolution_index, p[2]) << p[1];
        if (step == LAUNCHER_STEP_REDRAW) launcher_state_drawn(&s);
    }
    // On to the aspect list and the render path with the button still down.
    rounds(&s, {{222, 115, true}, {320, 328, true}});
    EXPECT_EQ(s.choices.aspect_index, 3);
    EXPECT_EQ(s.choices.render_path, RENDER_PATH_COMBINERS);
    EXPECT_EQ(s.choices.resolution_index, 0);
    EXPECT_EQ(launcher_state_round(&s, 320, 358, true), LAUNCHER_STEP_REDRAW);
    EXPECT_EQ(s.choices.render_path, RENDER_PATH_GLSL);
}

TEST(LauncherPictures, TheEmbeddedPicturesDecodeWithTheirSizesAndKeys) {
    LauncherPictures pictures = {};
    ASSERT_TRUE(launcher_pictures_load(kLauncherPictureBytes, &pictures));
    for (int i = 0; i < LAUNCHER_PICTURE_COUNT; ++i) {
        SDL_Surface *s = pictures.surfaces[i];
        ASSERT_NE(s, nullptr) << i;
        EXPECT_EQ(s->w, kLauncherPictureSpecs[i].width) << i;
        EXPECT_EQ(s->h, kLauncherPictureSpecs[i].height) << i;
        // Sixteen colours, decoded into a palette surface.
        ASSERT_NE(s->format->palette, nullptr) << i;
        EXPECT_EQ(s->format->palette->ncolors, 16) << i;
        EXPECT_EQ((s->flags & SDL_SRCCOLORKEY) != 0, kLauncherPictureSpecs[i].colour_key) << i;
        if (kLauncherPictureSpecs[i].colour_key) {
            const SDL_Color &key = s->format->palette->colors[s->format->colorkey];
            EXPECT_EQ(key.r, 192) << i;
            EXPECT_EQ(key.g, 216) << i;
            EXPECT_EQ(key.b, 247) << i;
        }
    }
    launcher_pictures_free(&pictures);

    // A damaged background is the one picture the launcher cannot do without.
    std::vector<uint8_t> damaged(kLauncherPictureBytes[LAUNCHER_BACKGROUND].bytes,
                                 kLauncherPictureBytes[LAUNCHER_BACKGROUND].bytes + 200);
    damaged[0] = 'X';
    LauncherPictureBytes bytes[LAUNCHER_PICTURE_COUNT];
    std::memcpy(bytes, kLauncherPictureBytes, sizeof bytes);
    bytes[LAUNCHER_BACKGROUND] = {damaged.data(), uint32_t(damaged.size())};
    EXPECT_FALSE(launcher_pictures_load(bytes, &pictures));
    EXPECT_EQ(pictures.surfaces[LAUNCHER_BACKGROUND], nullptr);
    launcher_pictures_free(&pictures);
}

// The page draws the launcher without SDL: SDL's own BMP decoder and blitter are the reference.
TEST(LauncherCompose, DrawsWhatTheSdlLauncherDrawsInEveryState) {
    LauncherPictures pictures = {};
    ASSERT_TRUE(launcher_pictures_load(kLauncherPictureBytes, &pictures));
    static LauncherCanvas canvas;
    ASSERT_TRUE(launcher_canvas_load(&canvas, kLauncherPictureBytes));
    SDL_Surface *screen = SDL_CreateRGBSurface(SDL_SWSURFACE, kLauncherWidth, kLauncherHeight, 24, 0xFF, 0xFF00,
                                               0xFF0000, 0);
    ASSERT_NE(screen, nullptr);

    // Each row: presses from the defaults, each released but the last, which stays held.
    const std::vector<std::vector<Press>> cases = {
        {},
        {{100, 360, true}, {230, 100, true}, {320, 330, true}}, // last resolution, 16:10, combiners
        {{289, 20, true}, {289, 50, true}, {289, 82, true}, {289, 112, true}}, // every switch off
        {{300, 220, true}},                                     // start held: the pressed look
        {{50, 170, true}, {200, 45, true}},                     // a middle row of each list
    };
    for (size_t k = 0; k < cases.size(); k++) {
        LauncherState state = launcher_state_initial();
        for (size_t i = 0; i < cases[k].size(); i++) {
            const Press &p = cases[k][i];
            launcher_state_round(&state, p.x, p.y, true);
            if (i + 1 < cases[k].size()) launcher_state_round(&state, p.x, p.y, false);
        }
        launcher_draw(screen, &pictures, &state);
        launcher_canvas_draw(&canvas, &state);
        int differing = 0;
        for (int y = 0; y < kLauncherHeight; y++)
            for (int x = 0; x < kLauncherWidth; x++) {
                const uint8_t *a = static_cast<uint8_t *>(screen->pixels) + y * screen->pitch + x * 3;
                const uint8_t *b = &canvas.rgba[(y * kLauncherWidth + x) * 4];
                differing += a[0] != b[0] || a[1] != b[1] || a[2] != b[2] || b[3] != 255;
            }
        EXPECT_EQ(differing, 0) << "case " << k;
    }
    SDL_FreeSurface(screen);
    launcher_pictures_free(&pictures);
    launcher_canvas_free(&canvas);

    // Cut anywhere, a picture is refused, never read past its end.
    const LauncherPictureBytes &check = kLauncherPictureBytes[LAUNCHER_CHECK_MARK];
    for (uint32_t cut : {0u, 2u, 20u, 60u, 118u, check.size - 1}) {
        std::vector<uint8_t> bytes(check.bytes, check.bytes + cut);
        LauncherImage image;
        EXPECT_FALSE(launcher_image_decode(bytes.data(), cut, &image)) << cut;
        EXPECT_EQ(image.pixels, nullptr);
    }
}

TEST(BitmapText, WrapBreaksAtSpacesAndCutsOverlongWords) {
    // Widths: a lower-case 'x' is 5 pixels wide, a space 3, with 1 pixel between glyphs.
    ASSERT_EQ(bitmap_text_width("xx", 2, 1), 11);
    ASSERT_EQ(bitmap_text_width("xx xx", 5, 2), 2 * 27);
    struct Case {
        const char *text;
        int32_t width;
        std::vector<std::string> lines;
    } cases[] = {
        {"xx xx xx", 27, {"xx xx", "xx"}},
        {"xx xx xx", 26, {"xx", "xx", "xx"}},
        {"xxxxx", 11, {"xx", "xx", "x"}},
        {"xx\nxx xx", 100, {"xx", "xx xx"}},
        {"x", 1, {"x"}},
        {"", 100, {}},
    };
    for (const Case &c : cases) {
        BitmapTextLine lines[8];
        int32_t n = bitmap_text_wrap(c.text, c.width, lines, 8);
        std::vector<std::string> got;
        for (int32_t i = 0; i < n; ++i)
            got.emplace_back(c.text + lines[i].start, size_t(lines[i].length));
        EXPECT_EQ(got, c.lines) << c.text << " in " << c.width;
    }
}

TEST(ErrorWindow, WithoutADisplayNothingWaitsForAUser) {
    // SDL's dummy driver has no windows: the error must not wait for a key nobody can press.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_FALSE(error_window_show("Error: nobody is there."));
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

} // namespace
