#include "player/error_window.h"

#include "player/bitmap_font.h"
#include "player/bitmap_text.h"
#include "player/launcher_layout.h"
#include "player/platform/platform.h"

#include <SDL.h>
#include <algorithm>
#include <vector>

namespace player {

namespace {

constexpr int32_t kMargin = 16;
constexpr int32_t kMaxTextWidth = 360;
constexpr int32_t kMaxLines = 16;
constexpr int32_t kButtonWidth = 72;
constexpr int32_t kButtonHeight = 24;
constexpr int32_t kMinWidth = 160;
constexpr const char *kButtonLabel = "OK";

Uint32 map(SDL_Surface *s, LauncherRgb c) {
    return SDL_MapRGB(s->format, c.r, c.g, c.b);
}

void fill(SDL_Surface *s, int32_t x, int32_t y, int32_t w, int32_t h, LauncherRgb c) {
    SDL_Rect r = {Sint16(x), Sint16(y), Uint16(w), Uint16(h)};
    SDL_FillRect(s, &r, map(s, c));
}

// Paints the ink of a text mask in black.
void paint_mask(SDL_Surface *s, const std::vector<uint8_t> &mask) {
    for (int32_t y = 0; y < s->h; ++y)
        for (int32_t x = 0; x < s->w; ++x)
            if (mask[size_t(y) * s->w + x]) fill(s, x, y, 1, 1, kLauncherBlack);
}

} // namespace

bool error_window_show(const char *text) {
    bool was_up = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (!was_up && !platform_video_start()) return false;
    // Drivers that draw nowhere: nobody could answer a window there.
    if (!platform_video_has_windows()) {
        if (!was_up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }

    BitmapTextLine lines[kMaxLines];
    int32_t count = bitmap_text_wrap(text, kMaxTextWidth, lines, kMaxLines);
    int32_t text_width = 0;
    for (int32_t i = 0; i < count; ++i)
        text_width = std::max(text_width, bitmap_text_width(text + lines[i].start, lines[i].length, 1));
    const int32_t width = std::max(kMinWidth, text_width + 2 * kMargin);
    const int32_t text_height = count * kBitmapFontLineHeight;
    const int32_t button_x = (width - kButtonWidth) / 2, button_y = kMargin + text_height + kMargin;
    const int32_t height = button_y + kButtonHeight + kMargin;

    SDL_Surface *screen = SDL_SetVideoMode(width, height, 0, SDL_SWSURFACE);
    if (!screen) {
        if (!was_up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_WM_SetCaption("Error", "Error");

    std::vector<uint8_t> mask(size_t(width) * height, 0);
    ByteImage image = {mask.data(), width, height, width};
    for (int32_t i = 0; i < count; ++i)
        bitmap_text_draw(text + lines[i].start, lines[i].length, kMargin, kMargin + i * kBitmapFontLineHeight,
                         1, 1, image);
    const int32_t label_width = bitmap_text_width(kButtonLabel, 2, 1);
    bitmap_text_draw(kButtonLabel, 2, button_x + (kButtonWidth - label_width) / 2,
                     button_y + (kButtonHeight - kBitmapFontAscent) / 2, 1, 1, image);

    fill(screen, 0, 0, width, height, kLauncherPanelFill);
    fill(screen, button_x, button_y, kButtonWidth, kButtonHeight, kLauncherBlack);
    fill(screen, button_x + 1, button_y + 1, kButtonWidth - 2, kButtonHeight - 2, kLauncherBackdrop);
    paint_mask(screen, mask);
    SDL_UpdateRect(screen, 0, 0, 0, 0);

    auto on_button = [&](int32_t x, int32_t y) {
        return x >= button_x && x < button_x + kButtonWidth && y >= button_y && y < button_y + kButtonHeight;
    };
    bool pressed_on_button = false;
    for (bool open = true; open;) {
        SDL_Event event;
        if (!SDL_WaitEvent(&event)) break;
        switch (event.type) {
        case SDL_QUIT: open = false; break;
        case SDL_KEYDOWN: {
            SDLKey key = event.key.keysym.sym;
            if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE) open = false;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT)
                pressed_on_button = on_button(event.button.x, event.button.y);
            break;
        case SDL_MOUSEBUTTONUP:
            // A click: pressed and released on the button.
            if (event.button.button == SDL_BUTTON_LEFT && pressed_on_button &&
                on_button(event.button.x, event.button.y))
                open = false;
            pressed_on_button = false;
            break;
        case SDL_VIDEOEXPOSE: SDL_UpdateRect(screen, 0, 0, 0, 0); break;
        default: break;
        }
    }
    if (!was_up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return true;
}

} // namespace player
