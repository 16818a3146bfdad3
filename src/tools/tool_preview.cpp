// bvtool preview: a demo folder played in a window straight from its files, packed in memory as
// bvtool build packs it, and reloaded whenever a file in it changes, at the same demo time. Keys
// pause, seek and loop; the music follows every seek and pause.
#include "tools/bvtool.h"
#include "tools/tool_build.h"
#include "tools/tool_check.h"
#include "tools/tool_unsaved.h"
#include "tools/tool_preview_strip.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include "maths/shared_random.h"
#include "music/music_ring.h"
#include "music/music_stream.h"
#include "player/bitmap_font.h"
#include "player/bitmap_text.h"
#include "player/gl_window.h"
#include "player/platform/platform.h"
#include "render/frame.h"
#include "render/layer.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"

#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tools {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kWatchIntervalMs = 25;   // how often the folder (and an editor's unsaved text) is looked at
constexpr uint32_t kStatusIntervalMs = 500; // how often the demo time is printed
constexpr uint32_t kFrameMs = 16;           // frames are held to about 60 a second
constexpr int kAudioSamples = 2048;         // a short device buffer: the sound follows a seek soon
constexpr double kFrameStepMs = 1000.0 / 60.0;

// ---------------------------------------------------------------------------------------------
// Watching the folder: every file's path, size and modification time

struct FileStamp {
    std::string path;
    uintmax_t size;
    fs::file_time_type time;
    bool operator==(const FileStamp &o) const { return path == o.path && size == o.size && time == o.time; }
};

std::vector<FileStamp> preview_stamps(const std::string &folder, const std::string &music) {
    std::vector<FileStamp> stamps;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        stamps.push_back(FileStamp{it->path().generic_string(), it->file_size(fe), it->last_write_time(fe)});
    }
    // An editor's unsaved text of the documents, which the language server keeps beside.
    std::string unsaved = tool_unsaved_dir(folder);
    for (const char *name : {"demo.xml", "loading.xml"}) {
        std::error_code fe;
        fs::path path = fs::path(unsaved) / name;
        if (!unsaved.empty() && fs::is_regular_file(path, fe))
            stamps.push_back(FileStamp{path.generic_string(), fs::file_size(path, fe), fs::last_write_time(path, fe)});
    }
    // The music may stand beside the folder rather than in it.
    if (!music.empty()) {
        std::error_code fe;
        if (fs::is_regular_file(music, fe))
            stamps.push_back(FileStamp{music, fs::file_size(music, fe), fs::last_write_time(music, fe)});
    }
    std::sort(stamps.begin(), stamps.end(),
              [](const FileStamp &a, const FileStamp &b) { return a.path < b.path; });
    return stamps;
}

// The newest modification among the files that differ from before (the save that is being loaded).
fs::file_time_type preview_newest_change(const std::vector<FileStamp> &before,
                                         const std::vector<FileStamp> &after) {
    fs::file_time_type newest = fs::file_time_type::min();
    for (const FileStamp &s : after)
        if (std::find(before.begin(), before.end(), s) == before.end()) newest = std::max(newest, s.time);
    return newest;
}

// ---------------------------------------------------------------------------------------------
// The music: decoded in the audio callback itself, under SDL's audio lock, so that a seek is a
// move of the stream between two callbacks and nothing else needs to agree with it.

struct PreviewAudio {
    bool open;                  // the device is open (it plays silence while there is no music)
    music::MusicStream *stream; // null without music
    int64_t frame;              // music frame of the next sample written; below 0 silence comes first
    bool playing;
    uint64_t bytes_out; // bytes handed to the device so far
};
PreviewAudio g_audio;

void preview_audio_callback(void *, Uint8 *out, int length) {
    std::memset(out, 0, size_t(length));
    uint32_t frames = uint32_t(length) / 4, i = 0;
    int16_t *samples = reinterpret_cast<int16_t *>(out);
    if (g_audio.playing && g_audio.stream) {
        if (g_audio.frame < 0) {
            uint32_t silence = uint32_t(std::min<int64_t>(-g_audio.frame, frames));
            i += silence;
            g_audio.frame += silence;
        }
        while (i < frames) {
            uint32_t got = music::music_stream_decode(g_audio.stream, samples + i * 2, (frames - i) * 2) / 2;
            if (got == 0) break; // the end of the music: silence
            i += got;
            g_audio.frame += got;
        }
    }
    g_audio.bytes_out += uint64_t(length);
}

