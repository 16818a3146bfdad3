#include "resources/text_builder.h"
#include "resources/xml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>

#include <clocale>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

using namespace resources;

namespace {

// A compact description of a tree: name[attr=value,...]{text}(children...), siblings joined by ' '.
std::string describe(const XmlNode *node) {
    std::string out;
    for (; node; node = node->next) {
        if (!out.empty()) out += ' ';
        out += node->name ? node->name : "#";
        if (node->attribute_count) {
            out += '[';
            for (int i = 0; i < node->attribute_count; i++) {
                if (i) out += ',';
                out += node->attributes[i].name ? node->attributes[i].name : "?";
                out += '=';
                out += node->attributes[i].value ? node->attributes[i].value : "<null>";
            }
            out += ']';
        }
        if (node->text) out += std::string("{") + node->text + "}";
        if (node->first_child) out += "(" + describe(node->first_child) + ")";
    }
    return out;
}

std::string parse_and_describe(const char *text) {
    XmlNode *doc = xml_parse(text);
    std::string out = describe(doc->first_child);
    EXPECT_EQ(doc->name, nullptr);
    xml_free(doc);
    return out;
}

TEST(XmlParse, TreesFromTheStateMachine) {
    struct Case {
        const char *text;
        const char *tree;
    } cases[] = {
        {"<a><b>x</b><d y=\"1\"/></a>", "a(b{x} d[y=1])"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root/>", "root"},
        {"<a> x </a>", "a{ x }"},
        {"<a></a>", "a"},
        {"<a>\n  <!-- note -->\n  <b/>\n</a>", "a(b)"},
        {"<a>x<!-- c -->y</a>", "a{x<!-- c -->y}"},
        {"<a><b k=\"v\" /><c/></a>", "a(b[k=v] c)"},
        {"<a\n  first=\"1\"\n  second=\"two words\">t</a>", "a[first=1,second=two words]{t}"},
        {"<a b =\"1\"/>", "a[b =1]"},
        {"<s><t/></s><u/>", "s(t) u"},
        {"<a><b><c>deep</c></b></a>", "a(b(c{deep}))"},
        {"<a>1<b/>2</a>", "a(b)"},         // text around children is not kept
        {"<a>x</wrong>", "a{x}"},          // end tags are not compared
        {"<a v=\"1>2\"/>", "a[v=<null>]"}, // '>' ends the tag inside a value
        {"<a>x/>y</a>", "a{x/>y}"},        // "/>" in text is text
        {"<a>unclosed", "a"},
        {"", ""},
        {"</x></y><a/>", "a"}, // stray end tags cannot climb past the document
        {"<a><!-- <b/> --></a>", "a{<!-- <b/> -->}"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parse_and_describe(c.text), c.tree) << "text: " << c.text;
}

TEST(XmlParse, ParentLinksAndDocumentNode) {
    XmlNode *doc = xml_parse("<a><b/><c/></a>");
    XmlNode *a = doc->first_child;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->parent, doc);
    EXPECT_EQ(a->first_child->parent, a);
    EXPECT_EQ(a->first_child->next->parent, a);
    EXPECT_EQ(a->next, nullptr);
    EXPECT_EQ(xml_child_count(a), 2);
    xml_free(doc);
}

TEST(XmlParse, DeepNestingIsFreedWithoutRecursion) {
    std::string text;
    for (int i = 0; i < 200000; i++)
        text += "<n>";
    XmlNode *doc = xml_parse(text.c_str());
    int depth = 0;
    for (XmlNode *n = doc->first_child; n; n = n->first_child)
        depth++;
    EXPECT_EQ(depth, 200000);
    xml_free(doc);
}

TEST(XmlAttributes, LookupAndConversion) {
    XmlNode *doc = xml_parse("<a x=\"12\" y=\" -3.5e2\" x=\"99\" z=\"\" w=\"+7abc\" h=\"4294967295\"/>");
    XmlNode *a = doc->first_child;
    EXPECT_STREQ(xml_attribute(a, "x"), "12"); // the first wins
    EXPECT_EQ(xml_attribute(a, "X"), nullptr);
    EXPECT_EQ(xml_attribute(a, "missing"), nullptr);
    EXPECT_EQ(xml_attribute_int(a, "x"), 12);
    EXPECT_FLOAT_EQ(xml_attribute_float(a, "y"), -350.0f);
    EXPECT_EQ(xml_attribute_int(a, "z"), 0);
    EXPECT_EQ(xml_attribute_int(a, "w"), 7);
    EXPECT_EQ(static_cast<uint32_t>(xml_attribute_int(a, "h")), 4294967295u);
    EXPECT_EQ(xml_attribute_int(a, "missing"), 0);
    xml_free(doc);
    XmlNode *bare = xml_parse("<b/>");
    EXPECT_EQ(xml_attribute(bare->first_child, "any"), nullptr);
    xml_free(bare);
}

TEST(XmlAttributes, NumberConversionTable) {
    struct IntCase {
        const char *s;
        int32_t v;
    } ints[] = {{"0", 0},   {"  42", 42}, {"-17", -17}, {"+5", 5},    {"12abc", 12},
                {"abc", 0}, {"", 0},      {"- 3", 0},   {"\t\n9", 9}, {"2147483648", INT32_MIN}};
    for (const IntCase &c : ints)
        EXPECT_EQ(xml_to_int(c.s), c.v) << c.s;
    struct FloatCase {
        const char *s;
        double v;
    } floats[] = {{"1.5", 1.5}, {" -0.25", -0.25}, {"3e2", 300.0},      {"1E-3", 0.001},
                  {".5", 0.5},  {"7.", 7.0},       {"2.5xyz", 2.5},     {"abc", 0.0},
                  {"", 0.0},    {"+1.25", 1.25},   {"1e999", HUGE_VAL}, {"--1", 0.0}};
    for (const FloatCase &c : floats)
        EXPECT_EQ(xml_to_double(c.s), c.v) << c.s;
}

// The number grammar and its rounding are those of the standard library's from_chars (general
// format), reached here without it, so that every platform reads a document's numbers alike.
TEST(XmlAttributes, FloatsReadAsFromCharsReadsThem) {
    std::vector<std::string> texts = {"0x1p3",
                                      "0X10",
                                      "1e-310",
                                      "2e-324",
                                      "1.8e308",
                                      "1e-400",
                                      "infinity",
                                      "infinit",
                                      "INF",
                                      "NaN",
                                      "nan(abc)",
                                      "nan(",
                                      "nan(a-b)",
                                      "1e",
                                      "1e+",
                                      "1.5e-3x",
                                      ".",
                                      "5.",
                                      "..5",
                                      "1.2.3",
                                      "e5",
                                      "2.2250738585072011e-308",
                                      "9007199254740993",
                                      "0.1000000000000000055511151231257827021181583404541015625"};
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    const char kAlphabet[] = "0123456789.eE+-x";
    for (int i = 0; i < 20000; i++) {
        std::string t;
        for (uint32_t k = 0, n = 1 + next(24); k < n; k++)
            t += kAlphabet[next(sizeof kAlphabet - 1)];
        texts.push_back(t);
    }
    for (const std::string &t : texts) {
        const char *s = t.c_str();
        bool negative = *s == '-';
        if (*s == '+' || *s == '-') s++;
        double expected = 0.0;
        if (*s != '+' && *s != '-') {
            std::from_chars_result r =
                std::from_chars(s, s + std::strlen(s), expected, std::chars_format::general);
            if (r.ec == std::errc::invalid_argument) expected = 0.0;
            if (r.ec == std::errc::result_out_of_range) {
                const char *e = s;
                while (e < r.ptr && *e != 'e' && *e != 'E')
                    e++;
                expected = (e < r.ptr && e[1] == '-') ? 0.0 : HUGE_VAL;
            }
            if (negative) expected = -expected;
        }
        double got = xml_to_double(t.c_str());
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got)) << t;
        else
            EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << t << ": " << got << " != " << expected;
    }
}

