// The analysis library's own pieces: names resolved into the text a package holds, the strict XML
// reading, numbers that are not wholly numbers, records moved with their references following, and
// what each place of a record is read as.
#include "analysis/analysis.h"
#include "analysis/record_edits.h"
#include "analysis/roles.h"
#include "analysis/source_document.h"
#include "analysis/well_formed.h"
#include "resources/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A document with every section, the given text standing in for some of them.
std::string document(const std::string &models, const std::string &materials, const std::string &objects,
                     const std::string &lights = "<lights/>", const std::string &timeline = "<timeline/>") {
    return "<demo>\n<texture_layers/>\n<procedural_textures/>\n" + models + "\n<functions/>\n" + lights +
           "\n<effects2d/>\n<bitmaps/>\n<cubemaps/>\n<fonts/>\n<texture_slots/>\n" + materials +
           "\n<mesh_effects/>\n" + objects + "\n" + timeline + "\n<music/>\n</demo>\n";
}

std::string package_text(const std::string &text, std::vector<analysis::Finding> *findings = nullptr) {
    std::vector<analysis::Finding> scratch;
    std::string out;
    analysis::AnalysisDocument doc = {"demo.xml", text.data(), text.size(), true};
    bool ok = analysis::analysis_package_text(doc, &out, findings ? findings : &scratch);
    return ok ? out : "FAILED";
}

TEST(AnalysisNames, PackageTextIsTheNumberedTextLineForLine) {
    std::string numbered =
        document("<models>\n  <model filename=\"a.mdl\"/>\n  <model filename=\"b.mdl\"/>\n</models>",
                 "<materials><material/></materials>",
                 "<objects><object><item type=\"0\" object=\"2\" material=\"1\"/></object></objects>");
    std::string named = document(
        "<models>\n  <model name=\"a\" filename=\"a.mdl\"/>\n  <model\n    name=\"bee\" "
        "filename=\"b.mdl\"/>\n</models>",
        "<materials><material name=\"grey\"/></materials>",
        "<objects><object><item type=\"0\" object=\"@bee\" material=\" @grey \"/></object></objects>");
    std::string packed = package_text(named);
    // The names are gone and the references are numbers; the line break inside the tag stays.
    EXPECT_EQ(std::count(packed.begin(), packed.end(), '\n'), std::count(named.begin(), named.end(), '\n'));
    EXPECT_EQ(packed.find(" name="), std::string::npos);
    EXPECT_EQ(packed.find("\nname="), std::string::npos);
    EXPECT_NE(packed.find("object=\"2\" material=\" 1 \""), std::string::npos) << packed;
    // A document without names is left exactly as it is.
    EXPECT_EQ(package_text(numbered), numbered);
}

TEST(AnalysisNames, UnknownAmbiguousAndTwiceGivenNamesAreFindings) {
    struct Case {
        const char *models, *item, *words;
    } cases[] = {
        {"<models><model name=\"a\" filename=\"a.mdl\"/></models>", "object=\"@b\"", "no model is called so"},
        {"<models><model name=\"a\" filename=\"a.mdl\"/><model name=\"a\" filename=\"b.mdl\"/></models>",
         "object=\"1\"", "is also model 1's"},
        {"<models><model name=\"a\" filename=\"a.mdl\"/><model name=\"a\" filename=\"b.mdl\"/></models>",
         "object=\"@a\"", "more than one model"},
    };
    for (const Case &c : cases) {
        std::string text = document(c.models, "<materials><material/></materials>",
                                    std::string("<objects><object><item type=\"0\" ") + c.item +
                                        " material=\"1\"/></object></objects>");
        std::vector<analysis::Finding> findings;
        EXPECT_EQ(package_text(text, &findings), "FAILED") << c.words;
        bool said = false;
        for (const analysis::Finding &f : findings)
            said = said || f.message.find(c.words) != std::string::npos;
        EXPECT_TRUE(said) << c.words;
    }
}

TEST(AnalysisWellFormed, EachErrorAtItsLine) {
    struct Case {
        const char *text;
        int line;
        const char *words;
    } cases[] = {
        {"<a>\n<b>\n</a>\n", 2, "<b> is never closed"},
        {"<a>\n<b></c>\n</a>\n", 2, "</c> does not close <b>"},
        {"<a>\nx & y\n</a>\n", 2, "a raw \"&\""},
        {"<a v=\"1 < 2\"/>\n", 1, "a raw \"<\""},
        {"<a>\n<b>\n", 2, "still open: it is cut short"},
        {"<a>\n</a>\n<b/>\n", 3, "junk"},
    };
    for (const Case &c : cases) {
        std::string text = c.text;
        std::vector<int32_t> starts = {0};
        for (size_t i = 0; i < text.size(); i++)
            if (text[i] == '\n') starts.push_back(int32_t(i + 1));
        std::vector<analysis::Finding> findings;
        EXPECT_FALSE(analysis::well_formed("demo.xml", text, starts, &findings)) << c.text;
        ASSERT_FALSE(findings.empty()) << c.text;
        EXPECT_EQ(findings[0].line, c.line) << c.text;
        EXPECT_NE(findings[0].message.find(c.words), std::string::npos) << findings[0].message;
    }
    // Two raw ampersands: both named, each at its line.
    std::string twice = "<a>\n1 & 2\n<b/>\n3 & 4\n</a>\n";
    std::vector<int32_t> starts = {0, 4, 10, 15, 21};
    std::vector<analysis::Finding> findings;
    analysis::well_formed("demo.xml", twice, starts, &findings);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].line, 2);
    EXPECT_EQ(findings[1].line, 4);
}