bool preview_audio_open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec desired = {};
    desired.freq = int(music::kDeviceRate);
    desired.format = AUDIO_S16LSB;
    desired.channels = 2;
    desired.samples = kAudioSamples;
    desired.callback = preview_audio_callback;
    // No obtained format asked for: SDL converts if the device differs, so the callback always writes this
    // one.
    if (SDL_OpenAudio(&desired, nullptr) < 0) return false;
    g_audio.open = true;
    SDL_PauseAudio(0);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The preview

struct Preview {
    std::string folder;
    player::GlWindow win;
    scene::Scene *scene;
    uint32_t end_time; // hundredths: the end of the last layer
    std::string music_name, music_path;
    uint32_t music_offset; // ms

    double base_ms; // the demo time when the clock last started or stopped
    uint32_t base_tick;
    bool paused;
    bool looping;
    double loop_begin, loop_end;

    bool overlay;
    std::string error;                 // the last reload's failure, shown until one succeeds
    std::vector<std::string> findings; // what check found in the loaded documents
    std::vector<FileStamp> stamps;
    uint32_t frames, fps, fps_tick;
    uint32_t drawn;
    PreviewStrip strip; // the timeline strip and the curves (T and C)
};

uint32_t preview_time(const Preview &p) {
    double ms = p.paused ? p.base_ms : p.base_ms + double(SDL_GetTicks() - p.base_tick);
    return ms <= 0 ? 0 : static_cast<uint32_t>(ms);
}

uint32_t preview_end_ms(const Preview &p) {
    return p.end_time * 10u;
}