// Written numbers are those of to_chars in fixed notation (six places), cut to 31 characters.
TEST(XmlAttributes, FloatsWriteAsToCharsWritesThem) {
    std::vector<double> values = {0.0,  -0.0,   0.5,       -1.25,    1e-7,   5e-7,      123456789.123456789,
                                  1e30, -3e300, 1.0 / 3.0, HUGE_VAL, 2.5e-6, 0.0000015, 999999.9999995};
    uint64_t state = 99;
    for (int i = 0; i < 5000; i++) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        double v;
        uint64_t bits = state;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v) && std::fabs(v) < 1e40) values.push_back(v);
        values.push_back(double(int64_t(state >> 20)) / 1048576.0);
    }
    for (double v : values) {
        char wide[512];
        std::to_chars_result r = std::to_chars(wide, wide + sizeof wide - 1, v, std::chars_format::fixed, 6);
        std::string expected(wide, std::min<size_t>(size_t(r.ptr - wide), 31));
        XmlNode *n = xml_new_node("n");
        xml_set_attribute_float(n, "v", v);
        EXPECT_EQ(std::string(xml_attribute(n, "v")), expected) << v;
        xml_free(n);
    }
}

TEST(XmlAttributes, FloatsIgnoreTheProcessLocale) {
    // Only meaningful where a comma-decimal locale is installed; the conversion must not care.
    const char *names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"};
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    for (const char *name : names) {
        if (std::setlocale(LC_NUMERIC, name)) break;
    }
    EXPECT_EQ(xml_to_double("0.75"), 0.75);
    XmlNode *n = xml_new_node("n");
    xml_set_text_float(n, 0.5);
    EXPECT_STREQ(n->text, "0.500000");
    xml_free(n);
    std::setlocale(LC_NUMERIC, old.c_str());
}

