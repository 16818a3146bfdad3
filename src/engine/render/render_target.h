// Textures as render targets: bitmaps (and their 3 x 2 atlas) and cube maps, drawn into through
// frame buffer objects (one per target texture or cube face, made on first use) or copied from
// the window.
#pragma once

#include <cstdint>

namespace textures {
struct Bitmap;
}

namespace render {

// Replaces the bitmap's texture by an empty RGB one of the new size (linear filters, filter 1),
// with a fresh zeroed pixel buffer, and sizes its depth renderbuffer when frame buffer objects
// are in use.
void render_target_resize(textures::Bitmap *b, int32_t width, int32_t height, bool fbo);

// Creates a 24-bit depth renderbuffer of the given size in *name when it has none.
void render_target_depth(uint32_t *name, int32_t width, int32_t height);

// Binds the frame buffer object that draws into the texture (a 2D target or one cube face, level 0)
// with the renderbuffer as depth, making it on first use.
void render_target_bind(uint32_t texture, uint32_t texture_target, uint32_t depth);

// Deletes the frame buffer objects that draw into a texture about to be deleted.
void render_target_forget(uint32_t texture);

// Back to the window's frame buffer.
void render_target_detach();

// Copies the window rectangle (0, 0, width, height) into level 0 of a 2D texture or cube face.
void render_target_copy_window(uint32_t texture_target, uint32_t bind_target, uint32_t texture, int32_t width,
                               int32_t height);

} // namespace render
