// Entry of the GL tests: opens a real OpenGL window (Mesa under Xvfb) before any test runs.
// Without a context the run fails; it never skips.
#include "gl_util.h"

#include "player/platform/platform.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!player::platform_video_start()) {
        std::fprintf(stderr, "GL tests need a display: %s\n", SDL_GetError());
        return 1;
    }
    if (!SDL_SetVideoMode(gltest::kWindowWidth, gltest::kWindowHeight, 24, SDL_OPENGL)) {
        std::fprintf(stderr, "GL tests could not open an OpenGL window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    if (glewInit() != GLEW_OK || !GLEW_VERSION_2_1) {
        std::fprintf(stderr, "GL tests need OpenGL 2.1\n");
        SDL_Quit();
        return 1;
    }
    int result = RUN_ALL_TESTS();
    SDL_Quit();
    return result;
}
