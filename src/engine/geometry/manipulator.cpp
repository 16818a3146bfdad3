#include "geometry/manipulator.h"

#include "functions/dynamic_value.h"
#include "maths/cosine_table.h"
#include "geometry/mesh_effect.h"
#include "maths/matrix.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace geometry {

const ManipulatorDescriptor kManipulatorDescriptors[kManipulatorKindCount] = {
    {"XYZ Multiplier",
     0,
     12,
     {"X number", "Y number", "Z number", "Position X step", "Position Y step", "Position Z step",
      "Rotate X step", "Rotate Y step", "Rotate Z step", "Scale X step", "Scale Y step", "Scale Z step"}},
    {"X Multiplier",
     0,
     10,
     {"X number", "Position X step", "Position Y step", "Position Z step", "Rotate X step", "Rotate Y step",
      "Rotate Z step", "Scale X step", "Scale Y step", "Scale Z step"}},
    {"Rippler", 0, 3, {"Time", "Amplitude", "Wavelength"}},
    {"Model placer",
     1,
     12,
     {"Position X", "Position Y", "Position Z", "Rotate X", "Rotate Y", "Rotate Z", "Scale X", "Scale Y",
      "Scale Z", "Rotate X step", "Rotate Y step", "Rotate Z step"}},
    {"Radial move", 0, 1, {"Distance"}},
};
static_assert(sizeof(kManipulatorDescriptors) / sizeof(kManipulatorDescriptors[0]) == kManipulatorKindCount,
              "one descriptor per manipulator kind");

