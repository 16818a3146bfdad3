// The browser studio's files: names and bounds it takes, a package opened into a folder's files
// that builds again into the same bytes, a damaged package refused, and the music found where the
// player finds it, decoded to oggdec's samples, with its waveform.
#include "studio/studio_files.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytes_of(const std::string &text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool put(studio::StudioFiles *f, const std::string &name, const std::vector<uint8_t> &data) {
    std::string why;
    return studio::studio_files_put(f, name, data.data(), data.size(), &why);
}

std::vector<uint8_t> build(studio::StudioFiles *f, analysis::BuildReport *report) {
    std::vector<uint8_t> package;
    EXPECT_TRUE(analysis::analysis_build(studio::studio_files_host(f), &package, report)) << report->error;
    return package;
}

const char *kDemo =
    "<demo>\n<texture_layers/>\n<procedural_textures/>\n"
    "<models>\n  <model name=\"quad\" filename=\"quad.mdl\"/>\n</models>\n"
    "<functions/>\n<lights/>\n<effects2d/>\n<bitmaps/>\n<cubemaps/>\n<fonts/>\n<texture_slots/>\n"
    "<materials><material name=\"grey\"/></materials>\n<mesh_effects/>\n"
    "<objects><object><item type=\"0\" object=\"@quad\" material=\"@grey\"/></object></objects>\n"
    "<timeline/>\n<music file=\"song.ogg\" offset=\"0\"/>\n</demo>\n";

TEST(StudioFiles, NamesAndBoundsAreKept) {
    studio::StudioFiles f = {};
    std::string why;
    struct Case {
        const char *name;
        size_t size;
        bool taken;
    } cases[] = {
        {"quad.mdl", 10, true},
        {"models/quad.mdl", 10, true},
        {"", 1, false},
        {"../outside.mdl", 1, false},
        {"/etc/passwd", 1, false},
        {"demo.xml", studio::kMaxDocumentBytes + 1, false},
        {"big.png", studio::kMaxFileBytes + 1, false},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> data(c.size, 'x');
        EXPECT_EQ(studio::studio_files_put(&f, c.name, data.data(), data.size(), &why), c.taken) << c.name;
    }
    EXPECT_EQ(f.total, 20u);
    EXPECT_TRUE(put(&f, "quad.mdl", std::vector<uint8_t>(4, 'y'))); // replaced, counted once
    EXPECT_EQ(f.total, 14u);
}

TEST(StudioFiles, APackageOpensIntoFilesThatBuildTheSameBytes) {
    studio::StudioFiles folder = {};
    ASSERT_TRUE(put(&folder, "demo.xml", bytes_of(kDemo)));
    ASSERT_TRUE(put(&folder, "quad.mdl", std::vector<uint8_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(put(&folder, "notes.txt", bytes_of("not read by the player")));
    analysis::BuildReport report;
    std::vector<uint8_t> package = build(&folder, &report);
    ASSERT_EQ(report.packed, (std::vector<std::string>{"demo.xmlz", "quad.mdl"}));

    studio::StudioFiles opened = {};
    std::string why;
    ASSERT_TRUE(studio::studio_files_from_package(package.data(), package.size(), &opened, &why)) << why;
    ASSERT_EQ(opened.files.size(), 2u);
    const std::vector<uint8_t> *text = studio::studio_files_get(opened, "demo.xml");
    ASSERT_NE(text, nullptr);
    // The package's text: numbers for names, every line where it was.
    std::string demo(text->begin(), text->end());
    EXPECT_NE(demo.find("object=\"1\" material=\"1\""), std::string::npos) << demo;
    EXPECT_EQ(std::count(demo.begin(), demo.end(), '\n'),
              std::count(kDemo, kDemo + std::strlen(kDemo), '\n'));
    EXPECT_EQ(*studio::studio_files_get(opened, "quad.mdl"), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(build(&opened, &report), package);

    // Damaged: cut inside the index, or a document that does not inflate.
    for (size_t cut : {size_t(20), package.size() - 3}) {
        std::vector<uint8_t> damaged(package.begin(), package.begin() + long(cut));
        if (cut > 100) damaged = package, damaged[package.size() - 12] ^= 0xFF;
        EXPECT_FALSE(studio::studio_files_from_package(damaged.data(), damaged.size(), &opened, &why)) << cut;
        EXPECT_TRUE(opened.files.empty());
        EXPECT_FALSE(why.empty());
    }
}

TEST(StudioFiles, MusicIsFoundAndDecodedAsThePlayerDecodesIt) {
    testutil::TempDir dir;
    std::string wav = dir.file("song.wav"), ogg = dir.file("song.ogg"), raw = dir.file("song.raw");
    // Half a second of two tones, 44.1 kHz stereo, as a WAV that oggenc encodes; oggdec's samples
    // are the expected ones.
    const uint32_t frames = 22050, data_bytes = frames * 4;
    std::vector<uint8_t> w;
    auto put_le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++)
            w.push_back(uint8_t(v >> (8 * i)));
    };
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    put_le(36 + data_bytes, 4);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_le(16, 4), put_le(1, 2), put_le(2, 2), put_le(44100, 4), put_le(44100 * 4, 4), put_le(4, 2),
        put_le(16, 2);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put_le(data_bytes, 4);
    for (uint32_t i = 0; i < frames; i++) {
        put_le(uint16_t(int16_t(9000 * std::sin(2 * M_PI * 440 * i / 44100))), 2);
        put_le(uint16_t(int16_t(7000 * std::sin(2 * M_PI * 660 * i / 44100))), 2);
    }
    testutil::write_file(wav, w);
    std::string command =
        "oggenc -Q '" + wav + "' -o '" + ogg + "' && oggdec -Q -R '" + ogg + "' -o '" + raw + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> song = testutil::read_file(ogg), pcm = testutil::read_file(raw);
    studio::StudioFiles f = {};
    ASSERT_TRUE(put(&f, "music/song.ogg", song));
    ASSERT_TRUE(put(&f, "noise.ogg", bytes_of("not Ogg at all")));
    studio::StudioMusic m;
    struct Case {
        const char *file;
        analysis::MusicStatus status;
    } cases[] = {{"other.ogg", analysis::MUSIC_NOT_FOUND},
                 {"../song.ogg", analysis::MUSIC_REFUSED},
                 {"noise.ogg", analysis::MUSIC_NOT_OGG}};
    for (const Case &c : cases) {
        studio::studio_music_decode(f, c.file, &m);
        EXPECT_EQ(m.status, c.status) << c.file;
        EXPECT_TRUE(m.samples.empty());
    }
    studio::studio_music_decode(f, "song.ogg", &m); // found under music/, as the player finds it
    ASSERT_EQ(m.status, analysis::MUSIC_FOUND);
    ASSERT_EQ(m.samples.size() * 2, pcm.size());
    int worst = 0;
    for (size_t i = 0; i < m.samples.size(); i++) {
        int16_t expected = int16_t(pcm[2 * i] | pcm[2 * i + 1] << 8);
        worst = std::max(worst, std::abs(int(m.samples[i]) - int(expected)));
    }
    EXPECT_LE(worst, 4);
    EXPECT_TRUE(m.wave.found);
    EXPECT_EQ(m.wave.length_ms, 500u);
    EXPECT_EQ(m.wave.low.size(), 50u); // a hundredth each
}

} // namespace
