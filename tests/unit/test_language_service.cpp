// The language service's slow checks: an edit to one document reads the files that document names
// (and the music only for the demo document), never the other document's.
#include "lsp/language_service.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using json = nlohmann::json;

std::string scene(const std::string &model_file, const std::string &music) {
    return "<demo>\n<texture_layers/>\n<procedural_textures/>\n<models><model filename=\"" + model_file +
           "\"/></models>\n<functions/>\n<lights/>\n<effects2d/>\n<bitmaps/>\n<cubemaps/>\n<fonts/>\n"
           "<texture_slots/>\n<materials/>\n<mesh_effects/>\n<objects/>\n<timeline/>\n" +
           music + "\n</demo>\n";
}

struct Seen {
    std::vector<std::string> files, music;
};

bool seen_read(void *user, const char *name, std::vector<uint8_t> *) {
    static_cast<Seen *>(user)->files.push_back(name);
    return false;
}

void seen_music(void *user, const char *file, analysis::MusicInfo *) {
    static_cast<Seen *>(user)->music.push_back(file);
}

struct Session {
    lsp::Service *service = lsp::service_create(lsp::ServiceHost{nullptr, nullptr});
    std::vector<std::string> out;
    int status = 0;
    ~Session() { lsp::service_destroy(service); }
    void send(const json &m) { lsp::service_handle(service, m.dump(), &out, &status); }
    // Runs every slow job that is due; returns the files each read, in order.
    std::vector<std::pair<std::string, Seen>> run_slow_jobs() {
        std::vector<std::pair<std::string, Seen>> runs;
        lsp::SlowJob job;
        while (lsp::service_take_slow_job(service, &job)) {
            Seen seen;
            analysis::AnalysisHost host = {&seen, "folder", "folder", seen_read, seen_music, nullptr};
            lsp::service_run_slow_job(&job, host);
            lsp::service_finish_slow_job(service, job, &out);
            runs.push_back({job.file, seen});
        }
        return runs;
    }
};

TEST(LanguageService, AnEditReadsOnlyTheFilesOfTheDocumentEdited) {
    const std::string demo = "file:///demo-folder/demo.xml", loading = "file:///demo-folder/loading.xml";
    Session s;
    s.send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
    const std::string music = "<music file=\"tune.ogg\" offset=\"0\"/>";
    for (const auto &[uri, text] : {std::pair<std::string, std::string>{demo, scene("demo_only.mdl", music)},
                                    {loading, scene("loading_only.mdl", "<music/>")}})
        s.send({{"jsonrpc", "2.0"},
                {"method", "textDocument/didOpen"},
                {"params", {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", text}}}}}});
    auto opened = s.run_slow_jobs();
    ASSERT_EQ(opened.size(), 2u);

    s.send({{"jsonrpc", "2.0"},
            {"method", "textDocument/didChange"},
            {"params",
             {{"textDocument", {{"uri", loading}, {"version", 2}}},
              {"contentChanges", json::array({{{"text", scene("loading_changed.mdl", "<music/>")}}})}}}});
    auto edited = s.run_slow_jobs();
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0].first, "loading.xml");
    EXPECT_EQ(edited[0].second.files, std::vector<std::string>{"loading_changed.mdl"});
    EXPECT_TRUE(edited[0].second.music.empty());

    s.send({{"jsonrpc", "2.0"},
            {"method", "textDocument/didChange"},
            {"params",
             {{"textDocument", {{"uri", demo}, {"version", 2}}},
              {"contentChanges", json::array({{{"text", scene("demo_changed.mdl", music)}}})}}}});
    edited = s.run_slow_jobs();
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0].first, "demo.xml");
    EXPECT_EQ(edited[0].second.files, std::vector<std::string>{"demo_changed.mdl"});
    EXPECT_EQ(edited[0].second.music, std::vector<std::string>{"tune.ogg"});
}

} // namespace
