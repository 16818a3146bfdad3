// A small modal window that shows a fatal error: the text in the bitmap font and an OK button.
#pragma once

namespace player {

// Shows text in a window titled "Error" until the user clicks OK, presses Enter or Escape, or
// closes the window. Returns false at once, showing nothing, when there is no display to show it
// on (no video system, or a driver without windows). Leaves the video subsystem as it found it.
bool error_window_show(const char *text);

} // namespace player
