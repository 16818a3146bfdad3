#include "render/draw_capture.h"

#include "maths/matrix.h"

#include <cmath>

namespace render {

namespace {

struct CaptureState {
    FILE *out;
    DrawCaptureTag tag;
    uint32_t next_v, next_vt, next_vn;
};

CaptureState g_capture;

// The inverse transpose of the upper 3 x 3 of a column-order 4 x 4 matrix, as rows of the result
// applied to a normal; identity when singular.
void normal_matrix_of(const float m[16], double out[3][3]) {
    double a[3][3];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            a[r][c] = m[c * 4 + r];
    double cof[3][3];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1];
        }
    double det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            out[r][c] = det != 0.0 ? cof[r][c] / det : (r == c ? 1.0 : 0.0);
}

} // namespace

void draw_capture_begin(FILE *out, const char *header) {
    g_capture = CaptureState{};
    g_capture.out = out;
    g_capture.next_v = g_capture.next_vt = g_capture.next_vn = 1;
    if (out) std::fprintf(out, "# %s\n", header ? header : "");
}

void draw_capture_end() {
    g_capture.out = nullptr;
}

bool draw_capture_active() {
    return g_capture.out != nullptr;
}

void draw_capture_set_layer(uint32_t slot, uint32_t layer) {
    g_capture.tag.slot = slot;
    g_capture.tag.layer = layer;
}

void draw_capture_set_object(uint32_t object) {
    g_capture.tag.object = object;
}

void draw_capture_set_item(uint32_t item, uint32_t glyph) {
    g_capture.tag.item = item;
    g_capture.tag.glyph = glyph;
}

void draw_capture_write_group(FILE *out, const DrawCaptureTag &tag, const DrawCaptureMesh &mesh,
                              const geometry::Instance &instance, uint32_t number, const float m[16],
                              uint32_t v, uint32_t vt, uint32_t vn) {
    if (tag.glyph)
        std::fprintf(out, "o s%u_l%u_o%u_i%u_g%u_n%u\n", tag.slot, tag.layer, tag.object, tag.item, tag.glyph,
                     number);
    else
        std::fprintf(out, "o s%u_l%u_o%u_i%u_n%u\n", tag.slot, tag.layer, tag.object, tag.item, number);
    std::fputs("# instance", out);
    for (float value : instance.v)
        std::fprintf(out, " %.9g", double(value));
    std::fputc('\n', out);
    for (uint32_t i = 0; i < mesh.vertex_count; i++) {
        const float *p = mesh.positions + i * 3;
        float w[3];
        for (int r = 0; r < 3; r++)
            w[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        std::fprintf(out, "v %.9g %.9g %.9g\n", double(w[0]), double(w[1]), double(w[2]));
    }
    double nm[3][3];
    normal_matrix_of(m, nm);
    for (uint32_t i = 0; i < mesh.vertex_count; i++) {
        const float *n = mesh.normals + i * 3;
        double w[3];
        for (int r = 0; r < 3; r++)
            w[r] = nm[r][0] * n[0] + nm[r][1] * n[1] + nm[r][2] * n[2];
        double len = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        // A zero normal stays zero rather than becoming NaN.
        if (len > 0.0)
            for (double &c : w)
                c /= len;
        std::fprintf(out, "vn %.9g %.9g %.9g\n", float(w[0]), float(w[1]), float(w[2]));
    }
    if (mesh.texcoords)
        for (uint32_t i = 0; i < mesh.vertex_count; i++)
            std::fprintf(out, "vt %.9g %.9g\n", double(mesh.texcoords[i * 2]),
                         double(mesh.texcoords[i * 2 + 1]));
    for (uint32_t i = 0; i + 2 < mesh.index_count; i += 3) {
        std::fputc('f', out);
        for (int k = 0; k < 3; k++) {
            uint32_t idx = mesh.indices[i + k];
            if (mesh.texcoords)
                std::fprintf(out, " %u/%u/%u", v + idx, vt + idx, vn + idx);
            else
                std::fprintf(out, " %u//%u", v + idx, vn + idx);
        }
        std::fputc('\n', out);
    }
}

void draw_capture_instance(const DrawCaptureMesh &mesh, const geometry::Instance &instance, uint32_t number) {
    if (!g_capture.out) return;
    draw_capture_write_group(g_capture.out, g_capture.tag, mesh, instance, number,
                             maths::matrix_state()->m[maths::MATRIX_MODEL], g_capture.next_v,
                             g_capture.next_vt, g_capture.next_vn);
    g_capture.next_v += mesh.vertex_count;
    g_capture.next_vn += mesh.vertex_count;
    if (mesh.texcoords) g_capture.next_vt += mesh.vertex_count;
}

} // namespace render
