// The launcher's six pictures, BMP files embedded in the program (drawn at build time).
#pragma once

#include "player/launcher_layout.h"

#include <cstdint>

namespace player {

struct LauncherPictureBytes {
    const uint8_t *bytes;
    uint32_t size;
};

// Indexed by LauncherPicture.
extern const LauncherPictureBytes kLauncherPictureBytes[LAUNCHER_PICTURE_COUNT];

} // namespace player
