// Documents rewritten between references by number and by name: every reference kind both ways,
// the names made for records that have none, and the texts that must stay as they are.
#include "analysis/names_rewrite.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace analysis;

namespace {

// "{a|b}" stands for a in the numeric form and b in the named form.
std::string form(const std::string &t, bool names) {
    std::string out;
    size_t i = 0;
    while (i < t.size()) {
        size_t open = t.find('{', i);
        if (open == std::string::npos) break;
        size_t bar = t.find('|', open), close = t.find('}', bar);
        out += t.substr(i, open - i);
        out += names ? t.substr(bar + 1, close - bar - 1) : t.substr(open + 1, bar - open - 1);
        i = close + 1;
    }
    return out + t.substr(i);
}

// A document of fifteen sections (element names play no part), the given ones filled.
std::string document(const std::map<int, std::string> &sections) {
    std::string d = "<?xml version=\"1.0\"?>\n<demo>\n";
    for (int s = 1; s <= 15; s++) {
        auto it = sections.find(s);
        d += "  <s" + std::to_string(s) + ">" + (it == sections.end() ? "" : "\n" + it->second + "\n  ") +
             "</s" + std::to_string(s) + ">\n";
    }
    return d + "</demo>\n";
}

std::string rewrite(const std::string &text, NamesForm to, std::vector<Finding> *findings = nullptr) {
    std::vector<Finding> mine;
    NamesRewrite out;
    bool ok = names_rewrite("demo.xml", text, to, &out, findings ? findings : &mine);
    EXPECT_EQ(ok, findings ? findings->empty() : true);
    for (const Finding &f : mine)
        ADD_FAILURE() << finding_format(f);
    return ok ? out.text : "";
}

// Named records every case can point at, some of them pointing at others.
const std::map<int, std::string> kTargets = {
    {1, "    <layer name=\"sky\" type=\"5\"/>\n    <layer name=\"sea\" type=\"5\"/>"},
    {2, "    <texture name=\"t\" type=\"101\" layer_id=\"{1|@sea}\"><i>0</i></texture>\n"
        "    <texture name=\"out\" type=\"255\"><i>{1|@t}</i></texture>"},
    {3, "    <model name=\"cube\" filename=\"cube.mdl\"/>\n    <model name=\"ball\" filename=\"ball.mdl\"/>"},
    {4, "    <function name=\"spin\"/>\n    <function name=\"bob\"/>"},
    {5, "    <light name=\"sun\"/>\n    <light name=\"fog\"/>"},
    {6, "    <effect name=\"plasma\" type=\"1\"/>"},
    {7, "    <bitmap name=\"logo\" filename=\"logo.png\"/>\n    <bitmap name=\"rt\" filename=\"rt.png\"/>"},
    {8, "    <cubemap name=\"env\"/>"},
    {9, "    <font name=\"gold\"/>"},
    {10, "    <slot name=\"s_out\" type=\"0\" id=\"{2|@out}\"/>\n    <slot name=\"s_logo\" type=\"1\" "
         "id=\"{1|@logo}\"/>"},
    {11, "    <material name=\"m1\"/>\n    <material name=\"m2\"/>"},
    {12, "    <effect name=\"wave\" type=\"1\"/>"},
    {13, "    <object name=\"scene\"/>"},
};

struct KindCase {
    const char *what;
    int section;
    const char *record; // appended to the section, in both forms
};

const KindCase kKinds[] = {
    {"texture node inputs and outputs", 2,
     "    <texture type=\"207\"><i>{1|@t}</i><input>{2|@out}</input><output>{2|@out}</output></texture>"},
    {"texture node on a layer", 2,
     "    <texture type=\"102\" layer_id=\"{0|@sky}\"><i>{1|@t}</i><p>1</p></texture>"},
    {"light dynamic value", 5,
     "    <light><v type=\"dynamic\" value=\"{2|@bob}\"/><v type=\"static\" value=\"2\"/></light>"},
    {"2D effect parameter", 6, "    <effect type=\"1\"><p>{1|@spin}</p></effect>"},
    {"font glyph", 9,
     "    <font><glyph model=\"{2|@ball}\" material=\"{1|@m1}\" bitmap=\"{2|@rt}\"/>"
     "<glyph model=\"0\" material=\"0\" bitmap=\"0\"/></font>"},
    {"texture slot of each kind", 10,
     "    <slot type=\"0\" id=\"{2|@out}\"/><slot type=\"1\" id=\"{2|@rt}\"/>"
     "<slot type=\"2\" id=\"{1|@plasma}\"/><slot type=\"3\" id=\"{1|@env}\"/>"},
    {"material", 11,
     "    <material><red type=\"dynamic\" value=\"{1|@spin}\"/><green value=\"{2|@bob}\"/>"
     "<blue type=\"static\" value=\"1\"/><light1 value=\"{2|@fog}\"/><fogcolor value=\"{1|@sun}\"/>"
     "<texture1 value=\"{2|@s_logo}\" wrapmode=\"1\" function=\"1\"/><glsl_uniforms u1=\"{2|@bob}\" "
     "u2=\"0\"/>"
     "</material>"},
    {"mesh effect parameter", 12, "    <effect type=\"0\"><p>{2|@bob}</p><p>{1|@spin}</p></effect>"},
    {"object items and manipulators", 13,
     "    <object><item type=\"0\" object=\"{2|@ball}\" material=\"{2|@m2}\"><v type=\"dynamic\" "
     "value=\"{1|@spin}\"/>"
     "<v/><v/><v/><v/><v/><v/><v/><v type=\"static\" value=\"1\"/><visibility "
     "value=\"{2|@bob}\"/><time_offset "
     "value=\"1\"/><face_camera value=\"1\"/><m type=\"0\"><manipulator type=\"1\" model=\"{1|@wave}\"/>"
     "<v type=\"dynamic\" value=\"{1|@spin}\"/></m></item>"
     "<item type=\"1\" object=\"{1|@wave}\" material=\"{1|@m1}\"/><item type=\"2\" font=\"{1|@gold}\" "
     "text=\"1\"/>"
     "</object>"},
    {"timeline layers", 14,
     "    <slot><layer id=\"{1|@scene}\" type=\"1\" rtex=\"{2|@rt}\" clearcolor=\"{1|@sun}\">"
     "<v type=\"dynamic\" value=\"{2|@bob}\"/><v/><v/><v/><v/><v/><v type=\"dynamic\" "
     "value=\"{1|@spin}\"/></layer>"
     "<layer id=\"{1|@scene}\" type=\"3\" rtex=\"{1|@env}\" clearcolor=\"0\"/>"
     "<layer id=\"{1|@scene}\" type=\"0\" rtex=\"2\"/></slot>"},
};

TEST(NamesRewrite, EveryReferenceKindIsWrittenBothWays) {
    for (const KindCase &c : kKinds) {
        SCOPED_TRACE(c.what);
        std::map<int, std::string> sections = kTargets;
        sections[c.section] += std::string("\n") + c.record;
        std::string numbers = form(document(sections), false), names = form(document(sections), true);
        EXPECT_EQ(rewrite(numbers, NAMES_TO_NAMES), names);
        EXPECT_EQ(rewrite(names, NAMES_TO_NUMBERS), numbers);
        EXPECT_EQ(rewrite(names, NAMES_TO_NAMES), names);
        EXPECT_EQ(rewrite(numbers, NAMES_TO_NUMBERS), numbers);
    }
}

struct MadeCase {
    const char *what;
    std::map<int, std::string> before, after;
};

// Records that have no name: what names them, and which of them are named at all.
const MadeCase kMade[] = {
    {"from the comment before it, numbering dropped; an unreferenced record stays unnamed",
     {{3, "    <!-- 1: unit cube -->\n    <model filename=\"c.mdl\"/>\n    <!-- 2: ball -->\n"
          "    <model filename=\"b.mdl\"/>"},
      {13, "    <object><item type=\"0\" object=\"1\"/></object>"}},
     {{3,
       "    <!-- 1: unit cube -->\n    <model name=\"unit_cube\" filename=\"c.mdl\"/>\n    <!-- 2: ball -->\n"
       "    <model filename=\"b.mdl\"/>"},
      {13, "    <object name=\"object_1\"><item type=\"0\" object=\"@unit_cube\"/></object>"},
      {14, "    <slot><layer id=\"@object_1\"/></slot>"}}},
    {"from the file when the comment is about several records",
     {{3,
       "    <!-- 1 to 2: the shapes -->\n    <model filename=\"cube.mdl\"/>\n    <model filename=\"dir/Big "
       "Ball.MDL\"/>\n"
       "    <!-- 3: sky faces -->\n    <model filename=\"sky0.mdl\"/>\n    <model filename=\"sky1.mdl\"/>"},
      {5, "    <light><v type=\"dynamic\" value=\"1\"/></light>"},
      {13, "    <object><item type=\"0\" object=\"1\"/><item type=\"0\" object=\"2\"/><item type=\"0\" "
           "object=\"3\"/>"
           "</object>"}},
     {{3, "    <!-- 1 to 2: the shapes -->\n    <model name=\"cube\" filename=\"cube.mdl\"/>\n"
          "    <model name=\"big_ball\" filename=\"dir/Big Ball.MDL\"/>\n"
          "    <!-- 3: sky faces -->\n    <model name=\"sky0\" filename=\"sky0.mdl\"/>\n    <model "
          "filename=\"sky1.mdl\"/>"},
      {4, "    <function name=\"function_1\"/>"},
      {5, "    <light><v type=\"dynamic\" value=\"@function_1\"/></light>"},
      {13, "    <object name=\"object_1\"><item type=\"0\" object=\"@cube\"/><item type=\"0\" "
           "object=\"@big_ball\"/>"
           "<item type=\"0\" object=\"@sky0\"/></object>"}}},
    {"not from a comment that ends the line of the record before",
     {{7, "    <bitmap filename=\"a.png\"/> <!-- 1: first -->\n    <bitmap filename=\"second.png\"/>"},
      {10, "    <slot type=\"1\" id=\"2\"/>"}},
     {{7, "    <bitmap filename=\"a.png\"/> <!-- 1: first -->\n    <bitmap name=\"second\" "
          "filename=\"second.png\"/>"},
      {10, "    <slot type=\"1\" id=\"@second\"/>"}}},
    {"a texture slot after its texture, else its kind and number",
     {{2, "    <texture name=\"Grass Noise\" type=\"255\"><i>0</i></texture>"},
      {6, "    <effect type=\"1\"/>"},
      {10, "    <slot type=\"0\" id=\"1\"/><slot type=\"2\" id=\"1\"/><slot type=\"1\" id=\"0\"/>"},
      {11, "    <material><texture1 value=\"1\"/><texture2 value=\"2\"/><texture3 value=\"3\"/></material>"}},
     {{2, "    <texture name=\"Grass Noise\" type=\"255\"><i>0</i></texture>"},
      {6, "    <effect name=\"2d_effect_1\" type=\"1\"/>"},
      {10,
       "    <slot name=\"grass_noise\" type=\"0\" id=\"@Grass Noise\"/><slot name=\"2d_effect_1\" type=\"2\" "
       "id=\"@2d_effect_1\"/><slot name=\"texture_slot_3\" type=\"1\" id=\"0\"/>"},
      {11, "    <material><texture1 value=\"@grass_noise\"/><texture2 value=\"@2d_effect_1\"/>"
           "<texture3 value=\"@texture_slot_3\"/></material>"}}},
    {"unique within the section, the names already given first",
     {{3, "    <!-- 1: box -->\n    <model filename=\"a.mdl\"/>\n    <!-- 2: box -->\n    <model "
          "filename=\"b.mdl\"/>\n"
          "    <!-- 3 -->\n    <model name=\"box\" filename=\"c.mdl\"/>"},
      {12, "    <effect name=\"box\" type=\"1\"/>"},
      {13, "    <object><item type=\"0\" object=\"1\"/><item type=\"0\" object=\"2\"/><item type=\"1\" "
           "object=\"1\"/>"
           "</object>"}},
     {{3, "    <!-- 1: box -->\n    <model name=\"box_2\" filename=\"a.mdl\"/>\n    <!-- 2: box -->\n"
          "    <model name=\"box_3\" filename=\"b.mdl\"/>\n    <!-- 3 -->\n    <model name=\"box\" "
          "filename=\"c.mdl\"/>"},
      {12, "    <effect name=\"box\" type=\"1\"/>"},
      {13, "    <object name=\"object_1\"><item type=\"0\" object=\"@box_2\"/><item type=\"0\" "
           "object=\"@box_3\"/>"
           "<item type=\"1\" object=\"@box\"/></object>"}}},
    {"texts that are not a number as written, none, or past the list stay as they are",
     {{4, "    <function/>\n    <function/>"},
      {5,
       "    <light><v type=\"dynamic\" value=\"07\"/><v type=\"dynamic\" value=\" 2\"/><v type=\"dynamic\" "
       "value=\"+2\"/><v type=\"dynamic\" value=\"0\"/><v type=\"dynamic\" value=\"3\"/><v type=\"dynamic\" "
       "value=\"2.0\"/><v type=\"dynamic\" value=\"\"/></light>"}},
     {{4, "    <function/>\n    <function/>"},
      {5,
       "    <light><v type=\"dynamic\" value=\"07\"/><v type=\"dynamic\" value=\" 2\"/><v type=\"dynamic\" "
       "value=\"+2\"/><v type=\"dynamic\" value=\"0\"/><v type=\"dynamic\" value=\"3\"/><v type=\"dynamic\" "
       "value=\"2.0\"/><v type=\"dynamic\" value=\"\"/></light>"}}},
    {"a name a reference cannot write is kept, and its references stay numbers",
     {{4, "    <function name=\" spin\"/>\n    <function name=\"\"/>"},
      {5, "    <light><v type=\"dynamic\" value=\"1\"/><v type=\"dynamic\" value=\"2\"/></light>"}},
     {{4, "    <function name=\" spin\"/>\n    <function name=\"\"/>"},
      {5, "    <light><v type=\"dynamic\" value=\"1\"/><v type=\"dynamic\" value=\"2\"/></light>"}}},
};

TEST(NamesRewrite, RecordsWithoutNamesAreNamedReadablyAndUniquely) {
    for (const MadeCase &c : kMade) {
        SCOPED_TRACE(c.what);
        std::map<int, std::string> before = c.before;
        // Every case's objects are drawn by the timeline, so that objects are referenced too.
        if (before.count(13) && !before.count(14)) before[14] = "    <slot><layer id=\"1\"/></slot>";
        std::map<int, std::string> after = c.after;
        if (before.count(13) && !after.count(14)) after[14] = "    <slot><layer id=\"@object_1\"/></slot>";
        // Sections that only the named form shows filled are unnamed records of the original.
        for (const auto &s : after)
            if (!before.count(s.first)) {
                std::string plain = s.second;
                size_t at = plain.find(" name=\"");
                plain.erase(at, plain.find('"', at + 7) + 1 - at);
                before[s.first] = s.first == 14 ? "    <slot><layer id=\"1\"/></slot>" : plain;
            }
        EXPECT_EQ(rewrite(document(before), NAMES_TO_NAMES), document(after));
    }
}

TEST(NamesRewrite, CommentsGiveNamesOnlyWhenTheyNameOneThing) {
    const struct {
        const char *comment, *name;
    } cases[] = {
        {"3: unit cube", "unit_cube"},
        {" 1: sun: warm key light ", "sun"},
        {"5: the valley", "valley"},
        {"7: the machine's light", "machines_light"},
        {"19: quarter-size Echo, added", "quarter_size_echo"},
        {"6: tree positions on the slopes (points only)", "tree_positions"},
        {"8: around the torus. The apex", "around_the_torus"},
        {"a long description with many words in it", "long_description"},
        {"five words and no preposition", ""},
        {"4 to 6: render targets", ""},
        {"1, 2: the plasma and the bricks", ""},
        {"1-4 procedural outputs", ""},
        {"0..1 square for flat overlays", ""},
        {"16 pixels wide", ""},
        {"", ""},
        {"2: ", ""},
        {"Árvíztűrő tükör", "Árvíztűrő_tükör"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(names_from_comment(c.comment), c.name) << c.comment;
}

TEST(NamesRewrite, UnknownAmbiguousOrTwiceGivenNamesAreRefused) {
    const struct {
        const char *what;
        std::map<int, std::string> sections;
        int line;
        const char *message;
    } cases[] = {
        {"unknown",
         {{4, "    <function name=\"spin\"/>"},
          {5, "    <light><v type=\"dynamic\" value=\"@spun\"/></light>"}},
         10,
         "\"@spun\", but no function is called so"},
        {"a name of another section",
         {{3, "    <model name=\"spin\"/>"}, {5, "    <light><v type=\"dynamic\" value=\"@spin\"/></light>"}},
         10,
         "no function is called so"},
        {"given twice",
         {{4, "    <function name=\"spin\"/>\n    <function name=\"spin\"/>"}},
         8,
         "names are unique within a section"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (NamesForm to : {NAMES_TO_NAMES, NAMES_TO_NUMBERS}) {
            std::vector<Finding> findings;
            NamesRewrite out;
            EXPECT_FALSE(names_rewrite("demo.xml", document(c.sections), to, &out, &findings));
            ASSERT_EQ(findings.size(), 1u);
            EXPECT_EQ(findings[0].line, c.line);
            EXPECT_NE(findings[0].message.find(c.message), std::string::npos) << findings[0].message;
        }
    }
    std::vector<Finding> findings;
    NamesRewrite out;
    EXPECT_FALSE(names_rewrite("demo.xml", "<demo><s1></s2></demo>", NAMES_TO_NAMES, &out, &findings));
    EXPECT_FALSE(findings.empty());
}

} // namespace