TEST(XmlEntities, OnlyLtAndGtAreDecoded) {
    struct Case {
        const char *in;
        const char *out;
    } cases[] = {
        {"a &lt; b &gt; c &amp; d", "a < b > c &amp; d"},
        {"&lt;&lt;&gt;", "<<>"},
        {"&lt", "&lt"},
        {"&quot;", "&quot;"},
        {"", ""},
    };
    for (const Case &c : cases) {
        char *s = static_cast<char *>(std::malloc(std::strlen(c.in) + 1));
        std::strcpy(s, c.in);
        xml_decode_entities(s);
        EXPECT_STREQ(s, c.out);
        std::free(s);
    }
    char *escaped = xml_escape("if (a<b && c>d)");
    EXPECT_STREQ(escaped, "if (a&lt;b && c&gt;d)");
    std::free(escaped);
}

TEST(TextBuilder, GrowsByDoublingUntilThreeSpareBytes) {
    TextBuilder tb;
    text_builder_init(&tb, 16);
    text_builder_append(&tb, "%s", "01234567890123456789");
    EXPECT_EQ(tb.capacity, 32u);
    EXPECT_EQ(tb.length, 20u);
    text_builder_append(&tb, "%d", 12345678); // 28 + 3 <= 32: no growth
    EXPECT_EQ(tb.capacity, 32u);
    text_builder_append(&tb, "%s", "xy"); // 30 + 3 > 32
    EXPECT_EQ(tb.capacity, 64u);
    EXPECT_STREQ(tb.buffer, "0123456789012345678912345678xy");
    text_builder_free(&tb);

    text_builder_init(&tb, 16);
    text_builder_append(&tb, "%s", "0123456789012"); // 13 + 3 = 16 fits exactly
    EXPECT_EQ(tb.capacity, 16u);
    text_builder_free(&tb);
}

TEST(TextBuilder, OneFormattedAppendStopsAt8191Characters) {
    TextBuilder tb;
    text_builder_init(&tb, 256);
    std::string big(10000, 'x');
    text_builder_append(&tb, "%s", big.c_str());
    EXPECT_EQ(tb.length, 8191u);
    EXPECT_EQ(std::strlen(tb.buffer), 8191u);
    text_builder_free(&tb);
}

TEST(XmlWrite, BuildsWritesAndReparses) {
    XmlNode *root = xml_new_node("demo");
    XmlNode *section = xml_add_child(root, "functions");
    XmlNode *f = xml_add_child(section, "function");
    xml_set_attribute_u32(f, "type", 1);
    xml_set_attribute_i32(f, "loop_type", -2);
    xml_set_attribute_float(f, "loop_begin", 1.5);
    xml_set_attribute(f, "type", "3"); // replaces
    XmlNode *p = xml_add_child(f, "p");
    xml_set_text_precise(p, 0.1);
    XmlNode *q = xml_add_child(f, "q");
    xml_set_text_u32(q, 7);
    xml_add_child(root, "empty");
    char *text = xml_write(root);
    EXPECT_STREQ(text, "<demo>\n"
                       "  <functions>\n"
                       "    <function type=\"3\" loop_type=\"-2\" loop_begin=\"1.500000\">\n"
                       "      <p>0.100000000000</p>\n"
                       "      <q>7</q>\n"
                       "    </function>\n"
                       "  </functions>\n"
                       "  <empty/>\n"
                       "</demo>\n");
    XmlNode *doc = xml_parse(text);
    EXPECT_EQ(
        describe(doc->first_child),
        "demo(functions(function[type=3,loop_type=-2,loop_begin=1.500000](p{0.100000000000} q{7})) empty)");
    std::free(text);
    xml_free(doc);
    xml_free(root);
}

TEST(XmlWrite, NodeWithTextDropsChildrenAndNamelessCloses) {
    XmlNode *root = xml_new_node(nullptr);
    XmlNode *c = xml_add_child(root, "c");
    xml_set_text(c, "t");
    xml_add_child(c, "ignored");
    char *text = xml_write(root);
    EXPECT_STREQ(text, "<>\n  <c>t</c>\n</>\n");
    std::free(text);
    xml_free(root);
}

} // namespace
