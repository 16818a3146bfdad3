// bvtool check: the analysis run over a folder or a package, with the files it names, the music as
// the player finds it, and the programs compiled by this machine's GL.
#include "tools/tool_check.h"
#include "tools/bvtool.h"
#include "tools/tool_scene.h"

#include "music/music_stream.h"
#include "player/platform/platform.h"
#include "resources/file_util.h"
#include "resources/log.h"
#include "resources/package.h"
#include "resources/packed.h"
#include "scene/scene_loader.h"
#include "resources/xml.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tools {

namespace {

bool host_read(void *user, const char *name, std::vector<uint8_t> *out) {
    return check_input_read(*static_cast<const CheckInput *>(user), name, out);
}

void host_music(void *user, const char *file, analysis::MusicInfo *out) {
    out->length_ms = 0;
    music::MusicStream *stream = check_music_open(*static_cast<const CheckInput *>(user), file, &out->status);
    if (!stream) return;
    out->length_ms = music::music_stream_length_ms(stream);
    music::music_stream_close(stream);
}

// One shader compiled; the driver's log when it fails.
GLuint compile_shader(GLenum kind, const char *text, uint32_t length, bool *ok, std::string *log) {
    GLuint shader = glCreateShader(kind);
    const GLchar *source = text;
    GLint len = static_cast<GLint>(length);
    glShaderSource(shader, 1, &source, &len);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    *ok = status == GL_TRUE;
    if (!*ok) {
        GLint size = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &size);
        log->resize(size_t(size > 0 ? size : 1));
        GLsizei got = 0;
        glGetShaderInfoLog(shader, GLsizei(log->size()), &got, &(*log)[0]);
        log->resize(size_t(got));
    }
    return shader;
}

void host_compile(void *, const char *vertex, uint32_t vertex_length, const char *fragment,
                  uint32_t fragment_length, analysis::GlslResult *out) {
    GLuint vs = compile_shader(GL_VERTEX_SHADER, vertex, vertex_length, &out->vertex_ok, &out->vertex_log);
    GLuint fs =
        compile_shader(GL_FRAGMENT_SHADER, fragment, fragment_length, &out->fragment_ok, &out->fragment_log);
    out->linked = false;
    if (out->vertex_ok && out->fragment_ok) {
        GLuint program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        out->linked = linked == GL_TRUE;
        if (!out->linked) {
            char log[2048];
            GLsizei got = 0;
            glGetProgramInfoLog(program, sizeof log, &got, log);
            out->link_log.assign(log, size_t(got));
        }
        glDeleteProgram(program);
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
}

std::string json_string(const std::string &s) {
    std::string out = "\"";
    for (unsigned char ch : s) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += char(ch);
        } else if (ch < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", ch);
            out += buf;
        } else {
            out += char(ch);
        }
    }
    return out + "\"";
}

} // namespace

// The music as the player finds it: beside the package (or under music/ there); for a folder in
// the folder, its music/ or the folder above, where the package is usually built.
music::MusicStream *check_music_open(const CheckInput &in, const char *file, analysis::MusicStatus *status) {
    *status = analysis::MUSIC_NOT_FOUND;
    if (!resources::file_name_is_contained(file)) {
        *status = analysis::MUSIC_REFUSED;
        return nullptr;
    }
    std::vector<std::string> folders;
    if (in.package) {
        std::string parent = std::filesystem::path(in.location).parent_path().string();
        folders.push_back(parent);
    } else {
        folders.push_back(in.folder);
        folders.push_back((std::filesystem::path(in.folder) / "..").lexically_normal().string());
    }
    for (const std::string &folder : folders) {
        FILE *f = music::music_file_open(folder.c_str(), file);
        if (!f) continue;
        music::MusicOpen result;
        music::MusicStream *stream = music::music_stream_open_seekable(f, &result);
        if (!stream) {
            std::fclose(f);
            *status = result == music::MUSIC_NOT_OGG ? analysis::MUSIC_NOT_OGG : analysis::MUSIC_UNDECODABLE;
            return nullptr;
        }
        *status = analysis::MUSIC_FOUND;
        return stream;
    }
    return nullptr;
}

