#include "geometry/effect2d.h"

namespace geometry {

void effect2d_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                     uint32_t t, bool pixel_buffers) {
    // The 2D effect section is not read yet, so no effect record exists to regenerate; texture slot
    // resolution already treats an index without a record as no texture.
    (void)index;
    (void)effects;
    (void)functions;
    (void)t;
    (void)pixel_buffers;
}

} // namespace geometry
