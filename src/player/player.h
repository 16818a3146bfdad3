// The player application: start-up, loading, playback and shutdown in their order.
#pragma once

namespace player {

// Runs the whole program; returns the exit status (0 normal end, Escape, a closed window or an
// OpenGL start-up error; 1 no package, an unusable package or document, no audio device).
int player_main(int argc, char **argv);

} // namespace player
