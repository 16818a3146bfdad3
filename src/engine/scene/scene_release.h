// Freeing what the records of a scene own (item lists, mesh data, images, shader texts), before
// the lists themselves are freed. GL objects are not deleted.
#pragma once

namespace scene {

struct Scene;

void scene_release_records(Scene *sc);

// Deletes every GL object the scene's records name (textures, depth renderbuffers, pixel and vertex
// buffers, programs and shaders), for a program that loads scenes again and again (the preview).
// Needs the scene's GL context current; the records themselves stay.
void scene_delete_gl_objects(Scene *sc);

// Puts the scene's stateful effects back as loading left them: the shared random sequence from its
// first state, every 2D effect reset in list order ("Amoba" re-seeding it as its creation did), every
// mesh effect's simulation restarted. For a jump in time that should not replay what lay between.
void scene_reset_effects(Scene *sc);

} // namespace scene
