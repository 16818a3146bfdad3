#include "resources/log.h"
#include "resources/xml.h"
#include "scene/load_progress.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace scene;

namespace {

using testutil::LogCapture;

std::string sections(const std::vector<int> &records_per_section) {
    std::string text = "<?xml version=\"1.0\"?>\n<demo>\n";
    int n = 1;
    for (int count : records_per_section) {
        text += "  <section" + std::to_string(n++) + ">";
        for (int i = 0; i < count; i++) text += "<r/>";
        text += "</section>\n";
    }
    return text + "</demo>\n";
}

struct FakeClock {
    std::vector<uint32_t> times; // returned in turn; the last repeats
    size_t next = 0;
    std::vector<uint32_t> drawn;
};

uint32_t fake_ticks(void *user) {
    FakeClock *c = static_cast<FakeClock *>(user);
    uint32_t t = c->times[c->next < c->times.size() ? c->next : c->times.size() - 1];
    c->next++;
    return t;
}

void fake_draw(void *user, uint32_t value) { static_cast<FakeClock *>(user)->drawn.push_back(value); }

// Builds a document of the given section sizes with progress frames on a fake clock; returns the
// progress record after the build (frames drawn are in clock.drawn).
LoadProgress build_with_progress(const std::vector<int> &counts, FakeClock *clock) {
    resources::XmlNode *doc = resources::xml_parse(sections(counts).c_str());
    LoadProgress progress = {};
    progress.ticks = fake_ticks;
    progress.draw_frame = fake_draw;
    progress.user = clock;
    Scene *sc = scene_create();
    LoadContext ctx = {};
    ctx.progress = &progress;
    EXPECT_EQ(scene_document_build(sc, doc, "demo.xmlz", &ctx), DOCUMENT_OK);
    resources::xml_free(doc);
    scene_release(sc);
    return progress;
}

TEST(SceneDocument, SectionsAreFoundByPositionAndRecordsCounted) {
    std::vector<int> counts = {2, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0};
    resources::XmlNode *doc = resources::xml_parse(sections(counts).c_str());
    EXPECT_EQ(scene_document_section_count(doc), 15);
    EXPECT_EQ(scene_document_count_records(doc), 10u);
    EXPECT_STREQ(scene_document_section(doc, 1)->name, "section1");
    EXPECT_STREQ(scene_document_section(doc, 14)->name, "section14");
    EXPECT_EQ(resources::xml_child_count(scene_document_section(doc, 4)), 3);
    EXPECT_EQ(scene_document_section(doc, 16), nullptr);
    EXPECT_EQ(scene_document_section(doc, 0), nullptr);
    resources::xml_free(doc);
}

TEST(SceneDocument, FewerThanFourteenSectionsAreRejectedWithALogLine) {
    LogCapture log;
    Scene *sc = scene_create();
    ASSERT_NE(sc, nullptr);
    resources::XmlNode *doc = resources::xml_parse(sections(std::vector<int>(13, 1)).c_str());
    LoadContext ctx = {};
    EXPECT_EQ(scene_document_build(sc, doc, "demo.xmlz", &ctx), DOCUMENT_MALFORMED);
    EXPECT_EQ(log.text(), "Error: demo.xmlz has 13 sections, 14 are needed.\r\n");
    resources::xml_free(doc);

    // Fourteen are enough: the music section may be missing.
    doc = resources::xml_parse(sections(std::vector<int>(14, 0)).c_str());
    EXPECT_EQ(scene_document_build(sc, doc, "demo.xmlz", &ctx), DOCUMENT_OK);
    resources::xml_free(doc);
    scene_release(sc);
}

TEST(SceneDocument, ProgressFramesAreThrottledTo50Milliseconds) {
    // 10 records; the clock is read once at the start and then once per record (and again after a frame).
    FakeClock clock;
    //          start rec1  rec2  frame rec3  rec4  rec5  frame rec6  rec7  rec8  frame rec9  rec10
    clock.times = {1000, 1050, 1051, 1051, 1060, 1101, 1102, 1102, 1102, 1152, 1153, 1153, 1160, 1203};
    LoadProgress progress = build_with_progress({3, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0}, &clock);
    EXPECT_EQ(progress.total, 10u);
    EXPECT_EQ(progress.done, 10u);
    // 1050 - 1000 = 50 is not more than 50; 1051 is (record 2: 20). 1101 - 1051 = 50 no; 1102 yes (50).
    // 1152 - 1102 = 50 no; 1153 yes (80). 1160 and 1203 are within 50 of 1153.
    EXPECT_EQ(clock.drawn, (std::vector<uint32_t>{20, 50, 80}));
}

TEST(SceneDocument, EmptySectionsNeverDrawAProgressFrame) {
    FakeClock clock;
    clock.times = {0, 100000};
    LoadProgress progress = build_with_progress(std::vector<int>(15, 0), &clock);
    EXPECT_EQ(progress.total, 0u);
    EXPECT_TRUE(clock.drawn.empty());
}

TEST(Scene, StartsWithItsNamesAndEmptyLists) {
    Scene *sc = scene_create();
    ASSERT_NE(sc, nullptr);
    EXPECT_STREQ(sc->music_name, "no_music");
    EXPECT_STREQ(sc->loading_name, "no_loading_screen");
    EXPECT_EQ(sc->music_offset, 0u);
    for (const LayerSlot &slot : sc->slots) {
        ASSERT_NE(slot.layers, nullptr);
        EXPECT_EQ(slot.layers->count, 0u);
    }
    EXPECT_EQ(sc->functions->count, 0u);
    EXPECT_EQ(sc->fonts->count, 0u);
    scene_release(sc);
    scene_release(nullptr);
}

} // namespace
