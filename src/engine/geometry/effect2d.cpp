#include "geometry/effect2d.h"

#include "functions/function.h"
#include "maths/cosine_table.h"
#include "maths/shared_random.h"
#include "resources/memory_budget.h"
#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace geometry {

using resources::XmlNode;

const Effect2DDescriptor kEffect2DDescriptors[kEffect2DKindCount] = {
    {"Test 2d effect", 2, {"Test parameter1", "Test parameter2"}},
    {"Effect 1", 1, {"Step"}},
    {"Amoba", 1, {"Update"}},
    {"Rotate", 1, {"Step"}},
    {"Normalmap", 1, {"Time"}},
};
static_assert(sizeof(kEffect2DDescriptors) / sizeof(kEffect2DDescriptors[0]) == kEffect2DKindCount,
              "one descriptor per 2D effect kind");

namespace {

// The plasma coefficients, as float32.
constexpr float kCoef[18] = {0.1f,  0.12f, 0.09f, 0.07f, 0.13f, 0.135f, 0.18f, 0.2f, 0.17f,
                             0.22f, 0.12f, 0.2f,  0.12f, 0.15f, 0.13f,  0.14f, 0.1f, 0.08f};
static_assert(sizeof(kCoef) / sizeof(kCoef[0]) == 18, "eighteen plasma coefficients");

constexpr float kInverseRandMax = 3.0518509447574615e-05f; // 1 / 32767

// Table entry for the step trunc(v) (its remainder by 4096, with the step's sign). Steps within 32
// bits take the short way; the rest (and NaN) the checked one.
inline double tc(double v) {
    if (v > -2147483648.0 && v < 2147483648.0) {
        int32_t k = static_cast<int32_t>(v);
        return maths::cosine_table()[maths::kCosineSteps + k % maths::kCosineSteps];
    }
    return maths::cosine_step_of(std::trunc(v));
}

// The low 8 bits of a truncated value (NaN and out-of-range values give the held 32-bit value).
inline uint8_t low_byte(double v) {
    return static_cast<uint8_t>(maths::convert_to_i32(v) & 0xFF);
}

// Document values can take any product beyond the float range; narrowing goes through the checked
// conversion.
inline float f32(double v) {
    return maths::convert_to_float(v);
}

// Per-channel coefficients of the two plasma kinds.
struct Plasma {
    float i[3], j[3], k[3], l[3];
};

Plasma plasma_channels(float s, float d, float d2) {
    Plasma p;
    for (int n = 0; n < 3; n++) {
        p.i[n] = f32((kCoef[2 * n] * double(d) + 1) * kCoef[12 + 2 * n] * maths::kCosineStepsPerRadian);
        p.j[n] = f32(kCoef[6 + 2 * n] * double(s) * maths::kCosineStepsPerRadian);
        p.k[n] = f32((kCoef[2 * n + 1] * double(d2) + 1) * kCoef[13 + 2 * n] * maths::kCosineStepsPerRadian);
        p.l[n] = f32(kCoef[7 + 2 * n] * double(s) * maths::kCosineStepsPerRadian);
    }
    return p;
}

// Writes channels 0..2 (24 bits) or channel 0 (8 bits) of one pixel from its two plasma sums.
inline void plasma_pixel(const Plasma &p, double u, double v, int channels, uint8_t *out) {
    for (int n = 0; n < channels; n++)
        out[n] = low_byte(63.0 * (tc(p.i[n] * u + p.j[n]) + 1) * (tc(p.k[n] * v + p.l[n]) + 1));
}

void generate_test(uint32_t size, int channels, const float *p, uint8_t *out) {
    uint32_t base = static_cast<uint32_t>(maths::convert_to_i32(double(p[0]) + p[1]));
    for (uint32_t y = 0; y < size; y++)
        for (uint32_t x = 0; x < size; x++, out += channels) {
            if (channels == 1) {
                out[0] = static_cast<uint8_t>((base + x + y) % 255u);
            } else {
                out[0] = static_cast<uint8_t>((base + y) % 255u);
                out[1] = static_cast<uint8_t>((base + x) % 255u);
                out[2] = static_cast<uint8_t>((base + x + y) % 255u);
            }
        }
}

void generate_effect1(uint32_t size, int channels, const float *params, uint8_t *out) {
    float s = f32(0.5 * params[0]);
    float a = f32((0.3 * std::cos(0.11 * s) + 0.7) * 9.72684185518603);
    float e = f32((0.2 * std::cos(0.11 * s) + 0.8) * 12.96912246068074);
    float w = f32(std::sin(0.1 * s) + 1.88);
    float h = f32(std::cos(0.01 * s) * w);
    float b = f32(std::sin(0.01 * s) * w);
    float g = f32((1 - std::cos(0.01 * s)) * w);
    float z = f32(0.06 * s), f = f32(0.08 * s);
    float d = f32(std::cos(0.13 * s + 6.0) - 1), d2 = f32(std::cos(0.17 * s + 8.0) - 1);
    Plasma p = plasma_channels(s, d, d2);
    // Q depends on the column only: worked out once per image.
    if (size > kEffect2DMaxSize) {
        std::memset(out, 0, size_t(size) * size * channels);
        return;
    }
    double qs[kEffect2DMaxSize];
    for (uint32_t x = 0; x < size; x++)
        qs[x] = 63.0 * (1 - tc(double(x) * a)) + z;
    for (uint32_t y = 0; y < size; y++) {
        double r = 63.0 * (1 - tc(double(y) * e)) + f;
        for (uint32_t x = 0; x < size; x++, out += channels) {
            double q = qs[x];
            double u = double(h) * q + double(b) * r, v = double(b) * q + double(g) * r;
            plasma_pixel(p, u, v, channels, out);
        }
    }
}

void generate_rotate(uint32_t size, int channels, const float *params, uint8_t *out) {
    float s = f32(0.5 * params[0]);
    float phi = f32(0.15 * s);
    float w = f32((std::sin(0.1 * s) + 1.88) * 20.0);
    float m = f32(63.0 * w);
    float f = f32(0.08 * w * s), z = f32(0.06 * w * s);
    float ax = f32((0.0024543671875 * std::cos(0.11 * s) + 0.00981746875) * maths::kCosineStepsPerRadian);
    float ey =
        f32((0.0027611630859375 * std::cos(0.11 * s) + 0.0064427138671875) * maths::kCosineStepsPerRadian);
    float d = f32(std::cos(0.13 * s) + 6.0 - 1), d2 = f32(std::cos(0.17 * s) + 8.0 - 1);
    Plasma p = plasma_channels(s, d, d2);
    double c = std::cos(double(phi)), sn = std::sin(double(phi));
    for (uint32_t y = 0; y < size; y++)
        for (uint32_t x = 0; x < size; x++, out += channels) {
            double u = std::trunc((x * c + y * sn) * ax);
            double v = std::trunc((x * sn + y * (1 - c)) * ey);
            double alpha = (1 - tc(u)) * m + f, beta = (1 - tc(v)) * m + z;
            for (int n = 0; n < channels; n++)
                out[n] =
                    low_byte(63.0 * (tc(alpha * p.i[n] + p.j[n]) + 1) * (tc(beta * p.k[n] + p.l[n]) + 1));
        }
}

// Entry 4096 + (k AND 4095): k in two's complement, so negative steps wrap into the second turn.
inline double tn(int64_t k) {
    return maths::cosine_table()[maths::kCosineSteps + static_cast<int>(k & 4095)];
}

void generate_normalmap(uint32_t size, const float *params, uint8_t *out) {
    int64_t t = maths::convert_to_i32(params[0]);
    for (uint32_t y = 0; y < size; y++) {
        int64_t a = int64_t(y) + t;
        for (uint32_t x = 0; x < size; x++, out += 3) {
            out[0] = low_byte((tn(t + 10 * int64_t(x)) + tn(10 * a)) * 255.0);
            out[1] = low_byte((tn(10 * t + 10 * int64_t(x) + 10000) + tn(a + 1000)) * 255.0);
            out[2] = 255;
        }
    }
}

// Draws a pixel index below limit from the shared sequence: trunc(rand x limit / 32767) + shift,
// worked in double and clamped to 0..limit - 1 + shift.
inline uint32_t random_index(double scale, double shift, uint32_t lo, uint32_t hi) {
    double v = std::trunc(maths::shared_random_next() * scale + shift);
    return v < lo ? lo : (v > hi ? hi : static_cast<uint32_t>(v));
}

void amoba_seed(Effect2D *e, AmobaState *s) {
    uint32_t size = e->width;
    int channels = e->bits_per_pixel / 8;
    maths::shared_random_seed(5);
    uint32_t pixels = size * size;
    // Positions in double: in float the largest draw would land one past the image.
    double scale = double(pixels) * double(kInverseRandMax);
    for (uint32_t i = 0; i < pixels / 400; i++) {
        uint32_t p = random_index(scale, 0.0, 0, pixels - 1);
        if (channels == 1) {
            s->image[p] = low_byte(maths::shared_random_next() * double(0.005859553813934326f) + 64.0);
        } else {
            for (int c = 0; c < 3; c++)
                s->image[p * 3 + c] = low_byte(maths::shared_random_next() * double(0.007812738418579102f));
        }
    }
}

void amoba_grow(Effect2D *e, AmobaState *s) {
    uint32_t size = e->width;
    int channels = e->bits_per_pixel / 8;
    double scale = double(size - 3) * double(kInverseRandMax);
    uint8_t *img = s->image;
    for (uint32_t i = 0; i < size * size / 8; i++) {
        int32_t r1 = maths::shared_random_next();
        int32_t r2 = maths::shared_random_next();
        uint32_t x = static_cast<uint32_t>(std::trunc(r2 * scale + 1));
        uint32_t y = static_cast<uint32_t>(std::trunc(r1 * scale + 1));
        // The largest position reached is S - 3; the clamp keeps every neighbour inside anyway.
        if (x > size - 2) x = size - 2;
        if (y > size - 2) y = size - 2;
        uint32_t p = y * size + x;
        const uint32_t neighbours[4] = {p + 1, p + size, p - 1, p - size};
        if (channels == 1) {
            if (img[p] > 64)
                for (uint32_t q : neighbours)
                    img[q] = img[p];
        } else if (img[p * 3] + img[p * 3 + 1] + img[p * 3 + 2] > 32) {
            for (uint32_t q : neighbours)
                std::memcpy(img + q * 3, img + p * 3, 3);
        }
    }
}

void generate_amoba(Effect2D *e, const float *params, uint8_t *out) {
    AmobaState *s = static_cast<AmobaState *>(e->state);
    if (!s || !s->image) {
        std::memset(out, 0, effect2d_image_bytes(e));
        return;
    }
    int32_t k = maths::convert_to_i32(params[0]);
    if (k != s->last_step) {
        s->last_step = k;
        amoba_grow(e, s);
    }
    std::memcpy(out, s->image, effect2d_image_bytes(e));
}

} // namespace