namespace {

RippleBuffer g_ripple;

// A count from a parameter: truncated toward zero, negative and NaN give 0.
uint64_t count_of(float p) {
    if (!(p >= 1.0f)) return 0;
    return p >= 4294967295.0f ? 4294967295u : static_cast<uint64_t>(p);
}

uint64_t multiply_saturated(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

// A list of min(wanted, cap) instances (uninitialised); count 0 when memory runs out.
InstanceList list_allocate(uint64_t wanted, bool *cut) {
    if (wanted > kInstanceListCap) {
        wanted = kInstanceListCap;
        *cut = true;
    }
    InstanceList out = {nullptr, 0};
    if (wanted == 0) return out;
    out.items = static_cast<Instance *>(std::malloc(sizeof(Instance) * size_t(wanted)));
    if (out.items) out.count = static_cast<uint32_t>(wanted);
    return out;
}

InstanceList xyz_multiply(const InstanceList &in, const float *p, bool *cut) {
    uint64_t nx = count_of(p[0]), ny = count_of(p[1]), nz = count_of(p[2]);
    uint64_t total = multiply_saturated(multiply_saturated(multiply_saturated(in.count, nx), ny), nz);
    InstanceList out = list_allocate(total, cut);
    uint32_t n = 0;
    // Every loop level yields at least one instance (no count is 0 here), so stopping when the
    // list is full bounds the work by the cap.
    for (uint32_t k = 0; k < in.count && n < out.count; k++)
        for (uint64_t ix = 0; ix < nx && n < out.count; ix++)
            for (uint64_t iy = 0; iy < ny && n < out.count; iy++)
                for (uint64_t iz = 0; iz < nz && n < out.count; iz++) {
                    Instance &o = out.items[n++];
                    o = in.items[k];
                    float fx = static_cast<float>(ix), fy = static_cast<float>(iy),
                          fz = static_cast<float>(iz);
                    o.v[0] += fx * p[3];
                    o.v[1] += fy * p[4];
                    o.v[2] += fz * p[5];
                    o.v[3] += fx * p[6];
                    o.v[4] += fy * p[7];
                    o.v[5] += fz * p[8];
                    o.v[6] += fx * p[9];
                    o.v[7] += fy * p[10];
                    o.v[8] += fz * p[11];
                }
    return out;
}

InstanceList x_multiply(const InstanceList &in, const float *p, bool *cut) {
    uint64_t count = count_of(p[0]);
    InstanceList out = list_allocate(multiply_saturated(in.count, count), cut);
    uint32_t n = 0;
    for (uint32_t k = 0; k < in.count && n < out.count; k++)
        for (uint64_t i = 0; i < count && n < out.count; i++) {
            Instance &o = out.items[n++];
            o = in.items[k];
            float fi = static_cast<float>(i);
            for (int c = 0; c < 9; c++)
                o.v[c] += fi * p[1 + c];
        }
    return out;
}

void ripple(Mesh *own, const float *p) {
    if (!own || !own->positions || own->vertex_count == 0) return;
    uint32_t n = own->vertex_count;
    // A buffer left by another mesh (never expected: it is released after every item) is remade.
    if (g_ripple.positions && g_ripple.vertex_count != n) ripple_buffer_release();
    if (!g_ripple.positions) {
        g_ripple.positions = static_cast<float *>(std::malloc(sizeof(float) * 3 * n));
        g_ripple.normals = static_cast<float *>(std::calloc(size_t(3) * n, sizeof(float)));
        if (!g_ripple.positions || !g_ripple.normals) {
            ripple_buffer_release();
            return;
        }
        std::memcpy(g_ripple.positions, own->positions, sizeof(float) * 3 * n);
        g_ripple.vertex_count = n;
    }
    double a = static_cast<double>(p[2]) * maths::kCosineStepsPerRadian;
    double b = static_cast<double>(p[0]) * maths::kCosineStepsPerRadian;
    float amplitude = p[1];
    for (uint32_t i = 0; i < 3 * n; i++) {
        float w = g_ripple.positions[i];
        g_ripple.positions[i] = w + amplitude * maths::cosine_step_of(std::trunc(w * a + b));
    }
    mesh_normals_from(g_ripple.positions, g_ripple.normals, n, own->indices, own->index_count);
}

InstanceList model_place(const InstanceList &in, const float *p, const Mesh *target, bool *cut) {
    maths::MatrixState *s = maths::matrix_state();
    maths::matrix_identity(s, maths::MATRIX_PLACEMENT);
    maths::matrix_translate(s, maths::MATRIX_PLACEMENT, p[0], p[1], p[2]);
    maths::matrix_rotate_x(s, maths::MATRIX_PLACEMENT, p[3]);
    maths::matrix_rotate_y(s, maths::MATRIX_PLACEMENT, p[4]);
    maths::matrix_rotate_z(s, maths::MATRIX_PLACEMENT, p[5]);
    maths::matrix_scale(s, maths::MATRIX_PLACEMENT, p[6], p[7], p[8]);
    const float *m = s->m[maths::MATRIX_PLACEMENT];
    uint32_t vertices = target->positions ? target->vertex_count : 0;
    InstanceList out = list_allocate(multiply_saturated(in.count, vertices), cut);
    if (out.count == 0) return out;
    float *placed = static_cast<float *>(std::malloc(sizeof(float) * 3 * vertices));
    if (!placed) {
        instance_list_free(&out);
        return out;
    }
    for (uint32_t v = 0; v < vertices; v++) {
        const float *x = target->positions + v * 3;
        for (int r = 0; r < 3; r++)
            placed[v * 3 + r] = m[r] * x[0] + m[4 + r] * x[1] + m[8 + r] * x[2] + m[12 + r];
    }
    uint32_t n = 0;
    for (uint32_t k = 0; k < in.count && n < out.count; k++)
        for (uint32_t v = 0; v < vertices && n < out.count; v++) {
            const Instance &src = in.items[k];
            Instance &o = out.items[n++];
            float fv = static_cast<float>(v);
            for (int c = 0; c < 3; c++) {
                o.v[c] = placed[v * 3 + c] + src.v[c];
                o.v[3 + c] = src.v[3 + c] + p[3 + c] + fv * p[9 + c];
                o.v[6 + c] = src.v[6 + c];
            }
        }
    std::free(placed);
    return out;
}

// Moves the instances in place: the list keeps its length.
void radial_move(InstanceList *list, const float *p, Mesh *own) {
    const float *centre = own ? mesh_centre(own) : nullptr;
    if (!centre) return;
    for (uint32_t i = 0; i < list->count; i++)
        for (int c = 0; c < 3; c++)
            list->items[i].v[c] += p[0] * centre[c];
}

} // namespace

InstanceList manipulator_apply(InstanceList list, uint8_t kind, const float *p, Mesh *own_mesh,
                               const Mesh *target, bool *cut) {
    InstanceList out;
    switch (kind) {
    case MANIPULATOR_XYZ_MULTIPLIER: out = xyz_multiply(list, p, cut); break;
    case MANIPULATOR_X_MULTIPLIER: out = x_multiply(list, p, cut); break;
    case MANIPULATOR_RIPPLER: ripple(own_mesh, p); return list; // moves vertices, not instances
    case MANIPULATOR_MODEL_PLACER:
        if (!target) return list;
        out = model_place(list, p, target, cut);
        break;
    case MANIPULATOR_RADIAL_MOVE: radial_move(&list, p, own_mesh); return list;
    default: return list; // no defined result: the list passes through
    }
    instance_list_free(&list);
    return out;
}

void manipulator_parameters(const ManipulatorEntry *entry, const resources::ObjectList *functions, uint32_t t,
                            float out[kManipulatorParameters]) {
    int count =
        entry->kind < kManipulatorKindCount ? kManipulatorDescriptors[entry->kind].parameter_count : 0;
    for (int i = 0; i < kManipulatorParameters; i++) {
        bool animated = (entry->animated[i / 8] & (0x80 >> (i % 8))) != 0;
        out[i] = i < count ? functions::dynamic_evaluate(entry->parameters[i], animated, functions, t) : 0.0f;
    }
}

InstanceList manipulators_run(const ManipulatorEntry *entries, uint8_t count, const Instance &placement,
                              Mesh *own_mesh, uint32_t t, const ManipulatorSources &sources, bool *cut) {
    bool unused = false;
    InstanceList list = list_allocate(1, &unused);
    if (list.count) list.items[0] = placement;
    for (uint8_t i = 0; i < count; i++) {
        const ManipulatorEntry *e = &entries[i];
        float p[kManipulatorParameters];
        manipulator_parameters(e, sources.functions, t, p);
        const Mesh *target = nullptr;
        if (e->kind == MANIPULATOR_MODEL_PLACER && e->target_index != 0) {
            if (e->target_kind == 0) {
                target = resources::object_at<Mesh>(sources.models, e->target_index);
            } else {
                MeshEffect *effect = resources::object_at<MeshEffect>(sources.mesh_effects, e->target_index);
                if (effect) {
                    mesh_effect_update(e->target_index, sources.mesh_effects, sources.functions, t);
                    target = &effect->mesh;
                }
            }
        }
        list = manipulator_apply(list, e->kind, p, own_mesh, target, cut);
    }
    return list;
}

void instance_list_free(InstanceList *list) {
    std::free(list->items);
    list->items = nullptr;
    list->count = 0;
}

RippleBuffer *ripple_buffer() {
    return g_ripple.positions ? &g_ripple : nullptr;
}

void ripple_buffer_release() {
    std::free(g_ripple.positions);
    std::free(g_ripple.normals);
    g_ripple = RippleBuffer{};
}

} // namespace geometry
