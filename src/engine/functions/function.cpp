#include "functions/function.h"

#include "resources/log.h"
#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cmath>
#include <cstring>

namespace functions {

using resources::XmlNode;

const SegmentDescriptor kSegmentDescriptors[kSegmentKindCount] = {
    {"Constant", "f(x) = a", 1, {"a"}},
    {"Linear", "f(x) = a * x + b", 2, {"a", "b"}},
    {"Quadratic", "f(x) = a * (x - b)^2 + c", 3, {"a", "b", "c"}},
    {"Sinus", "f(x) = a * sin(x * b - c) + d", 4, {"a", "b", "c", "d"}},
    {"Catmull-Rom Spline", "Catmull-Rom Spline", 24, {"x1", "y1", "x2",  "y2",  "x3",  "y3",  "x4",  "y4",
                                                      "x5", "y5", "x6",  "y6",  "x7",  "y7",  "x8",  "y8",
                                                      "x9", "y9", "x10", "y10", "x11", "y11", "x12", "y12"}},
    {"Sinus * x", "f(x) = (a * x + e) * sin(x * b - c) + d", 5, {"a", "b", "c", "d", "e"}},
};
static_assert(sizeof(kSegmentDescriptors) / sizeof(kSegmentDescriptors[0]) == kSegmentKindCount,
              "one descriptor per segment kind");

const char *const kValueKindNames[2] = {"Float", "Integer"};
const char *const kLoopModeNames[3] = {"Off", "Loop", "Ping-pong"};

uint32_t function_read(resources::ObjectList *functions, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(functions);
    if (!slot) return 0;
    Function *f = static_cast<Function *>(functions->record[slot - 1]);
    f->value_kind = static_cast<uint8_t>(resources::xml_attribute_int(element, "type"));
    f->loop_mode = static_cast<uint8_t>(resources::xml_attribute_int(element, "loop_type"));
    f->loop_begin = resources::xml_attribute_float(element, "loop_begin");
    f->loop_end = resources::xml_attribute_float(element, "loop_end");
    f->segment_count = 0;
    f->cached_time = 0xFFFFFFFFu;
    f->cached_value = 0.0f;
    for (const XmlNode *segment = element->first_child; segment; segment = segment->next) {
        if (f->segment_count == kMaxSegments) {
            resources::log_format("Warning: function %u has more than %d segments; the rest are ignored.\r\n",
                                  functions->position[slot - 1], kMaxSegments);
            break;
        }
        int s = f->segment_count++;
        f->segment_kinds[s] = static_cast<uint8_t>(resources::xml_attribute_int(segment, "type"));
        f->segment_lengths[s] = static_cast<uint32_t>(resources::xml_attribute_int(segment, "length"));
        int p = 0;
        for (const XmlNode *param = segment->first_child; param; param = param->next, p++) {
            if (p == kMaxSegmentParameters) {
                resources::log_format(
                    "Warning: segment %d of function %u has more than %d parameters; the rest "
                    "are ignored.\r\n",
                    s + 1, functions->position[slot - 1], kMaxSegmentParameters);
                break;
            }
            f->parameters[s][p] = resources::xml_text_float(param);
        }
    }
    return slot;
}

// Loop bounds are truncated toward zero and then used as unsigned 32-bit times (a negative bound
// wraps as a 32-bit integer would; bounds beyond the 32-bit range are held at its ends).
static uint32_t loop_bound(float v) {
    return v >= 0.0f ? maths::convert_to_u32(v) : static_cast<uint32_t>(maths::convert_to_i32(v));
}

void function_spline_knots(const float *p, double X[16], double Y[16]) {
    X[0] = -999999.0;
    Y[0] = p[1];
    X[1] = static_cast<double>(p[0]) - 1.0;
    Y[1] = p[1];
    for (int k = 1; k <= 12; k++) {
        X[k + 1] = p[2 * k - 2];
        Y[k + 1] = p[2 * k - 1];
    }
    // A knot that is not at least one unit after its predecessor moves there and takes its y.
    for (int j = 2; j <= 13; j++) {
        if (X[j - 1] + 1.0 > X[j]) {
            X[j] = X[j - 1] + 1.0;
            Y[j] = Y[j - 1];
        }
    }
    X[14] = X[13] + 999999.0;
    Y[14] = Y[13];
    X[15] = 9999999.0;
    Y[15] = Y[13];
}

static double spline_value(const float *p, double x) {
    double X[16], Y[16];
    function_spline_knots(p, X, Y);

    int i = 15;
    for (int k = 1; k <= 14; k++) {
        if (x <= X[k]) {
            i = k;
            break;
        }
    }
    if (x <= X[1]) return Y[1];
    if (i == 15) return Y[13];
    double d = X[i] - X[i - 1];
    double p1 = Y[i - 1];
    double p2 = Y[i];
    double p0 = Y[i - 1] + d * (Y[i - 1] - Y[i - 2]) / (X[i - 2] - X[i - 1]);
    double p3 = Y[i] + d * (Y[i + 1] - Y[i]) / (X[i + 1] - X[i]);
    double u = (x - X[i - 1]) / d;
    return 0.5 * (2.0 * p1 + u * (p2 - p0) + u * u * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) +
                  u * u * u * (3.0 * p1 - 3.0 * p2 + p3 - p0));
}

