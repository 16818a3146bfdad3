// The launcher window: the user's choices before the demo starts.
#pragma once

#include "player/launcher_choices.h"
#include "player/launcher_pictures.h"

#include <cstdint>

struct SDL_Surface;

namespace player {

struct LauncherPictures {
    SDL_Surface *surfaces[LAUNCHER_PICTURE_COUNT]; // indexed by LauncherPicture; null when one did not load
};

// Decodes the six BMP pictures through SDL; the overlays get the panels' fill as colour key,
// mapped through each picture's own format. False when the background did not load (the others
// are then loaded as far as they go; free them all the same).
bool launcher_pictures_load(const LauncherPictureBytes *bytes, LauncherPictures *pictures);

void launcher_pictures_free(LauncherPictures *pictures);

struct LauncherState;

// Draws the state on a 461 x 384 surface as the launcher window shows it (without updating it).
void launcher_draw(SDL_Surface *screen, const LauncherPictures *pictures, const LauncherState *state);

enum LauncherResult : uint8_t {
    LAUNCHER_STARTED = 0,     // released on the start button: *choices holds the choices
    LAUNCHER_CLOSED = 1,      // the window was closed
    LAUNCHER_NO_PICTURES = 2, // the background picture could not be made
    LAUNCHER_NO_WINDOW = 3,   // the window could not be opened (SDL_GetError says why)
};

// Opens the 461 x 384 launcher window titled caption (the video subsystem must be initialised)
// and runs it until the user starts the demo or closes the window. The OpenGL window replaces the
// launcher's window later.
LauncherResult launcher_run(const char *caption, LauncherChoices *choices);

} // namespace player
