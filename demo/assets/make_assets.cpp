// bv_demo_assets: writes the sample demo's models and images into a folder, or prints the font
// element of its 3D font. Everything the demo shows is made here from formulas and the player's
// own pixel font.
//
//   bv_demo_assets OUTDIR                  models (.mdl, and torus.obj for bvtool model) and images
//   bv_demo_assets --font-xml MODEL MAT    the <font> element: glyph g uses model MODEL + g
//                                          (the space has none) and material MAT
#include "asset_glyphs.h"
#include "asset_images.h"
#include "asset_shapes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace assets;

namespace {

// Glyph models are written in pixel units scaled to a cap height of 1.
constexpr float kGlyphScale = 1.0f / 8.0f;

int print_font_xml(int first_model, int material) {
    std::printf("    <font>\n");
    for (int g = 0; g < kGlyphCount; g++) {
        float advance = 0;
        MeshBuilder m = glyph_mesh(g, &advance);
        int model = m.vertices.empty() ? 0 : first_model + g;
        std::printf("      <glyph model=\"%d\" material=\"%d\" bitmap=\"0\" offset=\"0\" width=\"%g\"/> <!-- "
                    "%s -->\n",
                    model, model ? material : 0, advance * kGlyphScale, glyph_text(g));
    }
    std::printf("    </font>\n");
    return 0;
}

bool write_all(const std::string &dir) {
    bool ok = true;
    auto model = [&](const MeshBuilder &m, const char *name) {
        ok = mesh_write_model(m, dir + "/" + name) && ok;
    };
    model(shape_quad(0, 0, 1, 1), "screen.mdl");
    model(shape_quad(-0.5f, -0.5f, 0.5f, 0.5f), "quad.mdl");
    model(shape_cube(0.5f), "cube.mdl");
    model(shape_sphere(40, 20), "sphere.mdl");
    model(shape_terrain(), "terrain.mdl");
    model(shape_tree_points(40), "trees.mdl");
    model(shape_crystal(), "crystal.mdl");
    model(shape_ring(1.0f, 1.25f, 64), "ring.mdl");
    for (int f = 0; f < 6; f++) {
        char name[16];
        std::snprintf(name, sizeof name, "sky%d.mdl", f);
        model(shape_sky_face(f), name);
    }
    // The torus goes through bvtool model, as an author's OBJ file would.
    ok = mesh_write_obj(shape_torus(1.0f, 0.38f, 48, 24), dir + "/torus.obj") && ok;
    for (int g = 0; g < kGlyphCount; g++) {
        float advance = 0;
        MeshBuilder m = glyph_mesh(g, &advance);
        if (m.vertices.empty()) continue;
        for (Vertex &v : m.vertices)
            for (float &c : v.p)
                c *= kGlyphScale;
        char name[16];
        std::snprintf(name, sizeof name, "g%02d.mdl", g);
        model(m, name);
    }
    const char *faces[6] = {"px", "nx", "py", "ny", "pz", "nz"};
    for (int f = 0; f < 6; f++) {
        ok = image_sky_face(dir + "/sky_" + faces[f] + ".jpg", f, 256) && ok;
        ok = image_flat(dir + "/env_" + faces[f] + ".png", 128, 128, 10, 12, 30) && ok;
    }
    ok = image_grass(dir + "/grass.jpg", 256) && ok;
    ok = image_grass(dir + "/grass_mm1.jpg", 128) && ok;
    ok = image_grass(dir + "/grass_mm2.jpg", 64) && ok;
    ok = image_logo(dir + "/logo.png", "Brightvale", 6) && ok;
    ok = image_glow(dir + "/glow.png", 64, 1.0f, 0.85f, 0.6f) && ok;
    ok = image_flat(dir + "/rtt.png", 256, 256, 0, 0, 0) && ok;
    ok = image_flat(dir + "/quarter.png", 64, 64, 0, 0, 0) && ok;
    ok = image_flat(dir + "/atlas.png", 384, 256, 0, 0, 0) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--font-xml") == 0)
        return print_font_xml(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: bv_demo_assets OUTDIR | --font-xml FIRST_MODEL MATERIAL\n");
        return 1;
    }
    if (!write_all(argv[1])) {
        std::fprintf(stderr, "bv_demo_assets: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