bool check_input_open(const char *path, CheckInput *in, std::string *why) {
    *in = CheckInput{"", nullptr, path};
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        in->folder = path;
        return true;
    }
    in->package = resources::file_open_regular(path);
    uint32_t entries = 0;
    resources::PackageEntryInfo *index =
        in->package ? resources::package_index_read(in->package, &entries) : nullptr;
    if (!index) {
        *why = std::string(path) + " is " +
               (in->package ? "not a package with a readable index" : "not a folder or a file");
        check_input_close(in);
        return false;
    }
    std::free(index);
    return true;
}

void check_input_close(CheckInput *in) {
    if (in->package) std::fclose(in->package);
    in->package = nullptr;
}

analysis::AnalysisHost check_host(const CheckInput &in, bool glsl) {
    analysis::AnalysisHost host = {};
    host.user = const_cast<CheckInput *>(&in);
    host.container = in.package ? "package" : "folder";
    host.music_where = in.package ? "beside the package (nor under music/)"
                                  : "in the folder, its music/ or the folder above";
    host.read = host_read;
    host.music = host_music;
    host.compile = glsl ? host_compile : nullptr;
    return host;
}

bool check_input_read(const CheckInput &in, const char *name, std::vector<uint8_t> *out) {
    out->clear();
    if (in.package) {
        uint32_t size = 0;
        uint8_t *data = resources::package_read_entry(in.package, name, &size);
        if (!data) return false;
        out->assign(data, data + size);
        std::free(data);
        return true;
    }
    auto given = in.overrides.find(name);
    if (given != in.overrides.end()) {
        out->assign(given->second.begin(), given->second.end());
        return true;
    }
    if (!resources::file_name_is_contained(name)) return false;
    uint32_t size = 0;
    uint8_t *data =
        resources::file_read_regular((in.folder + "/" + name).c_str(), &size, resources::kPackedMaxLength);
    if (!data) return false;
    out->assign(data, data + size);
    std::free(data);
    return true;
}

bool check_document_text(const CheckInput &in, const char *name, std::string *text, std::string *file,
                         bool *damaged) {
    *damaged = false;
    *file = in.package ? std::string(name) + "z" : std::string(name);
    auto given = in.overrides.find(name);
    if (!in.package && given != in.overrides.end()) {
        *text = given->second;
        return true;
    }
    std::vector<uint8_t> raw;
    if (!check_input_read(in, file->c_str(), &raw)) return false;
    if (!in.package) {
        text->assign(raw.begin(), raw.end());
        return true;
    }
    uint32_t length = 0;
    resources::PackedStatus status;
    uint8_t *inflated =
        resources::packed_inflate(raw.data(), static_cast<uint32_t>(raw.size()), &length, &status);
    if (!inflated) {
        *damaged = true;
        return false;
    }
    text->assign(reinterpret_cast<const char *>(inflated), length);
    std::free(inflated);
    return true;
}

void check_run(const CheckInput &in, uint8_t scope, CheckReport *report) {
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    analysis::AnalysisHost host = check_host(in, (scope & analysis::CHECK_GLSL) != 0);
    const char *names[2] = {"demo.xml", "loading.xml"};
    for (int i = 0; i < 2; i++) {
        report->records[i] = 0;
        std::string text, file;
        bool damaged = false;
        if (!check_document_text(in, names[i], &text, &file, &damaged)) {
            if (damaged)
                report->findings.push_back(CheckFinding{file, 0, -1, -1,
                                                        "does not inflate: the package is damaged",
                                                        analysis::FINDING_STRUCTURE});
            else if (i == 0)
                report->findings.push_back(CheckFinding{file, 0, -1, -1,
                                                        std::string("is missing from the ") +
                                                            (in.package ? "package" : "folder") +
                                                            ": the player has nothing to play",
                                                        analysis::FINDING_STRUCTURE});
            continue;
        }
        analysis::AnalysisDocument doc = {file.c_str(), text.data(), text.size(), i == 0};
        analysis::analysis_check(doc, host, scope, &report->findings);
        resources::XmlNode *tree = resources::xml_parse(text.c_str());
        report->records[i] = tree ? scene::scene_document_count_records(tree) : 0;
        resources::xml_free(tree);
    }
    report->glsl_compiled = (scope & analysis::CHECK_GLSL) != 0;
    resources::log_attach(log);
}

std::string check_format(const CheckFinding &f) {
    return analysis::finding_format(f);
}

