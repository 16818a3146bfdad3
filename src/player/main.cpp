// Program entry of the player.
#include "player/player.h"

#include <SDL.h>

// SDL 1.2 renames main on some platforms; the player's entry stays the same everywhere.
int main(int argc, char **argv) { return player::player_main(argc, argv); }
