// The browser's side of the doors that need the page itself: yielding to the browser during the
// load, fetching files from the page's folder, and the page's own way out of the demo. Kept apart
// from platform_web.cpp so that pages without these needs (frame.html) link none of them.
#include "player/platform/platform.h"

#include <SDL.h>

// The page's functions (page_library.js). The first two suspend the program until the browser
// answers, and the page stays live meanwhile.
extern "C" {
void bv_page_next_frame();
int bv_page_fetch(const char *name);
int bv_page_escape_requested();
}

namespace player {

void platform_show_progress_frame() {
    SDL_GL_SwapBuffers();
    bv_page_next_frame();
}

bool platform_fetch_file(const char *name) {
    return bv_page_fetch(name) != 0;
}

bool platform_escape_requested() {
    return bv_page_escape_requested() != 0;
}

} // namespace player
