#include "scene/scene_release.h"

#include "render/scene_object.h"
#include "resources/object_list.h"
#include "scene/scene.h"

namespace scene {

using resources::object_at;

void scene_release_records(Scene *sc) {
    if (sc->objects) {
        for (uint32_t p = 1; p <= sc->objects->count; p++) {
            render::SceneObject *object = object_at<render::SceneObject>(sc->objects, p);
            if (object) resources::short_list_free(object->items);
        }
    }
}

} // namespace scene
