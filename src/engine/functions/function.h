// Animation functions: a chain of up to 16 segments mapping an integer time (hundredths of a
// second) to a float, with optional loop or ping-pong, and a one-entry cache.
#pragma once

#include "resources/object_list.h"

#include <cstdint>

namespace resources {
struct XmlNode;
} // namespace resources

namespace functions {

constexpr int kMaxSegments = 16;
constexpr int kMaxSegmentParameters = 24;

enum SegmentKind : uint8_t {
    SEGMENT_CONSTANT = 0,
    SEGMENT_LINEAR = 1,
    SEGMENT_QUADRATIC = 2,
    SEGMENT_SINUS = 3,
    SEGMENT_SPLINE = 4,
    SEGMENT_SINUS_X = 5,
};

enum LoopMode : uint8_t { LOOP_OFF = 0, LOOP_LOOP = 1, LOOP_PING_PONG = 2 };

struct Function {
    uint8_t value_kind;    // 0 "Float", 1 "Integer"; stored, not used by evaluation
    uint8_t segment_count; // 0..16
    uint8_t segment_kinds[kMaxSegments];
    uint32_t segment_lengths[kMaxSegments];
    float parameters[kMaxSegments][kMaxSegmentParameters];
    uint8_t loop_mode; // other values behave as LOOP_OFF
    float loop_begin;
    float loop_end;
    float cached_value;   // 0.0 when read
    uint32_t cached_time; // 0xFFFFFFFF when read
};

// Descriptor tables: names, formula texts and parameter names of the segment kinds.
struct SegmentDescriptor {
    char name[32];
    char formula[48];
    uint8_t parameter_count;
    char parameter_names[kMaxSegmentParameters][32];
};
constexpr int kSegmentKindCount = 6;
extern const SegmentDescriptor kSegmentDescriptors[kSegmentKindCount];
extern const char *const kValueKindNames[2];
extern const char *const kLoopModeNames[3];

// Reads one function element into a new record appended to the list; returns its slot (0 when full).
// Segments beyond 16 and parameters beyond 24 are ignored with a log line; missing ones read as 0.
uint32_t function_read(resources::ObjectList *functions, const resources::XmlNode *element);

// Evaluates F at time t (hundredths of a second). No segments gives 1.0. Writes the cache.
double function_evaluate(Function *f, uint32_t t);

// Where evaluation at time t lands: the 0-based segment and the time within it, after the loop or
// ping-pong has moved t, as function_evaluate finds them (for the authors' pictures). -1 when F has
// no segments. Reads no cache and writes none.
int32_t function_locate(const Function *f, uint32_t t, uint32_t *local_time);

// The knot table a Catmull-Rom segment is evaluated through, built from its 24 parameters: X[k+1],
// Y[k+1] is knot k (1..12) where the engine places it, after moving a knot that is not at least one
// time unit after its predecessor; X[0], X[1], X[14] and X[15] are the outer knots it adds.
void function_spline_knots(const float *parameters, double X[16], double Y[16]);

// Evaluates the function at 1-based index in the list; an index that names no function gives 0.0.
double function_evaluate_index(const resources::ObjectList *functions, uint32_t index, uint32_t t);

} // namespace functions
