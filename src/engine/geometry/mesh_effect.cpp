#include "geometry/mesh_effect.h"

namespace geometry {

void mesh_effect_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                        uint32_t t) {
    // The mesh effect section is not read yet, so there is no effect record to rebuild; items that
    // name one find no record and are skipped by the drawing code.
    (void)index;
    (void)effects;
    (void)functions;
    (void)t;
}

} // namespace geometry
