// What the OpenGL driver offers, read the way each target can: GLEW's flags on desktop OpenGL,
// WebGL 2's fixed set in the browser (platform_gl_desktop.cpp, platform_gl_web.cpp).
#pragma once

#include "player/capabilities.h"

namespace player {

// Loads the extension entry points and fills the probe that the capability tests read. False when
// the driver lacks OpenGL 1.3 (the probe is then left empty). Call once the window's context exists.
bool platform_gl_probe(GlProbe *probe);

// Takes the core buffer entry points from their ARB counterparts, for drivers older than
// OpenGL 1.5 that offer buffers only as the extension.
void platform_gl_buffers_from_arb();

// False where there is no fixed-function pipeline (WebGL): the texture-combiner path cannot run.
bool platform_gl_has_fixed_function();

} // namespace player
