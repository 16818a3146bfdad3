// Freeing what the records of a scene own (item lists, mesh data, images, shader texts), before
// the lists themselves are freed. GL objects are not deleted.
#pragma once

namespace scene {

struct Scene;

void scene_release_records(Scene *sc);

} // namespace scene
