// The player application: start-up, loading, playback and shutdown in their order. The desktop
// program runs them in player_main; the browser's page runs the same phases one by one, between
// the page's own events.
#pragma once

#include "player/gl_window.h"
#include "player/launcher_choices.h"
#include "player/music_device.h"

#include <cstdint>
#include <cstdio>

namespace resources {
struct XmlNode;
}
namespace scene {
struct Scene;
}

namespace player {

// What start-up has made so far; every way out releases it all.
struct StartUp {
    scene::Scene *loading, *demo;
    resources::XmlNode *document;
    FILE *package;
};

struct PlayerSession {
    StartUp start;
    GlWindow win;
    MusicPlayback music;
    FILE *log; // demo.log, or null when it could not be made
    char caption[32];
    int32_t desktop_width, desktop_height; // the current resolution
};

// Returned by the phases while the program goes on; any other value is the exit status to end
// with (everything is released and SDL shut down by then).
constexpr int kPlayerGoesOn = -1;

// Opens the log and the video system and reads the current resolution.
int player_open(PlayerSession *p);

// The launcher was closed: "Bye!", and the end with status 0.
int player_launcher_closed(PlayerSession *p);

// From the launcher's choices to the demo ready to play: finds and opens the package, opens the
// OpenGL window, builds the loading scene, builds the demo scene with progress frames and sets up
// the music. first_argument is the first program argument or null.
int player_prepare(PlayerSession *p, const LauncherChoices &choices, const char *first_argument);

// After playback: "Bye!", the log closed, everything released; returns 0.
int player_close(PlayerSession *p);

// True when an argument asks for the usage ("--help" or "-h").
bool player_wants_help(int argc, char **argv);

// Prints how to start the player: the launcher, the package and the music it finds, "-forcepbo",
// and the log.
void player_print_usage(FILE *out);

// Runs the whole program ("--help" or "-h": the usage on standard output, status 0, nothing opened
// or written); returns the exit status (0 normal end, Escape, a closed window or an
// OpenGL start-up error; 1 no window at all, no package, an unusable package or document, no
// audio device).
int player_main(int argc, char **argv);

} // namespace player
