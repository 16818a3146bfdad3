#include "functions/dynamic_value.h"
#include "functions/function.h"
#include "resources/xml.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace functions;

namespace {

// A function whose one linear segment f(x) = x makes the evaluated value show the local time.
Function identity(uint32_t length, uint8_t loop_mode, float begin, float end) {
    Function f = {};
    f.segment_count = 1;
    f.segment_kinds[0] = SEGMENT_LINEAR;
    f.segment_lengths[0] = length;
    f.parameters[0][0] = 1.0f;
    f.loop_mode = loop_mode;
    f.loop_begin = begin;
    f.loop_end = end;
    f.cached_time = 0xFFFFFFFFu;
    return f;
}

TEST(Function, LoopAndPingPongTimes) {
    struct Case {
        uint8_t mode;
        float begin, end;
        uint32_t t;
        double expected;
    } cases[] = {
        {LOOP_LOOP, 100, 200, 250, 150},      {LOOP_LOOP, 100, 200, 200, 200},
        {LOOP_LOOP, 100, 200, 199, 199},      {LOOP_LOOP, 100, 200, 301, 101},
        {LOOP_PING_PONG, 0, 100, 150, 50},    {LOOP_PING_PONG, 0, 100, 230, 30},
        {LOOP_PING_PONG, 100, 200, 250, 50},  {LOOP_PING_PONG, 0, 100, 100, 100},
        {LOOP_PING_PONG, 0, 100, 200, 0},     {LOOP_LOOP, 0, 99.9f, 100, 1}, // end truncates to 99
        {LOOP_LOOP, 0.9f, 10, 11, 1},         {LOOP_OFF, 0, 100, 150, 150},
        {7, 0, 100, 150, 150},                // unknown modes do not loop
        {LOOP_LOOP, 200, 200, 250, 250},      // empty range: unchanged
        {LOOP_PING_PONG, 300, 200, 250, 250}, // reversed range: unchanged
        {LOOP_PING_PONG, 0, 3e9f, 3100000000u, 2900000000.0}, // twice the span does not fit in 32 bits
    };
    for (const Case &c : cases) {
        Function f = identity(0xFFFFFFFFu, c.mode, c.begin, c.end);
        EXPECT_DOUBLE_EQ(function_evaluate(&f, c.t), c.expected)
            << "mode " << int(c.mode) << " [" << c.begin << ", " << c.end << "] t " << c.t;
    }
}

TEST(Function, SegmentSearchBoundariesAndTheEnd) {
    Function f = {};
    f.cached_time = 0xFFFFFFFFu;
    f.segment_count = 3;
    f.segment_kinds[0] = SEGMENT_CONSTANT;
    f.segment_lengths[0] = 100;
    f.parameters[0][0] = 5.0f;
    f.segment_kinds[1] = SEGMENT_LINEAR; // 2x + 1
    f.segment_lengths[1] = 50;
    f.parameters[1][0] = 2.0f;
    f.parameters[1][1] = 1.0f;
    f.segment_kinds[2] = SEGMENT_QUADRATIC; // 0.5 (x - 4)^2 + 3
    f.segment_lengths[2] = 10;
    f.parameters[2][0] = 0.5f;
    f.parameters[2][1] = 4.0f;
    f.parameters[2][2] = 3.0f;
    struct Case {
        uint32_t t;
        double expected;
    } cases[] = {
        {0, 5},       {100, 5},                  // x = 100 is still segment 0
        {101, 3},     {150, 101},                // segment 1 with x = 1 and x = 50
        {151, 7.5},   {160, 21},                 // segment 2: x = 1 and x = 10
        {161, 21},    {1000000, 21},             // past the end: the last segment at its full length
    };
    for (const Case &c : cases) EXPECT_DOUBLE_EQ(function_evaluate(&f, c.t), c.expected) << "t " << c.t;
    Function none = {};
    none.cached_time = 0xFFFFFFFFu;
    EXPECT_EQ(function_evaluate(&none, 0), 1.0);
    EXPECT_EQ(function_evaluate(&none, 12345), 1.0);
}

TEST(Function, SegmentKindsInDoublePrecision) {
    struct Case {
        uint8_t kind;
        float p[5];
        uint32_t x;
        double expected;
    } cases[] = {
        {SEGMENT_SINUS, {2, 0.5f, 1, 3}, 4, 2 * std::sin(4 * 0.5 - 1) + 3},
        {SEGMENT_SINUS_X, {0.25f, 0.5f, 1, 3, 2}, 4, (0.25 * 4 + 2) * std::sin(4 * 0.5 - 1) + 3},
        {SEGMENT_QUADRATIC, {-1, 10, 0}, 7, -9},
        {9, {1, 2, 3}, 7, 1.0}, // an unknown kind gives 1.0
    };
    for (const Case &c : cases) {
        Function f = {};
        f.cached_time = 0xFFFFFFFFu;
        f.segment_count = 1;
        f.segment_kinds[0] = c.kind;
        f.segment_lengths[0] = 100;
        for (int i = 0; i < 5; i++) f.parameters[0][i] = c.p[i];
        EXPECT_DOUBLE_EQ(function_evaluate(&f, c.x), c.expected) << "kind " << int(c.kind);
        // The cache keeps a float: a second call at the same time returns the narrowed value.
        EXPECT_EQ(function_evaluate(&f, c.x), static_cast<float>(c.expected));
    }
}

TEST(Function, CacheKeysOnTheTimePassedIn) {
    Function f = identity(1000, LOOP_LOOP, 100, 200);
    EXPECT_EQ(function_evaluate(&f, 250), 150.0);
    EXPECT_EQ(f.cached_time, 250u);
    f.parameters[0][0] = 3.0f; // changed behind the cache's back
    EXPECT_EQ(function_evaluate(&f, 250), 150.0);
    EXPECT_EQ(function_evaluate(&f, 251), 453.0);
}

Function spline(std::initializer_list<float> knots) {
    Function f = {};
    f.cached_time = 0xFFFFFFFFu;
    f.segment_count = 1;
    f.segment_kinds[0] = SEGMENT_SPLINE;
    f.segment_lengths[0] = 1000;
    int i = 0;
    for (float v : knots) f.parameters[0][i++] = v;
    return f;
}

TEST(Function, CatmullRomSplineKnotTable) {
    // Knots (10, 0), (20, 10), (30, 10); the trailing (0, 0) knots become a flat run.
    Function even = spline({10, 0, 20, 10, 30, 10});
    struct Case {
        Function *f;
        uint32_t x;
        double expected;
    };
    // By hand: between 10 and 20, P0 = 0, P1 = 0, P2 = 10, P3 = 10.
    auto blend = [](double p0, double p1, double p2, double p3, double u) {
        return 0.5 * (2 * p1 + u * (p2 - p0) + u * u * (2 * p0 - 5 * p1 + 4 * p2 - p3) +
                      u * u * u * (3 * p1 - 3 * p2 + p3 - p0));
    };
    Function uneven = spline({10, 0, 20, 10, 25, 30});
    // Out of order: (5, 7) moves to x 11 with the previous y, 0.
    Function reordered = spline({10, 0, 5, 7, 20, 10});
    Function flat = spline({10, 4, 20, 8});
    Case cases[] = {
        {&even, 15, 5.0},
        {&even, 12, 1.52},
        {&even, 20, 10.0},
        {&even, 35, 10.0}, // inside the flat run
        // Between 20 and 25 (d = 5): P0 = 10 + 5 (10 - 0) / (10 - 20) = 5, P3 = 30 (next knot moved to 26).
        {&uneven, 22, blend(5, 10, 30, 30, 0.4)},
        // Between 11 and 20 (d = 9): P0 = 0, P1 = 0, P2 = 10, P3 = 10.
        {&reordered, 15, blend(0, 0, 10, 10, 4.0 / 9.0)},
        {&reordered, 11, 0.0},
        {&flat, 0, 4.0},
        {&flat, 9, 4.0}, // x <= x1 - 1 is y1
    };
    for (const Case &c : cases) EXPECT_NEAR(function_evaluate(c.f, c.x), c.expected, 1e-9) << "x " << c.x;
    EXPECT_NEAR(blend(5, 10, 30, 30, 0.4), 17.88, 1e-9); // the hand-computed number itself
}

TEST(Function, LocateNamesTheSegmentAndTheTimeWithinIt) {
    // Segments of 100, 50 and 10, looped over 120..160 once past 160.
    Function f = identity(100, LOOP_LOOP, 120, 160);
    f.segment_count = 3;
    f.segment_lengths[1] = 50;
    f.segment_lengths[2] = 10;
    struct Case {
        uint32_t t;
        int32_t segment;
        uint32_t local;
    } cases[] = {
        {0, 0, 0},   {100, 0, 100}, {101, 1, 1},  {150, 1, 50},
        {151, 2, 1}, {160, 2, 10},  {161, 1, 21}, {200, 1, 20}, // looped: 200 runs as 120
    };
    for (const Case &c : cases) {
        uint32_t local = 0;
        EXPECT_EQ(function_locate(&f, c.t, &local), c.segment) << "t " << c.t;
        EXPECT_EQ(local, c.local) << "t " << c.t;
    }
    Function none = {};
    uint32_t local = 7;
    EXPECT_EQ(function_locate(&none, 5, &local), -1);
    // Knots as the engine places them: (5, 7) after (10, 0) moves to x 11 with y 0.
    Function reordered = spline({10, 0, 5, 7, 20, 10});
    double X[16], Y[16];
    function_spline_knots(reordered.parameters[0], X, Y);
    const double expected[][2] = {{-999999, 0}, {9, 0}, {10, 0}, {11, 0}, {20, 10}, {21, 10}};
    for (int k = 0; k < 6; k++) {
        EXPECT_EQ(X[k], expected[k][0]) << "knot " << k;
        EXPECT_EQ(Y[k], expected[k][1]) << "knot " << k;
    }
}

TEST(Function, ReaderKeepsLimitsAndLogsWhatItDrops) {
    std::string segments;
    for (int i = 0; i < 18; i++) segments += "<s type=\"0\" length=\"10\"><a>" + std::to_string(i) + "</a></s>";
    std::string params;
    for (int i = 0; i < 26; i++) params += "<p>" + std::to_string(i) + "</p>";
    std::string text = "<f type=\"1\" loop_type=\"2\" loop_begin=\"1.5\" loop_end=\"99.9\">" + segments + "</f>"
                       "<g type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\">"
                       "<s type=\"4\" length=\"5\">" + params + "</s><s type=\"2\" length=\"7\"><a>2</a></s></g>";
    resources::XmlNode *doc = resources::xml_parse(text.c_str());
    resources::ObjectList *list = resources::object_list_create(sizeof(Function));
    testutil::LogCapture log;
    EXPECT_EQ(function_read(list, doc->first_child), 1u);
    EXPECT_EQ(function_read(list, doc->first_child->next), 2u);
    Function *f = resources::object_at<Function>(list, 1);
    EXPECT_EQ(f->value_kind, 1);
    EXPECT_EQ(f->loop_mode, LOOP_PING_PONG);
    EXPECT_FLOAT_EQ(f->loop_begin, 1.5f);
    EXPECT_EQ(f->segment_count, 16);
    EXPECT_EQ(f->parameters[15][0], 15.0f);
    EXPECT_EQ(f->cached_time, 0xFFFFFFFFu);
    Function *g = resources::object_at<Function>(list, 2);
    EXPECT_EQ(g->segment_count, 2);
    EXPECT_EQ(g->parameters[0][23], 23.0f);
    EXPECT_EQ(g->segment_lengths[1], 7u);
    EXPECT_EQ(g->parameters[1][0], 2.0f);
    EXPECT_EQ(g->parameters[1][1], 0.0f); // not given: zero
    EXPECT_EQ(log.text(), "Warning: function 1 has more than 16 segments; the rest are ignored.\r\n"
                          "Warning: segment 1 of function 2 has more than 24 parameters; the rest are ignored.\r\n");
    resources::object_list_free(list);
    resources::xml_free(doc);
}

TEST(DynamicValue, StaticAndDynamicReadingAndEvaluation) {
    resources::XmlNode *doc = resources::xml_parse(
        "<r><a type=\"static\" value=\"2.5\"/><b type=\"dynamic\" value=\"1\"/><c type=\"other\" value=\"1\"/>"
        "<d type=\"dynamic\" value=\"7\"/></r>");
    const resources::XmlNode *a = doc->first_child->first_child, *b = a->next, *c = b->next, *d = c->next;
    resources::ObjectList *functions = resources::object_list_create(sizeof(Function));
    Function *f = static_cast<Function *>(functions->record[resources::object_list_add(functions) - 1]);
    *f = identity(1000, LOOP_OFF, 0, 0);
    uint32_t slot;
    EXPECT_EQ(dynamic_read(a, DYNAMIC_UNLESS_STATIC, &slot), 0);
    EXPECT_EQ(dynamic_evaluate(slot, false, functions, 0), 2.5f);
    EXPECT_EQ(dynamic_read(b, DYNAMIC_IF_DYNAMIC, &slot), 1);
    EXPECT_EQ(dynamic_evaluate(slot, true, functions, 42), 42.0f);
    // "other" is dynamic for readers that test for "static", static for those that test for "dynamic".
    EXPECT_EQ(dynamic_read(c, DYNAMIC_UNLESS_STATIC, &slot), 1);
    EXPECT_EQ(slot, 1u);
    EXPECT_EQ(dynamic_read(c, DYNAMIC_IF_DYNAMIC, &slot), 0);
    EXPECT_EQ(dynamic_slot_float(slot), 1.0f);
    // An index that names no function evaluates to 0.
    EXPECT_EQ(dynamic_read(d, DYNAMIC_IF_DYNAMIC, &slot), 1);
    EXPECT_EQ(dynamic_evaluate(slot, true, functions, 5), 0.0f);
    EXPECT_EQ(dynamic_evaluate(0, true, functions, 5), 0.0f);
    resources::object_list_free(functions);
    resources::xml_free(doc);
}

} // namespace
