// The OpenGL state the renderer sets, remembered so that a setting already in place is not sent
// again. Everything starts unknown, and becomes unknown again at gl_state_invalidate: render at
// time calls it at the start of every frame, because loading and the tools change GL state
// behind the renderer's back. Vertex arrays and texture wrap modes are the exception: only the
// renderer sets them, so they stay known (arrays all off at start, as GL begins; a texture's wrap
// mode until gl_state_forget_texture).
//
// Vertex arrays are switched off lazily: a drawing releases the arrays it used, the next one takes
// back those it needs, and gl_state_arrays_commit (right before each draw call) switches off the
// rest, so that no draw reads an array left over from another mesh.
#pragma once

#include "maths/matrix.h"

#include <cstdint>

namespace render {

void gl_state_invalidate();

// glEnable/glDisable of a capability that is not per texture unit.
void gl_state_enable(uint32_t cap, bool on);
// The same for GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP and GL_TEXTURE_GEN_S/T/R on a unit (0..3); it
// selects the unit.
void gl_state_unit_enable(int unit, uint32_t cap, bool on);

void gl_state_active_texture(int unit);
void gl_state_client_active_texture(int unit);

// Blend equation (0: left as it is) and factors.
void gl_state_blend(uint32_t equation, uint32_t source, uint32_t destination);
void gl_state_program(uint32_t program);
void gl_state_array_buffer(uint32_t buffer);
void gl_state_element_buffer(uint32_t buffer);
void gl_state_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void gl_state_clear_colour(float r, float g, float b, float a);
void gl_state_polygon_mode(uint32_t mode);
void gl_state_matrix_mode(uint32_t mode);
// Loads the projection (1), texture (2) or modelview (4) matrix of s into GL's matching stack.
void gl_state_load_matrix(const maths::MatrixState *s, int selector);
void gl_state_framebuffer(uint32_t framebuffer);

// The wrap mode (S and T) of the 2D texture bound now, whose name is given.
void gl_state_texture_wrap(uint32_t texture, int32_t wrap);
// Forgets what is known of a texture about to be deleted (its name may come back).
void gl_state_forget_texture(uint32_t texture);

// True when the combiner set-up `key` must be sent to the unit (and remembers it as sent).
bool gl_state_combiner_changed(int unit, int32_t key);

// Vertex arrays: a generic attribute array, or a fixed-function client array (GL_VERTEX_ARRAY,
// GL_NORMAL_ARRAY, or GL_TEXTURE_COORD_ARRAY of a unit).
void gl_state_attrib_array(uint32_t index, bool on);
void gl_state_client_array(uint32_t array, int unit, bool on);
// After a drawing: its arrays may be switched off before the next draw.
void gl_state_arrays_release();
// Before a draw call: switches off the released arrays that were not taken back.
void gl_state_arrays_commit();

} // namespace render