uint16_t effect2d_resolution(const char *text) {
    if (text && std::strcmp(text, "64x64") == 0) return 64;
    if (text && std::strcmp(text, "128x128") == 0) return 128;
    if (text && std::strcmp(text, "256x256") == 0) return 256;
    return kEffect2DMaxSize;
}

uint8_t effect2d_bits(const char *text) {
    return text && std::strcmp(text, "8") == 0 ? 8 : 24;
}

uint32_t effect2d_image_bytes(const Effect2D *e) {
    return uint32_t(e->width) * e->height * (e->bits_per_pixel / 8u);
}

uint32_t effect2d_read(resources::ObjectList *effects, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(effects);
    if (!slot) return 0;
    Effect2D *e = static_cast<Effect2D *>(effects->record[slot - 1]);
    const char *name = resources::xml_attribute(element, "name");
    if (name) std::strncpy(e->name, name, sizeof e->name - 1);
    int32_t kind = resources::xml_attribute_int(element, "type");
    e->kind = maths::convert_to_kind(kind);
    e->texture_format = maths::convert_to_u8(resources::xml_attribute_int(element, "texture_format"));
    e->texture_filter = maths::convert_to_u8(resources::xml_attribute_int(element, "texture_filter"));
    e->width = e->height = effect2d_resolution(resources::xml_attribute(element, "resolution"));
    e->bits_per_pixel = effect2d_bits(resources::xml_attribute(element, "bpp"));
    int i = 0;
    for (const XmlNode *p = element->first_child; p && resources::xml_name_is(p, kEffect2DParameterName);
         p = p->next)
        if (i < kEffect2DParameters)
            e->parameter_functions[i++] = maths::convert_to_u16(resources::xml_text_int(p));
    e->time_stamp = 0xFFFF;
    // The texture, a pixel buffer and "Amoba"'s own image at most: counted against the memory a
    // document may use. An effect that does not fit has no size and draws nothing.
    if (!resources::memory_budget_take(3ull * effect2d_image_bytes(e))) {
        e->width = e->height = 0;
        return slot;
    }
    if (e->kind == EFFECT2D_AMOBA) {
        AmobaState *s = static_cast<AmobaState *>(std::calloc(1, sizeof(AmobaState)));
        if (s) s->image = static_cast<uint8_t *>(std::calloc(effect2d_image_bytes(e), 1));
        e->state = s;
        if (s && s->image) amoba_seed(e, s);
    }
    return slot;
}

