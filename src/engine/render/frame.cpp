#include "render/frame.h"

#include "resources/object_list.h"
#include "scene/scene.h"

namespace render {

uint32_t render_at_time(scene::Scene *sc, uint32_t t, uint16_t window_width, uint16_t window_height,
                        Viewport viewport, const Capabilities &caps, int8_t glsl) {
    if (!sc || sc->slots[0].layers->count == 0) return 0;
    // Layers are not drawn yet: no layer draws an object.
    (void)t;
    (void)window_width;
    (void)window_height;
    (void)viewport;
    (void)caps;
    (void)glsl;
    return 0;
}

} // namespace render