TEST(AnalysisNumbers, WhollyANumberOrNot) {
    struct Case {
        const char *text;
        bool integer, decimal;
    } cases[] = {{"12", true, true},    {" -3 ", true, true}, {"0.9", false, true},   {"1e3", false, true},
                 {"0,9", false, false}, {"up", false, false}, {"1.5s", false, false}, {"", false, false},
                 {"+-1", false, false}, {"inf", false, true}};
    for (const Case &c : cases) {
        EXPECT_EQ(resources::xml_is_number(c.text, true), c.integer) << c.text;
        EXPECT_EQ(resources::xml_is_number(c.text, false), c.decimal) << c.text;
    }
}

TEST(AnalysisRecordEdits, NumberedReferencesFollowTheirRecords) {
    std::string text = document(
        "<models>\n  <!-- a -->\n  <model filename=\"a.mdl\"/>\n  <model filename=\"b.mdl\"/>\n"
        "  <model name=\"c\" filename=\"c.mdl\"/>\n</models>",
        "<materials><material/></materials>",
        "<objects><object><item type=\"0\" object=\"1\" material=\"1\"/>"
        "<item type=\"0\" object=\"3\" material=\"1\"/><item type=\"0\" object=\"@c\" material=\"1\"/>"
        "</object></objects>");
    struct Case {
        int position;
        analysis::RecordEdit op;
        const char *models, *objects;
    } cases[] = {
        {1, analysis::RECORD_MOVE_DOWN,
         "  <model filename=\"b.mdl\"/>\n  <!-- a -->\n  <model filename=\"a.mdl\"/>\n",
         "object=\"2\"|object=\"3\""},
        {3, analysis::RECORD_MOVE_UP,
         "  <model filename=\"a.mdl\"/>\n  <model name=\"c\" filename=\"c.mdl\"/>\n  <model "
         "filename=\"b.mdl\"/>\n",
         "object=\"1\"|object=\"2\""},
        {1, analysis::RECORD_DELETE, "<models>\n  <model filename=\"b.mdl\"/>\n",
         "object=\"0\"|object=\"2\""},
        {2, analysis::RECORD_INSERT_COPY,
         "  <model filename=\"b.mdl\"/>\n  <model filename=\"b.mdl\"/>\n  <model name=\"c\"",
         "object=\"1\"|object=\"4\""},
        {3, analysis::RECORD_INSERT_COPY, "<model name=\"c_copy\" filename=\"c.mdl\"/>",
         "object=\"1\"|object=\"3\""},
    };
    for (const Case &c : cases) {
        std::string out;
        ASSERT_TRUE(analysis::record_edit(text, 3, c.position, c.op, &out)) << c.position;
        EXPECT_NE(out.find(c.models), std::string::npos) << out;
        std::string objects = c.objects;
        std::string first = objects.substr(0, objects.find('|')),
                    second = objects.substr(objects.find('|') + 1);
        size_t item1 = out.find("<item"), item2 = out.find("<item", item1 + 1);
        EXPECT_EQ(out.compare(out.find("object=", item1), first.size(), first), 0) << out;
        EXPECT_EQ(out.compare(out.find("object=", item2), second.size(), second), 0) << out;
        EXPECT_NE(out.find("object=\"@c\""), std::string::npos) << "a reference by name stays as written";
    }
    std::string out;
    EXPECT_FALSE(analysis::record_edit(text, 3, 1, analysis::RECORD_MOVE_UP, &out));
    EXPECT_FALSE(analysis::record_edit(text, 3, 3, analysis::RECORD_MOVE_DOWN, &out));
    EXPECT_FALSE(analysis::record_edit(text, 3, 9, analysis::RECORD_DELETE, &out));
}

TEST(AnalysisRoles, WhatEachPlaceIsReadAs) {
    std::string text =
        "<demo><texture_layers><layer type=\"4\"><p>1</p><p>0</p><p>0</p><p>1</p><p>1</p><p>1</p>"
        "<p>16</p></layer></texture_layers></demo>";
    analysis::SourceDocument d;
    ASSERT_TRUE(analysis::source_document_open(&d, "demo.xml", true, text.data(), text.size()));
    const resources::XmlNode *layer = d.section[1]->first_child;
    const resources::XmlNode *seventh = layer->first_child;
    for (int i = 0; i < 6; i++)
        seventh = seventh->next;
    analysis::ElementRole role;
    ASSERT_TRUE(analysis::element_role(d, seventh, &role));
    EXPECT_EQ(role.place_name, "Horizontal number");
    EXPECT_EQ(role.title, "texture layer 0");
    ASSERT_TRUE(analysis::element_role(d, layer->first_child->next, &role));
    EXPECT_EQ(role.place_name, "Brick color green");
    analysis::source_document_close(&d);
}

} // namespace
