#include "render/draw_text.h"

#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "geometry/mesh.h"
#include "render/draw_capture.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it
#include "textures/texture_definitions.h"

namespace render {

using resources::object_at;

void text_draw(scene::Scene *sc, Item *item, uint32_t item_number, uint32_t ti, const DrawView &view) {
    const geometry::Font *font = object_at<geometry::Font>(sc->fonts, item->font);
    if (!font || !item->text[0]) return;
    geometry::GlyphPlacement glyphs[geometry::kTextMaxBytes];
    uint32_t count = geometry::font_layout(font, item->text, sc->models, sc->materials, glyphs);
    bool face_camera = (item->flags & kItemFaceCamera) != 0;
    for (uint32_t i = 0; i < count; i++) {
        const geometry::GlyphPlacement &g = glyphs[i];
        geometry::Mesh *mesh = object_at<geometry::Mesh>(sc->models, font->model[g.glyph]);
        Material *material = object_at<Material>(sc->materials, font->material[g.glyph]);
        const textures::Bitmap *bitmap = object_at<textures::Bitmap>(sc->bitmaps, font->bitmap[g.glyph]);
        draw_capture_set_item(item_number, g.byte_position);
        // The manipulators run again for every glyph, with the glyph's model as the own mesh.
        geometry::InstanceList list = item_instances(sc, item, mesh, ti);
        MeshDraw draw = {mesh,
                         material,
                         &list,
                         face_camera,
                         g.pen_x,
                         false,
                         geometry::ripple_buffer(),
                         bitmap ? bitmap->gl_texture : 0};
        mesh_draw_instances(sc, draw, ti, view);
        geometry::instance_list_free(&list);
        draw_ripple_release();
    }
    draw_capture_set_item(item_number, 0);
}

} // namespace render