void say(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

// Puts the music where the picture is: the sample the player hands its device at demo time ms,
// playing or silent. The player's clock counts the silence it queues before the music's first
// sample, so that sample is handed that much after the music offset.
void preview_music_follow(Preview *p, uint32_t ms) {
    if (!g_audio.open) return;
    SDL_LockAudio();
    constexpr int64_t kLeadFrames = music::kLeadingSilence / 4; // 16-bit stereo frames
    int64_t frame =
        static_cast<int64_t>(std::floor((double(ms) - double(p->music_offset)) * 44.1)) - kLeadFrames;
    if (g_audio.stream) music::music_stream_seek(g_audio.stream, frame > 0 ? uint64_t(frame) : 0);
    g_audio.frame = frame;
    g_audio.playing = !p->paused && g_audio.stream;
    uint64_t byte = g_audio.bytes_out;
    SDL_UnlockAudio();
    if (g_audio.playing && g_audio.stream)
        say("music sample %lld from byte %llu\n", static_cast<long long>(frame),
            static_cast<unsigned long long>(byte));
}

void preview_music_silence() {
    if (!g_audio.open) return;
    SDL_LockAudio();
    g_audio.playing = false;
    SDL_UnlockAudio();
}

// Opens the music a loaded document names (again: the file may have changed).
void preview_music_open(Preview *p, const std::string &name) {
    if (g_audio.open) SDL_LockAudio();
    music::music_stream_close(g_audio.stream);
    g_audio.stream = nullptr;
    g_audio.playing = false;
    if (g_audio.open) SDL_UnlockAudio();
    p->music_name = name;
    p->music_path.clear();
    if (name.empty()) return;
    std::string parent = (fs::path(p->folder) / "..").lexically_normal().string();
    FILE *f = nullptr;
    for (const std::string &folder : {p->folder, parent}) {
        f = music::music_file_open(folder.c_str(), name.c_str());
        if (f) {
            fs::path direct = fs::path(folder) / name;
            std::error_code ec;
            p->music_path =
                (fs::is_regular_file(direct, ec) ? direct : fs::path(folder) / "music" / name).string();
            break;
        }
    }
    if (!f) {
        std::fprintf(stderr,
                     "bvtool: preview: the music %s is not in the folder, its music/ or the folder above\n",
                     name.c_str());
        return;
    }
    music::MusicOpen result;
    music::MusicStream *stream = music::music_stream_open_seekable(f, &result);
    if (!stream) {
        std::fclose(f);
        std::fprintf(stderr, "bvtool: preview: %s is not Ogg Vorbis that can be decoded\n", name.c_str());
        return;
    }
    if (!g_audio.open && !preview_audio_open()) {
        music::music_stream_close(stream);
        std::fprintf(stderr, "bvtool: preview: no audio device: %s\n", SDL_GetError());
        return;
    }
    SDL_LockAudio();
    g_audio.stream = stream;
    SDL_UnlockAudio();
}

// A jump in demo time: stateful effects start again from their first state, and the music follows.
void preview_seek(Preview *p, double ms) {
    double end = double(preview_end_ms(*p));
    p->base_ms = ms < 0 ? 0 : (ms > end ? end : ms);
    p->base_tick = SDL_GetTicks();
    scene::scene_reset_effects(p->scene);
    render::render_reset_targets();
    uint32_t now = preview_time(*p);
    say("seek %s\n", tool_time_demo(now).c_str());
    preview_music_follow(p, now);
}

void preview_pause(Preview *p, bool paused) {
    if (p->paused == paused) return;
    p->base_ms = preview_time(*p);
    p->base_tick = SDL_GetTicks();
    p->paused = paused;
    say("%s %s\n", paused ? "pause" : "play", tool_time_demo(preview_time(*p)).c_str());
    preview_music_follow(p, preview_time(*p));
}

uint32_t timeline_end(const scene::Scene *sc) {
    uint32_t end = 0;
    for (const scene::LayerSlot &slot : sc->slots)
        end = std::max(end, slot.end_time);
    return end;
}

// Packs the folder, checks its documents and loads the demo document into a new scene; on success
// it replaces the scene on screen. On failure the scene on screen stays and *error says why (the
// check's message when the check found the cause).
bool preview_load(Preview *p, std::string *error) {
    CheckInput in = {p->folder, nullptr, p->folder};
    // What an editor holds unsaved is shown in place of the file.
    for (const char *name : {"demo.xml", "loading.xml"}) {
        std::string text;
        if (tool_unsaved_get(p->folder, name, &text)) in.overrides[name] = text;
    }
    CheckReport report = {};
    check_run(in, analysis::CHECK_DOCUMENTS, &report);
    std::vector<std::string> findings;
    std::string structural;
    for (const CheckFinding &f : report.findings) {
        findings.push_back(check_format(f));
        // Only the demo document is played here: the loading document's findings are for reading.
        if (f.kind != analysis::FINDING_RULE && f.file == "demo.xml" && structural.empty()) structural = check_format(f);
    }
    for (const std::string &f : findings)
        std::fprintf(stderr, "%s\n", f.c_str());
    if (!structural.empty()) {
        *error = structural;
        return false;
    }
    FolderPackage package;
    std::string why;
    if (!tool_folder_package(p->folder.c_str(), &package, &why, &in.overrides)) {
        *error = package.findings.empty() ? why : check_format(package.findings[0]);
        return false;
    }
    FILE *file = player::platform_memory_file(package.bytes.data(), package.bytes.size());
    if (!file) {
        *error = "cannot read the packed folder";
        return false;
    }
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(file, "demo.xmlz", &status);
    if (!document) {
        std::fclose(file);
        *error = status == scene::DOCUMENT_MISSING ? "demo.xml is missing" : "demo.xml cannot be read";
        return false;
    }
    // The shared random sequence starts where it does in a fresh player.
    maths::shared_random_seed(1);
    scene::Scene *sc = scene::scene_create();
    scene::LoadContext ctx = {file, &p->win.formats, p->win.caps, p->win.glsl, nullptr, nullptr, nullptr};
    status = sc ? scene::scene_document_build(sc, document, "demo.xmlz", &ctx) : scene::DOCUMENT_MALFORMED;
    uint32_t offset = 125;
    const char *music =
        music::music_element_file(scene::scene_document_section(document, scene::kMusicSection), &offset);
    std::string music_name = music ? music : "";
    resources::xml_free(document);
    std::fclose(file);
    if (status != scene::DOCUMENT_OK) {
        scene::scene_delete_gl_objects(sc);
        scene::scene_release(sc);
        *error = "demo.xml cannot be played (see the lines above)";
        return false;
    }
    if (p->scene) {
        scene::scene_delete_gl_objects(p->scene);
        scene::scene_release(p->scene);
    }
    p->scene = sc;
    render::render_reset_targets();
    p->end_time = timeline_end(sc);
    p->music_offset = offset;
    p->findings = findings;
    preview_music_open(p, music_name);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drawing text over the frame: the built-in bitmap font into an alpha texture, drawn with the
// fixed-function pipeline, every GL state the renderer relies on saved and restored around it.

struct TextLine {
    std::string text;
    float r, g, b;
};

void draw_box(const std::vector<TextLine> &lines, int32_t x, int32_t y, int32_t scale, float box_alpha,
              const Preview &p) {
    if (lines.empty()) return;
    const int32_t pad = 4 * scale, line_h = player::kBitmapFontLineHeight * scale;
    int32_t w = 0;
    for (const TextLine &l : lines)
        w = std::max(w, player::bitmap_text_width(l.text.c_str(), int32_t(l.text.size()), scale));
    w += 2 * pad;
    int32_t h = int32_t(lines.size()) * line_h + 2 * pad;
    int32_t win_w = p.win.screen.width, win_h = p.win.screen.height;
    w = std::min(w, win_w - x);
    if (w <= 0 || h <= 0) return;
    std::vector<uint8_t> mask(size_t(w) * size_t(h), 0);
    GLuint texture = 0;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, win_w, win_h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glUseProgram(0);
    for (int unit = 1; unit < 4; unit++) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, win_w, win_h);
    glEnable(GL_BLEND);
    if (glBlendEquation) glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, box_alpha);
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x + w, y);
    glVertex2i(x + w, y + h);
    glVertex2i(x, y + h);
    glEnd();
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnable(GL_TEXTURE_2D);
    // One colour per line: each line drawn from its own band of the mask.
    for (size_t i = 0; i < lines.size(); i++) {
        std::fill(mask.begin(), mask.end(), 0);
        player::ByteImage image = {mask.data(), w, h, w};
        int32_t ly = pad + int32_t(i) * line_h;
        player::bitmap_text_draw(lines[i].text.c_str(), int32_t(lines[i].text.size()), pad, ly, scale, 255,
                                 image);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, w, h, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask.data());
        glColor4f(lines[i].r, lines[i].g, lines[i].b, 1.0f);
        float t0 = float(ly) / float(h), t1 = float(ly + line_h) / float(h);
        glBegin(GL_QUADS);
        glTexCoord2f(0, t0);
        glVertex2i(x, y + ly);
        glTexCoord2f(1, t0);
        glVertex2i(x + w, y + ly);
        glTexCoord2f(1, t1);
        glVertex2i(x + w, y + ly + line_h);
        glTexCoord2f(0, t1);
        glVertex2i(x, y + ly + line_h);
        glEnd();
    }
    glDeleteTextures(1, &texture);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopAttrib();
}

