#include "geometry/mesh_effect.h"

#include "functions/function.h"
#include "maths/cosine_table.h"
#include "maths/shared_random.h"
#include "resources/log.h"
#include "resources/memory_budget.h"
#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace geometry {

using resources::XmlNode;

const MeshEffectDescriptor kMeshEffectDescriptors[kMeshEffectKindCount] = {
    {"Lake water", 1, {"Time"}},
    {"Centerwave water", 1, {"Time"}},
    {"Swirl", 2, {"X", "Y"}},
    {"Umbrella", 3, {"Sides", "Size", "Angle"}},
};
static_assert(sizeof(kMeshEffectDescriptors) / sizeof(kMeshEffectDescriptors[0]) == kMeshEffectKindCount,
              "one descriptor per mesh effect kind");

namespace {

// Bytes of the arrays of an in-memory mesh, as counted against the document's memory.
uint64_t mesh_array_bytes(uint32_t vertices, uint32_t indices, uint8_t texcoord_sets) {
    return uint64_t(vertices) * (6 + 2 * texcoord_sets) * sizeof(float) +
           uint64_t(indices) * sizeof(uint16_t);
}

// Allocates the arrays of an in-memory mesh (texture sets of two floats per vertex). False when
// memory runs out or the document's memory budget is spent; what was allocated stays with the mesh
// for mesh_release.
bool mesh_allocate(Mesh *mesh, uint32_t vertices, uint32_t indices, uint8_t texcoord_sets) {
    if (!resources::memory_budget_take(mesh_array_bytes(vertices, indices, texcoord_sets))) return false;
    size_t n = vertices ? vertices : 1;
    float *positions = static_cast<float *>(std::calloc(n * 3, sizeof(float)));
    float *normals = static_cast<float *>(std::calloc(n * 3, sizeof(float)));
    uint16_t *index_array = static_cast<uint16_t *>(std::calloc(indices ? indices : 1, sizeof(uint16_t)));
    float *sets[3] = {nullptr, nullptr, nullptr};
    bool ok = positions && normals && index_array;
    for (uint8_t s = 0; s < texcoord_sets && s < 3; s++) {
        sets[s] = static_cast<float *>(std::calloc(n * 2, sizeof(float)));
        ok = ok && sets[s];
    }
    if (!ok) {
        std::free(positions);
        std::free(normals);
        std::free(index_array);
        for (float *set : sets)
            std::free(set);
        resources::memory_budget_give(mesh_array_bytes(vertices, indices, texcoord_sets));
        return false;
    }
    mesh->vertex_count = static_cast<uint16_t>(vertices);
    mesh->index_count = indices;
    mesh->texcoord_set_count = texcoord_sets;
    mesh->positions = positions;
    mesh->normals = normals;
    mesh->indices = index_array;
    for (int s = 0; s < 3; s++)
        mesh->texcoords[s] = sets[s];
    return true;
}

void mesh_free_arrays(Mesh *mesh) {
    if (mesh->positions)
        resources::memory_budget_give(
            mesh_array_bytes(mesh->vertex_count, mesh->index_count, mesh->texcoord_set_count));
    std::free(mesh->positions);
    std::free(mesh->normals);
    std::free(mesh->indices);
    // Wireframe lines are made from the indices on first use; new arrays need new lines.
    std::free(mesh->line_indices);
    mesh->line_indices = nullptr;
    for (float *&set : mesh->texcoords) {
        std::free(set);
        set = nullptr;
    }
    mesh->positions = mesh->normals = nullptr;
    mesh->indices = nullptr;
    mesh->vertex_count = 0;
    mesh->index_count = 0;
    mesh->texcoord_set_count = 0;
}

// Vertex 30i + j at (i, 0, j); both texture sets (i, j) / 30; the triangles (a, a + 1, a + 31) of
// every cell, then (a, a + 31, a + 30).
bool water_grid_build(Mesh *mesh) {
    if (!mesh_allocate(mesh, kWaterVertices, kWaterIndices, 2)) return false;
    const float step = 0.033333335f;
    for (int i = 0; i < kWaterSide; i++)
        for (int j = 0; j < kWaterSide; j++) {
            int v = kWaterSide * i + j;
            mesh->positions[v * 3 + 0] = static_cast<float>(i);
            mesh->positions[v * 3 + 1] = 0.0f;
            mesh->positions[v * 3 + 2] = static_cast<float>(j);
            for (int s = 0; s < 2; s++) {
                mesh->texcoords[s][v * 2 + 0] = static_cast<float>(i) * step;
                mesh->texcoords[s][v * 2 + 1] = static_cast<float>(j) * step;
            }
        }
    uint16_t *out = mesh->indices;
    for (int half = 0; half < 2; half++)
        for (int r = 0; r < kWaterSide - 1; r++)
            for (int q = 0; q < kWaterSide - 1; q++) {
                uint16_t a = static_cast<uint16_t>(kWaterSide * r + q);
                *out++ = a;
                *out++ = static_cast<uint16_t>(half == 0 ? a + 1 : a + 31);
                *out++ = static_cast<uint16_t>(half == 0 ? a + 31 : a + 30);
            }
    return true;
}

bool swirl_build(Mesh *mesh) {
    if (!mesh_allocate(mesh, 256, 765, 0)) return false;
    uint16_t *out = mesh->indices;
    for (uint16_t v = 1; v <= 254; v++) {
        *out++ = 0;
        *out++ = v;
        *out++ = static_cast<uint16_t>(v + 1);
    }
    *out++ = 0;
    *out++ = 255;
    *out++ = 1;
    return true;
}

int32_t saturate_i32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void lake_water_update(MeshEffect *e, float time) {
    LakeWaterState *s = static_cast<LakeWaterState *>(e->state);
    // The window and the step test in double: S + 2 must not overflow near the 32-bit limit.
    if (!(time > s->step - 2.0 && time < s->step + 2.0)) s->step = maths::convert_to_i32(time);
    if (time >= s->step + 1.0) {
        std::memcpy(s->heights[0], s->heights[s->h1], sizeof s->heights[0]);
        s->step = maths::convert_to_i32(time);
        uint8_t swap = s->h1;
        s->h1 = s->h2;
        s->h2 = swap;
        const int32_t *h1 = s->heights[s->h1];
        int32_t *h2 = s->heights[s->h2];
        for (int k = kWaterSide; k < kWaterVertices - kWaterSide; k++) {
            // 64-bit sums: heights have no lower limit, so four of them may pass the 32-bit range.
            int64_t sum = int64_t(h1[k - 1]) + h1[k + 1] + h1[k - kWaterSide] + h1[k + kWaterSide];
            int64_t v = (sum >> 1) - h2[k];
            v = v - (v >> 5);
            if (v > 4.8) v = 4;
            h2[k] = saturate_i32(v);
        }
        for (int r = 0; r < kWaterSide; r++) {
            h2[kWaterSide * r] = 0;
            h2[kWaterSide * r + kWaterSide - 1] = 0;
        }
        int32_t *drops = s->heights[s->h1];
        static const int32_t kDrop[4] = {-6, -5, -6, -5};
        for (int32_t depth : kDrop) {
            // In double the largest draw maps to 899; in float it would round to 900, past the grid.
            double k = std::trunc(maths::shared_random_next() * 0.027466658502817154);
            drops[k < 0 ? 0 : (k > kWaterVertices - 1 ? kWaterVertices - 1 : static_cast<int>(k))] = depth;
        }
    }
    float f = std::fabs(time - static_cast<float>(s->step));
    if (f > 1.0f) f = f - std::trunc(f);
    const int32_t *h0 = s->heights[0], *h1 = s->heights[s->h1], *h2 = s->heights[s->h2];
    for (int k = 0; k < kWaterVertices; k++)
        e->mesh.positions[k * 3 + 1] =
            static_cast<float>(0.2 * (0.5 * (1.0 - f) * h0[k] + 0.5 * f * h2[k] + 0.5 * h1[k]));
    mesh_recompute_normals(&e->mesh);
}

void centerwave_water_update(MeshEffect *e, float time) {
    CenterwaveState *s = static_cast<CenterwaveState *>(e->state);
    if (std::fabs(time - s->last_time) < 0.01) return;
    s->last_time = time;
    for (int i = 0; i < kWaterSide; i++)
        for (int j = 0; j < kWaterSide; j++) {
            float d = std::sqrt(static_cast<float>((i - 15) * (i - 15) + (j - 15) * (j - 15)));
            float y = d > 14.0f ? 0.0f : (14.0f - d) * 0.1f * maths::cosine_lookup(d - time);
            e->mesh.positions[(kWaterSide * i + j) * 3 + 1] = y;
        }
    mesh_recompute_normals(&e->mesh);
}

void swirl_update(MeshEffect *e, float x, float y) {
    float *p = e->mesh.positions;
    for (int v = 1; v <= 255; v++) {
        float vf = static_cast<float>(v);
        float c = maths::cosine_lookup(vf * x);
        float q = maths::cosine_lookup(static_cast<double>(x * vf) + 1.5707963266);
        p[v * 3 + 0] = c * (y + vf + c);
        p[v * 3 + 1] = q * (vf + y + q);
        p[v * 3 + 2] = 0.0f;
    }
    mesh_recompute_normals(&e->mesh);
}

void umbrella_update(MeshEffect *e, float sides, float size, float angle) {
    UmbrellaState *s = static_cast<UmbrellaState *>(e->state);
    double wanted = std::trunc(std::fmax(static_cast<double>(sides), 3.0));
    int32_t n = maths::convert_clamped(wanted, 3, kUmbrellaMaxSides);
    if (wanted > kUmbrellaMaxSides && !s->cap_logged) {
        resources::log_format("Warning: Umbrella with %.0f sides is cut to %d sides.\r\n", wanted,
                              kUmbrellaMaxSides);
        s->cap_logged = true;
    }
    const double half_pi = 1.5707963267948966;
    double r = size * std::cos(half_pi - angle);
    double h = size * std::cos(static_cast<double>(angle));
    Mesh *m = &e->mesh;
    if (n != s->sides) {
        mesh_free_arrays(m);
        s->sides = -1;
        if (!mesh_allocate(m, uint32_t(n) + 1, 3u * uint32_t(n), 1)) {
            mesh_free_arrays(m);
            return;
        }
        s->sides = n;
        for (int32_t v = 1; v <= n; v++) {
            m->indices[(v - 1) * 3 + 0] = 0;
            m->indices[(v - 1) * 3 + 1] = static_cast<uint16_t>(v);
            m->indices[(v - 1) * 3 + 2] = static_cast<uint16_t>(v + 1);
        }
        m->indices[3 * n - 1] = 1; // closes the fan
    }
    m->positions[0] = m->positions[1] = m->positions[2] = 0.0f;
    m->texcoords[0][0] = m->texcoords[0][1] = 0.5f;
    for (int32_t v = 1; v <= n; v++) {
        double a = v * (6.283185307179586 / n);
        double ca = std::cos(a), sa = std::cos(half_pi - a);
        m->positions[v * 3 + 0] = static_cast<float>(r * ca);
        m->positions[v * 3 + 1] = static_cast<float>(-h);
        m->positions[v * 3 + 2] = static_cast<float>(r * sa);
        m->texcoords[0][v * 2 + 0] = static_cast<float>((ca + 1.0) * 0.5);
        m->texcoords[0][v * 2 + 1] = static_cast<float>((sa + 1.0) * 0.5);
    }
    mesh_recompute_normals(m);
}

int parameter_count_of(uint8_t kind) {
    return kind < kMeshEffectKindCount ? kMeshEffectDescriptors[kind].parameter_count : 1;
}

} // namespace