int tool_check(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool check DIR|PKG [--json] [--no-glsl]\n"
            "Reads the demo and loading documents of a demo folder (as bvtool build packs it) or of a "
            "package\n"
            "as the player does, and reports every place where the player would silently do something else\n"
            "than the document seems to say, one line each: FILE:LINE: RECORD: what happens. Each document "
            "is\n"
            "first read by a strict XML parser; a document that is not well-formed gets only those "
            "findings.\n"
            "Models, images and the music are decoded (the timeline is held against the music's length), "
            "the\n"
            "texture graph is generated, and every program (generated or the document's own) is compiled "
            "and\n"
            "linked on this machine's OpenGL, in a small window; without a display that cannot be done, and\n"
            "check says so and fails unless --no-glsl leaves the programs out. The music is looked for "
            "beside\n"
            "a package, and in a folder, its music/ folder or the folder above. Records may be named\n"
            "(name=\"...\") and referred to as @name. A clean run prints one summary line. --json writes "
            "the\n"
            "findings as one JSON array of objects with \"file\", \"line\", \"message\" and, where a "
            "finding\n"
            "has a place in the text, \"begin\" and \"end\" (byte offsets).\n"
            "Exit status: 0 nothing found, 1 something found, 2 the input cannot be read or the programs\n"
            "cannot be compiled here.");
        return 0;
    }
    const char *path = nullptr;
    bool json = false, glsl = true;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (std::strcmp(argv[i], "--no-glsl") == 0)
            glsl = false;
        else if (argv[i][0] != '-' && !path)
            path = argv[i];
        else {
            tool_fail("check: bad arguments (see bvtool check --help)");
            return 2;
        }
    }
    if (!path) {
        tool_fail("check: expected a demo folder or a package (see bvtool check --help)");
        return 2;
    }
    CheckInput in;
    std::string why;
    if (!check_input_open(path, &in, &why)) {
        tool_fail("check: %s", why.c_str());
        return 2;
    }
    uint8_t scope = analysis::CHECK_DOCUMENTS | analysis::CHECK_FILES | analysis::CHECK_GRAPH;
    if (glsl) {
        // Without a window there is no GL to compile with: one line, and no half a check called clean.
        if (!player::platform_video_start()) {
            if (in.package) std::fclose(in.package);
            tool_fail("check: the GLSL programs cannot be compiled without a window (%s); --no-glsl checks "
                      "the rest",
                      SDL_GetError());
            return 2;
        }
        player::GlWindow win = {};
        ToolSceneOptions options = {path, 64, 64, false, false, nullptr, nullptr};
        if (!tool_window_open("check", options, &win)) {
            if (in.package) std::fclose(in.package);
            return 2;
        }
        scope |= analysis::CHECK_GLSL;
    }
    CheckReport report = {};
    check_run(in, scope, &report);
    if (scope & analysis::CHECK_GLSL) SDL_Quit();
    if (in.package) std::fclose(in.package);
    if (json) {
        std::string out = "[";
        for (size_t i = 0; i < report.findings.size(); i++) {
            const CheckFinding &f = report.findings[i];
            out += std::string(i ? "," : "") + "\n  {\"file\": " + json_string(f.file) +
                   ", \"line\": " + std::to_string(f.line) +
                   (f.begin >= 0
                        ? ", \"begin\": " + std::to_string(f.begin) + ", \"end\": " + std::to_string(f.end)
                        : std::string()) +
                   ", \"message\": " + json_string(f.message) + "}";
        }
        out += report.findings.empty() ? "]\n" : "\n]\n";
        std::fputs(out.c_str(), stdout);
    } else if (report.findings.empty()) {
        std::string kind = in.package ? "xmlz" : "xml";
        std::printf("%s: demo.%s (%u records) and %s: no findings%s\n", path, kind.c_str(), report.records[0],
                    report.records[1]
                        ? ("loading." + kind + " (" + std::to_string(report.records[1]) + " records)").c_str()
                        : "no loading document",
                    glsl ? "" : " (GLSL programs not compiled: --no-glsl)");
    } else {
        for (const CheckFinding &f : report.findings)
            std::printf("%s\n", check_format(f).c_str());
    }
    return report.findings.empty() ? 0 : 1;
}

} // namespace tools