// Long messages broken into lines that fit the window.
void add_wrapped(std::vector<TextLine> &lines, const std::string &text, int32_t width, float r, float g,
                 float b) {
    player::BitmapTextLine parts[16];
    int32_t n = player::bitmap_text_wrap(text.c_str(), width, parts, 16);
    for (int32_t i = 0; i < n; i++)
        lines.push_back(TextLine{text.substr(size_t(parts[i].start), size_t(parts[i].length)), r, g, b});
}

void draw_overlay(const Preview &p, uint32_t ms) {
    int32_t scale = p.win.screen.width >= 1000 ? 2 : 1;
    int32_t width = (p.win.screen.width - 16) / scale - 16;
    std::vector<TextLine> banner;
    if (!p.error.empty()) {
        add_wrapped(banner, "Reload failed, still showing the last good scene:", width, 1.0f, 0.5f, 0.4f);
        add_wrapped(banner, p.error, width, 1.0f, 0.5f, 0.4f);
    }
    for (size_t i = 0; i < p.findings.size() && i < 3; i++)
        add_wrapped(banner, p.findings[i], width, 1.0f, 0.9f, 0.4f);
    if (p.findings.size() > 3)
        add_wrapped(banner, std::to_string(p.findings.size() - 3) + " more findings on standard error", width,
                    1.0f, 0.9f, 0.4f);
    draw_box(banner, 8, 8, scale, 0.75f, p);
    if (!p.overlay) return;
    std::vector<TextLine> lines;
    char head[160];
    std::snprintf(head, sizeof head, "%s of %s   %s   %u fps   loop %s to %s %s", tool_time_demo(ms).c_str(),
                  tool_time_document(p.end_time).c_str(), p.paused ? "paused" : "playing", p.fps,
                  tool_time_demo(uint32_t(p.loop_begin)).c_str(),
                  tool_time_demo(uint32_t(p.loop_end)).c_str(), p.looping ? "on" : "off");
    lines.push_back(TextLine{head, 1, 1, 1});
    for (int s = 0; s < render::kLayerSlotCount; s++) {
        uint32_t index, local;
        if (!p.scene || !render::layer_find_active(&p.scene->slots[s], ms / 10, &index, &local)) continue;
        const render::Layer *layer = resources::short_at<render::Layer>(p.scene->slots[s].layers, index + 1);
        char line[160];
        // The layer's own time (offset included): what its functions are evaluated at.
        std::snprintf(
            line, sizeof line, "slot %d: layer %u, object %u, %s, layer time %s", s, index + 1, layer->object,
            layer->type < render::kRenderModeCount ? render::kRenderModeNames[layer->type] : "unknown mode",
            tool_time_document(local + layer->offset).c_str());
        lines.push_back(TextLine{line, 0.8f, 0.9f, 1.0f});
    }
    for (const char *help :
         {"Space pause   Left/Right 1 s   Shift 10 s   Ctrl one frame (paused)   Home start",
          "[ and ] loop from/to here   L loop on/off   F1 this overlay   Esc quit",
          "T timeline strip (click in it to seek)   C curves of the functions the frame uses",
          "After a seek or a reload, Lake water and its random drops, Centerwave water and",
          "Amoba start again from their first state (they do not replay what lies between)."})
        lines.push_back(TextLine{help, 0.7f, 0.7f, 0.7f});
    int32_t y =
        p.win.screen.height - 8 - int32_t(lines.size()) * player::kBitmapFontLineHeight * scale - 8 * scale;
    draw_box(lines, 8, std::max(8, y), scale, 0.6f, p);
}

