#include "player/launcher.h"

#include "player/launcher_state.h"

#include <SDL.h>

namespace player {

bool launcher_pictures_load(const LauncherPictureBytes *bytes, LauncherPictures *pictures) {
    for (int i = 0; i < LAUNCHER_PICTURE_COUNT; ++i) {
        SDL_RWops *rw = SDL_RWFromConstMem(bytes[i].bytes, int(bytes[i].size));
        SDL_Surface *s = rw ? SDL_LoadBMP_RW(rw, 1) : nullptr;
        if (s && kLauncherPictureSpecs[i].colour_key) {
            const LauncherRgb &key = kLauncherPanelFill;
            SDL_SetColorKey(s, SDL_SRCCOLORKEY, SDL_MapRGB(s->format, key.r, key.g, key.b));
        }
        pictures->surfaces[i] = s;
    }
    return pictures->surfaces[LAUNCHER_BACKGROUND] != nullptr;
}

void launcher_pictures_free(LauncherPictures *pictures) {
    for (SDL_Surface *&s : pictures->surfaces) {
        if (s) SDL_FreeSurface(s);
        s = nullptr;
    }
}

static void draw_picture(SDL_Surface *screen, const LauncherPictures *pictures, LauncherPicture picture,
                         int16_t y) {
    SDL_Rect at = {kLauncherPictureSpecs[picture].x, y, 0, 0};
    // A picture that did not load is left out.
    if (pictures->surfaces[picture]) SDL_BlitSurface(pictures->surfaces[picture], nullptr, screen, &at);
}

void launcher_draw(SDL_Surface *screen, const LauncherPictures *pictures, const LauncherState *state) {
    const LauncherChoices &c = state->choices;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
    draw_picture(screen, pictures, LAUNCHER_BACKGROUND, 0);
    draw_picture(screen, pictures, LAUNCHER_RESOLUTION_FRAME, kResolutionFrameY[c.resolution_index]);
    draw_picture(screen, pictures, LAUNCHER_ASPECT_FRAME, kAspectFrameY[c.aspect_index]);
    draw_picture(screen, pictures, LAUNCHER_RENDER_PATH_FRAME, kRenderPathFrameY[c.render_path]);
    const int8_t switches[kLauncherSwitches] = {c.fullscreen, c.antialiasing, c.music, c.vbo};
    for (int i = 0; i < kLauncherSwitches; ++i)
        if (switches[i] > 0) draw_picture(screen, pictures, LAUNCHER_CHECK_MARK, kCheckMarkY[i]);
    if (state->pressed_look) draw_picture(screen, pictures, LAUNCHER_PRESSED_START, kPressedStartY);
}

static void draw(SDL_Surface *screen, const LauncherPictures *pictures, const LauncherState *state) {
    launcher_draw(screen, pictures, state);
    SDL_UpdateRect(screen, 0, 0, 0, 0);
}

LauncherResult launcher_run(const char *caption, LauncherChoices *choices) {
    SDL_Surface *screen = SDL_SetVideoMode(kLauncherWidth, kLauncherHeight, 24, SDL_HWSURFACE);
    if (!screen) return LAUNCHER_NO_WINDOW;
    SDL_WM_SetCaption(caption, caption);

    LauncherPictures pictures = {};
    if (!launcher_pictures_load(kLauncherPictureBytes, &pictures)) {
        launcher_pictures_free(&pictures);
        return LAUNCHER_NO_PICTURES;
    }
    LauncherState state = launcher_state_initial();
    draw(screen, &pictures, &state);
    // The mouse is polled once a round; motion events would only fill the queue.
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);

    LauncherResult result = LAUNCHER_CLOSED;
    for (;;) {
        SDL_Event event;
        if (SDL_PollEvent(&event) && event.type == SDL_QUIT) break;
        int x = 0, y = 0;
        bool down = (SDL_GetMouseState(&x, &y) & SDL_BUTTON(1)) != 0;
        LauncherStep step = launcher_state_round(&state, x, y, down);
        if (step == LAUNCHER_STEP_START) {
            *choices = state.choices;
            result = LAUNCHER_STARTED;
            break;
        }
        if (step == LAUNCHER_STEP_REDRAW) {
            draw(screen, &pictures, &state);
            launcher_state_drawn(&state);
        }
        SDL_Delay(30);
    }
    SDL_EventState(SDL_MOUSEMOTION, SDL_ENABLE);
    launcher_pictures_free(&pictures);
    return result;
}

} // namespace player