void effect2d_parameters(const Effect2D *e, const resources::ObjectList *functions, uint32_t t,
                         float out[kEffect2DParameters]) {
    int count = e->kind < kEffect2DKindCount ? kEffect2DDescriptors[e->kind].parameter_count : 0;
    for (int i = 0; i < kEffect2DParameters; i++)
        out[i] = i < count ? f32(functions::function_evaluate_index(functions, e->parameter_functions[i], t))
                           : 0.0f;
}

void effect2d_generate(Effect2D *e, const float *params, uint8_t *out) {
    uint32_t size = e->width;
    int channels = e->bits_per_pixel / 8;
    switch (e->kind) {
    case EFFECT2D_TEST: generate_test(size, channels, params, out); break;
    case EFFECT2D_EFFECT1: generate_effect1(size, channels, params, out); break;
    case EFFECT2D_AMOBA: generate_amoba(e, params, out); break;
    case EFFECT2D_ROTATE: generate_rotate(size, channels, params, out); break;
    case EFFECT2D_NORMALMAP:
        if (channels == 3)
            generate_normalmap(size, params, out);
        else
            std::memset(out, 0, effect2d_image_bytes(e));
        break;
    default: std::memset(out, 0, effect2d_image_bytes(e)); break;
    }
}

void effect2d_reset(Effect2D *e) {
    e->time_stamp = 0xFFFF;
    AmobaState *s = static_cast<AmobaState *>(e->state);
    if (e->kind != EFFECT2D_AMOBA || !s || !s->image) return;
    std::memset(s->image, 0, effect2d_image_bytes(e));
    s->last_step = 0;
    amoba_seed(e, s);
}

void effect2d_release(Effect2D *e) {
    resources::memory_budget_give(3ull * effect2d_image_bytes(e));
    e->width = e->height = 0;
    AmobaState *s = static_cast<AmobaState *>(e->state);
    if (s) std::free(s->image);
    std::free(s);
    e->state = nullptr;
}

} // namespace geometry