// ---------------------------------------------------------------------------------------------

// Seeks by second and loop points land on a hundredth, the step the document and the picture
// take, so that the time printed is exactly where the picture and the music are.
double on_hundredth(double ms) {
    return ms <= 0 ? 0 : std::floor(ms / 10.0) * 10.0;
}

void preview_key(Preview *p, const SDL_keysym &key, bool *quit) {
    bool shift = (key.mod & KMOD_SHIFT) != 0, ctrl = (key.mod & KMOD_CTRL) != 0;
    uint32_t now = preview_time(*p);
    switch (key.sym) {
    case SDLK_ESCAPE: *quit = true; break;
    case SDLK_SPACE: preview_pause(p, !p->paused); break;
    case SDLK_LEFT:
    case SDLK_RIGHT: {
        double sign = key.sym == SDLK_LEFT ? -1.0 : 1.0;
        if (ctrl) {
            // One frame at 60 a second from where the picture stands.
            if (!p->paused) preview_pause(p, true);
            preview_seek(p, p->base_ms + sign * kFrameStepMs);
        } else {
            preview_seek(p, on_hundredth(double(now) + sign * (shift ? 10000.0 : 1000.0)));
        }
        break;
    }
    case SDLK_HOME: preview_seek(p, 0); break;
    case SDLK_LEFTBRACKET:
        p->loop_begin = on_hundredth(now);
        say("loop from %s\n", tool_time_demo(now).c_str());
        break;
    case SDLK_RIGHTBRACKET:
        p->loop_end = on_hundredth(now);
        say("loop to %s\n", tool_time_demo(now).c_str());
        break;
    case SDLK_l:
        p->looping = !p->looping && p->loop_end > p->loop_begin;
        if (p->looping)
            say("loop on %s to %s\n", tool_time_demo(uint32_t(p->loop_begin)).c_str(),
                tool_time_demo(uint32_t(p->loop_end)).c_str());
        else
            say("loop off\n");
        break;
    case SDLK_F1: p->overlay = !p->overlay; break;
    default: break;
    }
}