bool mesh_effect_init(MeshEffect *effect, uint8_t kind) {
    effect->kind = kind;
    switch (kind) {
    case MESH_EFFECT_LAKE_WATER: {
        LakeWaterState *s = static_cast<LakeWaterState *>(std::calloc(1, sizeof(LakeWaterState)));
        if (!s) return false;
        s->h1 = 1;
        s->h2 = 2;
        effect->state = s;
        return water_grid_build(&effect->mesh);
    }
    case MESH_EFFECT_CENTERWAVE_WATER: {
        CenterwaveState *s = static_cast<CenterwaveState *>(std::calloc(1, sizeof(CenterwaveState)));
        if (!s) return false;
        s->last_time = -1.0f;
        effect->state = s;
        return water_grid_build(&effect->mesh);
    }
    case MESH_EFFECT_SWIRL: return swirl_build(&effect->mesh);
    case MESH_EFFECT_UMBRELLA: {
        UmbrellaState *s = static_cast<UmbrellaState *>(std::calloc(1, sizeof(UmbrellaState)));
        if (!s) return false;
        s->sides = -1;
        effect->state = s;
        return true;
    }
    default: return true; // unknown kinds keep an empty mesh that never changes
    }
}

uint32_t mesh_effect_read(resources::ObjectList *effects, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(effects);
    if (!slot) return 0;
    MeshEffect *e = static_cast<MeshEffect *>(effects->record[slot - 1]);
    int32_t kind = resources::xml_attribute_int(element, "type");
    int i = 0;
    for (const XmlNode *p = element->first_child; p && resources::xml_name_is(p, kMeshEffectParameterName);
         p = p->next) {
        if (i < kMeshEffectParameters)
            e->parameter_functions[i++] = maths::convert_to_u16(resources::xml_text_int(p));
    }
    if (!mesh_effect_init(e, maths::convert_to_kind(kind))) {
        resources::log_format("Error: out of memory building mesh effect %u.\r\n",
                              effects->position[slot - 1]);
        mesh_effect_release(e);
    }
    return slot;
}

