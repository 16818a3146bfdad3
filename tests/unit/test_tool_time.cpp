#include "tools/tool_time.h"

#include <gtest/gtest.h>

namespace {

using tools::tool_time_parse;

TEST(ToolTime, OptionsTakeSecondsMillisecondsOrABareMillisecondCount) {
    struct Case {
        const char *text;
        uint32_t ms;
    } good[] = {
        {"12.5s", 12500},
        {"12500ms", 12500},
        {"12500", 12500},
        {"0.01s", 10},
        {"0.001s", 1},
        {"2s", 2000},
        {"2.s", 2000},
        {".5s", 500},
        {"0", 0},
        {"0ms", 0},
        {"0s", 0},
        {"007", 7},
        {"4294967295", 4294967295u},
        {"4294967.295s", 4294967295u},
        {"4294967295ms", 4294967295u},
    };
    for (const Case &c : good) {
        SCOPED_TRACE(c.text);
        uint32_t ms = 1;
        EXPECT_TRUE(tool_time_parse(c.text, &ms));
        EXPECT_EQ(ms, c.ms);
    }
    const char *bad[] = {
        "",
        "s",
        "ms",
        ".s",
        "1.5x",
        "-1s",
        "-1",
        "+1",
        " 1",
        "1 s",
        "1s ",
        "1S",
        "1.5",
        "1.5ms",
        "0.0001s",
        "1.2345s",
        "1e3",
        "0x10",
        "1,5s",
        "1.5.0s",
        "1sms",
        "4294967296",
        "4294967.296s",
        "4294967296ms",
        "99999999999999999999",
        "18446744073709551617s",
    };
    for (const char *text : bad) {
        SCOPED_TRACE(text);
        uint32_t ms = 77;
        EXPECT_FALSE(tool_time_parse(text, &ms));
        EXPECT_EQ(ms, 77u); // untouched
    }
    uint32_t ms = 0;
    EXPECT_FALSE(tool_time_parse(nullptr, &ms));
}

TEST(ToolTime, DocumentTimesAreSecondsWithTheHundredthsAnAuthorTypes) {
    struct Case {
        uint32_t hundredths;
        const char *text;
    } cases[] = {
        {0, "0.00 s (0)"},        {1, "0.01 s (1)"},        {1250, "12.50 s (1250)"},
        {1800, "18.00 s (1800)"}, {7405, "74.05 s (7405)"}, {4294967295u, "42949672.95 s (4294967295)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tools::tool_time_document(c.hundredths), c.text);
    // The demo clock's milliseconds fall in the hundredth the engine draws: truncated.
    EXPECT_EQ(tools::tool_time_demo(12579), "12.57 s (1257)");
    EXPECT_EQ(tools::tool_time_demo(9), "0.00 s (0)");
    EXPECT_EQ(tools::tool_time_demo(4294967295u), "4294967.29 s (429496729)");
    EXPECT_EQ(tools::tool_time_seconds(0.5234, 2), "0.52 s");
    EXPECT_EQ(tools::tool_time_seconds(1.0, 3), "1.000 s");
}

} // namespace
