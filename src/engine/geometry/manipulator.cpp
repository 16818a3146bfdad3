#include "geometry/manipulator.h"

#include <cstdlib>

namespace geometry {

InstanceList manipulators_run(const ManipulatorEntry *entries, uint8_t count, const Instance &placement,
                              Mesh *own_mesh, uint32_t t) {
    (void)entries;
    (void)count;
    (void)own_mesh;
    (void)t;
    InstanceList list = {static_cast<Instance *>(std::malloc(sizeof(Instance))), 0};
    if (list.items) {
        list.items[0] = placement;
        list.count = 1;
    }
    return list;
}

void instance_list_free(InstanceList *list) {
    std::free(list->items);
    list->items = nullptr;
    list->count = 0;
}

} // namespace geometry