void mesh_effect_apply(MeshEffect *effect, const float *p) {
    // A record whose arrays could not be made draws nothing and is not rebuilt.
    switch (effect->kind) {
    case MESH_EFFECT_LAKE_WATER:
        if (effect->state && effect->mesh.positions) lake_water_update(effect, p[0]);
        break;
    case MESH_EFFECT_CENTERWAVE_WATER:
        if (effect->state && effect->mesh.positions) centerwave_water_update(effect, p[0]);
        break;
    case MESH_EFFECT_SWIRL:
        if (effect->mesh.positions) swirl_update(effect, p[0], p[1]);
        break;
    case MESH_EFFECT_UMBRELLA:
        if (effect->state) umbrella_update(effect, p[0], p[1], p[2]);
        break;
    default: break;
    }
}

void mesh_effect_update(uint32_t index, resources::ObjectList *effects,
                        const resources::ObjectList *functions, uint32_t t) {
    MeshEffect *e = resources::object_at<MeshEffect>(effects, index);
    if (!e) return;
    float p[3] = {0.0f, 0.0f, 0.0f};
    int count = parameter_count_of(e->kind);
    for (int i = 0; i < count; i++)
        p[i] = maths::convert_to_float(
            functions::function_evaluate_index(functions, e->parameter_functions[i], t));
    mesh_effect_apply(e, p);
}

void mesh_effect_reset(MeshEffect *effect) {
    if (!effect->state) return;
    switch (effect->kind) {
    case MESH_EFFECT_LAKE_WATER: {
        LakeWaterState *s = static_cast<LakeWaterState *>(effect->state);
        std::memset(s, 0, sizeof *s);
        s->h1 = 1;
        s->h2 = 2;
        break;
    }
    case MESH_EFFECT_CENTERWAVE_WATER:
        static_cast<CenterwaveState *>(effect->state)->last_time = -1.0f;
        break;
    case MESH_EFFECT_UMBRELLA: static_cast<UmbrellaState *>(effect->state)->sides = -1; break;
    default: break;
    }
}

void mesh_effect_release(MeshEffect *effect) {
    std::free(effect->state);
    effect->state = nullptr;
    mesh_free_arrays(&effect->mesh);
    mesh_release(&effect->mesh);
}

} // namespace geometry