bool parse_size(const char *text, int *w, int *h) {
    return std::sscanf(text, "%dx%d", w, h) == 2;
}

} // namespace

int tool_preview(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool preview DIR [--size WxH] [--combiners]\n"
            "Plays the demo folder DIR in a window (1280x720 unless --size), packed in memory as\n"
            "bvtool build packs it, and watches it: when a file in it changes, the demo is loaded\n"
            "again and goes on at the same demo time. A reload that fails keeps the last good\n"
            "scene and shows why (bvtool check's message when it finds one). The music is looked\n"
            "for in DIR, DIR/music/ or the folder above, and follows every seek and pause.\n"
            "Keys: Space pause; Left/Right 1 s, with Shift 10 s, with Ctrl one frame (60 fps) while\n"
            "paused; Home the start; [ and ] set a loop range, L turns looping on and off; F1 an\n"
            "overlay with the time, the active layers and the frame rate; T the timeline strip under\n"
            "the frame (bvtool timeline's picture with the playhead; a click in it seeks there); C the\n"
            "curves of the functions the frame uses, each layer's time marked; Escape quits.\n"
            "Times are shown as \"12.50 s (1250)\": seconds, and the hundredths a document counts in;\n"
            "a seek by seconds lands on a hundredth. The overlay's layer time is what the layer's\n"
            "functions are evaluated at (its offset included).\n"
            "Standard output: \"time 12.50 s (1250)\" twice a second, and a line for each reload, seek,\n"
            "pause and music seek (\"music sample N from byte B\": the sound from sample N of the music\n"
            "starts at byte B of what the audio device was given). --combiners uses the\n"
            "texture-combiner path.");
        return 0;
    }
    ToolSceneOptions options = {nullptr, 1280, 720, false, false, nullptr, nullptr};
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc &&
            parse_size(argv[i + 1], &options.width, &options.height))
            i++;
        else if (std::strcmp(argv[i], "--combiners") == 0)
            options.combiners = true;
        else if (argv[i][0] != '-' && !options.package)
            options.package = argv[i];
        else
            return tool_fail("preview: bad arguments (see bvtool preview --help)");
    }
    if (!tool_scene_options_valid(options))
        return tool_fail("preview: bad arguments (see bvtool preview --help)");
    std::error_code ec;
    if (!fs::is_directory(options.package, ec))
        return tool_fail("preview: %s is not a demo folder", options.package);
    player::platform_binary_stream(stderr);
    resources::log_attach(stderr);

    static Preview p; // large, and alive for the audio callback's whole life
    p = Preview{};
    p.folder = options.package;
    p.paused = false;
    if (!tool_window_open("preview", options, &p.win)) return kToolNoWindowStatus;
    uint32_t started = SDL_GetTicks();
    p.stamps = preview_stamps(p.folder, "");
    std::string error;
    if (!preview_load(&p, &error)) {
        std::fprintf(stderr, "bvtool: preview: %s\n", error.c_str());
        SDL_Quit();
        return 2;
    }
    p.stamps = preview_stamps(p.folder, p.music_path);
    preview_strip_stale(&p.strip, p.folder);
    say("loaded %s in %.2f s; the timeline ends at %s\n", p.folder.c_str(),
        (SDL_GetTicks() - started) / 1000.0, tool_time_document(p.end_time).c_str());
    p.base_tick = SDL_GetTicks();
    preview_music_follow(&p, 0);

    bool quit = false, reloaded = false;
    fs::file_time_type saved = fs::file_time_type::min();
    uint32_t last_watch = SDL_GetTicks(), last_status = 0, last_frame = 0;
    p.fps_tick = SDL_GetTicks();
    while (!quit) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) quit = true;
            std::string strip_said;
            if (event.type == SDL_KEYDOWN &&
                preview_strip_key(&p.strip, event.key.keysym.sym, p.win.screen.width, p.win.screen.height,
                                  &strip_said))
                say("%s\n", strip_said.c_str());
            else if (event.type == SDL_KEYDOWN)
                preview_key(&p, event.key.keysym, &quit);
            double seek_ms = 0;
            if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT &&
                preview_strip_click(&p.strip, event.button.x, event.button.y, &seek_ms))
                preview_seek(&p, seek_ms);
        }
        uint32_t tick = SDL_GetTicks();
        if (tick - last_watch >= kWatchIntervalMs) {
            last_watch = tick;
            std::vector<FileStamp> stamps = preview_stamps(p.folder, p.music_path);
            if (!(stamps == p.stamps)) {
                saved = preview_newest_change(p.stamps, stamps);
                p.stamps = stamps;
                // The demo stands still while it loads, and goes on from the same time.
                uint32_t at = preview_time(p);
                preview_music_silence();
                uint32_t load_start = SDL_GetTicks();
                if (preview_load(&p, &error)) {
                    p.error.clear();
                    preview_strip_stale(&p.strip, p.folder);
                    p.base_ms = std::min(at, preview_end_ms(p));
                    reloaded = true;
                    say("reloaded at %s in %.2f s\n", tool_time_demo(uint32_t(p.base_ms)).c_str(),
                        (SDL_GetTicks() - load_start) / 1000.0);
                } else {
                    p.error = error;
                    p.base_ms = at;
                    std::fprintf(stderr, "bvtool: preview: reload failed: %s\n", error.c_str());
                    say("reload failed at %s\n", tool_time_demo(at).c_str());
                }
                p.stamps = preview_stamps(p.folder, p.music_path);
                p.base_tick = SDL_GetTicks();
                preview_music_follow(&p, preview_time(p));
            }
        }
        uint32_t ms = preview_time(p);
        if (p.looping && ms >= p.loop_end) {
            preview_seek(&p, p.loop_begin);
            ms = preview_time(p);
        } else if (!p.paused && ms >= preview_end_ms(p)) {
            preview_pause(&p, true);
            p.base_ms = preview_end_ms(p);
            ms = preview_time(p);
        }
        tool_scene_clear_window();
        p.drawn = render::render_at_time(p.scene, ms / 10, static_cast<uint16_t>(p.win.screen.width),
                                         static_cast<uint16_t>(p.win.screen.height), p.win.viewport,
                                         p.win.caps, p.win.glsl);
        preview_strip_draw(&p.strip, p.scene, p.win.screen.width, p.win.screen.height, ms);
        draw_overlay(p, ms);
        player::gl_window_swap();
        p.frames++;
        if (reloaded) {
            reloaded = false;
            double after = std::chrono::duration<double>(fs::file_time_type::clock::now() - saved).count();
            if (saved != fs::file_time_type::min())
                say("reloaded frame shown %.3f s after the save\n", after);
        }
        tick = SDL_GetTicks();
        if (tick - p.fps_tick >= 1000) {
            p.fps = p.frames * 1000 / (tick - p.fps_tick);
            p.frames = 0;
            p.fps_tick = tick;
        }
        if (tick - last_status >= kStatusIntervalMs) {
            last_status = tick;
            say("time %s\n", tool_time_demo(ms).c_str());
        }
        if (tick - last_frame < kFrameMs) SDL_Delay(kFrameMs - (tick - last_frame));
        last_frame = SDL_GetTicks();
    }
    preview_strip_close(&p.strip);
    if (g_audio.open) {
        SDL_CloseAudio();
        music::music_stream_close(g_audio.stream);
        g_audio = PreviewAudio{};
    }
    if (p.scene) {
        scene::scene_delete_gl_objects(p.scene);
        scene::scene_release(p.scene);
        p.scene = nullptr;
    }
    SDL_Quit();
    return 0;
}

} // namespace tools
