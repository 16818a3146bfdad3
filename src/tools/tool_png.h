// PNG files for the commands that write pictures, written fast (every row Paeth-filtered, then
// run-length deflate: a few milliseconds for a 640 x 360 frame, and smaller than a thorough
// encoder's best guess on rendered pictures). The pixels decode exactly as given.
#pragma once

#include <cstdint>

namespace tools {

// Writes a w x h image of 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA) channels to path. rows
// points at the top row; stride is the distance in bytes from one row to the next below it
// (negative for pixels read bottom-up from GL). False when the file cannot be written (nothing is
// left at path then).
bool tool_png_write(const char *path, int w, int h, int channels, const uint8_t *rows, long stride);

} // namespace tools