static double segment_value(uint8_t kind, const float *p, double x) {
    switch (kind) {
    case SEGMENT_CONSTANT: return p[0];
    case SEGMENT_LINEAR: return double(p[0]) * x + p[1];
    case SEGMENT_QUADRATIC: return double(p[0]) * (x - p[1]) * (x - p[1]) + p[2];
    case SEGMENT_SINUS: return double(p[0]) * std::sin(x * p[1] - p[2]) + p[3];
    case SEGMENT_SPLINE: return spline_value(p, x);
    case SEGMENT_SINUS_X: return (double(p[0]) * x + p[4]) * std::sin(x * p[1] - p[2]) + p[3];
    default: return 1.0;
    }
}

int32_t function_locate(const Function *f, uint32_t t, uint32_t *local_time) {
    if (f->segment_count == 0) return -1;
    if (f->loop_mode == LOOP_LOOP || f->loop_mode == LOOP_PING_PONG) {
        uint32_t end = loop_bound(f->loop_end);
        uint32_t begin = loop_bound(f->loop_begin);
        // An empty or reversed range cannot be looped over; the time is left as it is.
        if (t > end && end > begin) {
            uint32_t span = end - begin;
            if (f->loop_mode == LOOP_LOOP) {
                t = (t - begin) % span + begin;
            } else {
                // Twice the span may not fit in 32 bits.
                uint64_t period = uint64_t(span) * 2;
                uint64_t r = uint64_t(t - begin) % period;
                t = static_cast<uint32_t>(r <= span ? r : period - r);
            }
        }
    }

    int count = f->segment_count > kMaxSegments ? kMaxSegments : f->segment_count;
    int i = 0;
    uint32_t x = t;
    for (;;) {
        if (x <= f->segment_lengths[i]) break;
        x -= f->segment_lengths[i];
        if (++i == count) {
            i = count - 1;
            x = f->segment_lengths[i]; // past the end: hold the last segment's end value
            break;
        }
    }
    *local_time = x;
    return i;
}

double function_evaluate(Function *f, uint32_t t) {
    if (f->segment_count == 0) return 1.0;
    if (t == f->cached_time) return f->cached_value;
    f->cached_time = t;
    uint32_t x = 0;
    int32_t i = function_locate(f, t, &x);
    double value = segment_value(f->segment_kinds[i], f->parameters[i], static_cast<double>(x));
    f->cached_value = maths::convert_to_float(value);
    return value;
}

double function_evaluate_index(const resources::ObjectList *functions, uint32_t index, uint32_t t) {
    Function *f = resources::object_at<Function>(functions, index);
    return f ? function_evaluate(f, t) : 0.0;
}

} // namespace functions
