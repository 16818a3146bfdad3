// bvtool capture: every frame of a span of the demo at exact frame times (the demo clock is the
// frame number, never the wall clock), as PNG files or one Y4M stream beside the music of the same
// span as the player hands it to the audio device, or both encoded straight into one video file.
#include "tools/bvtool.h"
#include "tools/tool_capture_sound.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"
#include "tools/tool_video.h"

#include "player/platform/platform.h"
#include "resources/file_util.h"
#include "render/frame.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace tools {

namespace {

struct CaptureOptions {
    ToolSceneOptions scene = {nullptr, 1280, 720, false, false, nullptr, nullptr};
    const char *outdir = nullptr;
    uint32_t fps_num = 60, fps_den = 1;
    uint32_t from_ms = 0, to_ms = 0;
    bool has_to = false;
    bool y4m = false;
    int quality = kVideoQualityDefault;
    bool has_quality = false;
};

bool parse_fps(const char *text, CaptureOptions *o) {
    if (std::strcmp(text, "60") == 0)
        o->fps_num = 60, o->fps_den = 1;
    else if (std::strcmp(text, "30") == 0)
        o->fps_num = 30, o->fps_den = 1;
    else if (std::strcmp(text, "60000/1001") == 0)
        o->fps_num = 60000, o->fps_den = 1001;
    else
        return false;
    return true;
}

// False on bad arguments; *bad_time is then the time option that is not a time ("--to 1.5x"), if any.
bool parse(int argc, char **argv, CaptureOptions *o, std::string *bad_time) {
    for (int i = 1; i < argc; i++) {
        int used = tool_scene_parse_option(argc, argv, i, &o->scene, false);
        if (used < 0) return false;
        if (used > 0) {
            i += used - 1;
            continue;
        }
        const char *a = argv[i];
        bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--fps") == 0 && has_value) {
            if (!parse_fps(argv[++i], o)) return false;
        } else if ((std::strcmp(a, "--from") == 0 || std::strcmp(a, "--to") == 0) && has_value) {
            bool from = a[2] == 'f';
            if (!tool_time_parse(argv[++i], from ? &o->from_ms : &o->to_ms)) {
                *bad_time = std::string(a) + " " + argv[i];
                return false;
            }
            if (!from) o->has_to = true;
        } else if (std::strcmp(a, "--y4m") == 0) {
            o->y4m = true;
        } else if (std::strcmp(a, "--quality") == 0 && has_value) {
            char *end = nullptr;
            long q = std::strtol(argv[++i], &end, 10);
            if (!end || *end || q < kVideoQualityMin || q > kVideoQualityMax) return false;
            o->quality = int(q);
            o->has_quality = true;
        } else if (a[0] != '-' && !o->outdir) {
            o->outdir = a;
        } else {
            return false;
        }
    }
    return o->outdir && tool_scene_options_valid(o->scene) && (!o->has_to || o->to_ms > o->from_ms) &&
           (!o->y4m || (o->scene.width % 2 == 0 && o->scene.height % 2 == 0));
}

// Demo time of frame n in ms, exact: from + n x 1000 x den / num, rounded down.
uint32_t frame_time(const CaptureOptions &o, uint64_t n) {
    return static_cast<uint32_t>(o.from_ms + n * 1000u * o.fps_den / o.fps_num);
}

// RGB rows (bottom to top, as GL reads them) to one 4:2:0 Y4M frame, full-range BT.601. False when
// the stream could not take it.
bool y4m_frame(FILE *f, const uint8_t *rgb, int w, int h, std::vector<uint8_t> *planes) {
    planes->resize(size_t(w) * h * 3 / 2);
    uint8_t *y = planes->data(), *u = y + size_t(w) * h, *v = u + size_t(w / 2) * (h / 2);
    auto px = [&](int x, int row) { return rgb + (size_t(h - 1 - row) * w + x) * 3; };
    for (int row = 0; row < h; row++)
        for (int x = 0; x < w; x++) {
            const uint8_t *p = px(x, row);
            y[size_t(row) * w + x] = uint8_t(std::lround(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]));
        }
    for (int row = 0; row < h / 2; row++)
        for (int x = 0; x < w / 2; x++) {
            double r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    const uint8_t *p = px(2 * x + dx, 2 * row + dy);
                    r += p[0], g += p[1], b += p[2];
                }
            r /= 4, g /= 4, b /= 4;
            u[size_t(row) * (w / 2) + x] =
                uint8_t(std::clamp(std::lround(128 - 0.168736 * r - 0.331264 * g + 0.5 * b), 0L, 255L));
            v[size_t(row) * (w / 2) + x] =
                uint8_t(std::clamp(std::lround(128 + 0.5 * r - 0.418688 * g - 0.081312 * b), 0L, 255L));
        }
    return std::fputs("FRAME\n", f) >= 0 &&
           std::fwrite(planes->data(), 1, planes->size(), f) == planes->size();
}

// Compresses frame N into its PNG file on a second thread while the main thread renders frame
// N + 1: PNG compression costs as much as drawing a frame. Frames are written one at a time, in
// order; the main thread hands over a frame once the writer has finished the one before.
struct PngWriter {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> pixels; // the frame being written: RGB rows bottom to top, as GL reads them
    std::string path;
    int w = 0, h = 0;
    bool busy = false, stop = false;
    std::string failed; // the first file that could not be written
    std::thread thread;
};

void png_writer_run(PngWriter *wr) {
    std::unique_lock<std::mutex> lock(wr->mutex);
    for (;;) {
        wr->changed.wait(lock, [wr] { return wr->busy || wr->stop; });
        if (!wr->busy) return;
        lock.unlock();
        long stride = long(wr->w) * 3;
        bool ok = tool_png_write(wr->path.c_str(), wr->w, wr->h, 3, wr->pixels.data() + (wr->h - 1) * stride,
                                 -stride);
        lock.lock();
        if (!ok && wr->failed.empty()) wr->failed = wr->path;
        wr->busy = false;
        wr->changed.notify_all();
    }
}

void png_writer_start(PngWriter *wr, int w, int h) {
    wr->w = w;
    wr->h = h;
    wr->thread = std::thread(png_writer_run, wr);
}

// Waits for the frame before, then takes *pixels (leaving the writer's old buffer in its place) to
// write to path. False, taking nothing, once a write has failed.
bool png_writer_put(PngWriter *wr, std::vector<uint8_t> *pixels, const std::string &path) {
    std::unique_lock<std::mutex> lock(wr->mutex);
    wr->changed.wait(lock, [wr] { return !wr->busy; });
    if (!wr->failed.empty()) return false;
    wr->pixels.swap(*pixels);
    pixels->resize(wr->pixels.size());
    wr->path = path;
    wr->busy = true;
    wr->changed.notify_all();
    return true;
}

// Waits for the last frame and ends the thread; returns the name of the first file that could not
// be written, or "".
std::string png_writer_finish(PngWriter *wr) {
    {
        std::unique_lock<std::mutex> lock(wr->mutex);
        wr->changed.wait(lock, [wr] { return !wr->busy; });
        wr->stop = true;
        wr->changed.notify_all();
    }
    wr->thread.join();
    return wr->failed;
}

// The window shows the frames as they are captured, four times a second: a buffer swap may wait
// for the display's refresh, and capture must run as fast as it can draw.
constexpr double kSwapEverySeconds = 0.25;
constexpr double kProgressEverySeconds = 0.25;

// Frames of the span [from, to), the last one starting before `to`.
uint64_t frames_in_span(const CaptureOptions &o) {
    return (uint64_t(o.to_ms - o.from_ms) * o.fps_num + 1000ull * o.fps_den - 1) / (1000ull * o.fps_den);
}

// Takes the demo's end as the span's end when none was given; false (with the message printed)
// when the span is empty.
bool capture_span(CaptureOptions *o, const ToolScene &ts) {
    if (!o->has_to) {
        uint32_t end = 0;
        for (const scene::LayerSlot &slot : ts.demo->slots)
            end = std::max(end, slot.end_time);
        o->to_ms = end * 10 + 10;
    }
    if (o->to_ms > o->from_ms) return true;
    tool_fail("capture: --from %s lies at or past the demo's end, %s", tool_time_demo(o->from_ms).c_str(),
              tool_time_demo(o->to_ms).c_str());
    return false;
}

// Draws frame n of the span into pixels (RGB rows bottom to top); false when the timeline has
// ended before it. Shows it in the window now and then.
bool capture_draw(ToolScene *ts, const CaptureOptions &o, uint64_t n, std::vector<uint8_t> *pixels,
                  double seconds, double *last_swap) {
    tool_scene_clear_window();
    if (tool_scene_render(ts, frame_time(o, n)) == 0) return false;
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, o.scene.width, o.scene.height, GL_RGB, GL_UNSIGNED_BYTE, pixels->data());
    if (seconds - *last_swap >= kSwapEverySeconds) {
        player::gl_window_swap();
        *last_swap = seconds;
    }
    return true;
}

// What OUT names: -1 a folder (PNG frames or a Y4M stream, with the WAV), else the video container
// its extension asks for; -2 an extension that is none of them. A name without an extension, or
// one of an existing folder, is a folder.
int capture_container(const char *out) {
    std::error_code ec;
    std::filesystem::path path = out;
    std::string extension = path.extension().string();
    if (extension.empty() || std::filesystem::is_directory(path, ec)) return -1;
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < int(sizeof kVideoContainers / sizeof kVideoContainers[0]); i++)
        if (extension == kVideoContainers[i].extension) return i;
    return -2;
}

// Ctrl-C during a video capture ends it after the frame in hand, and the file is finished with
// what was encoded; a second Ctrl-C ends the program at once.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void capture_on_interrupt(int) {
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// One line on standard error, redrawn: frames encoded, frames a second, the time left.
void show_progress(uint64_t done, uint64_t total, double seconds) {
    double rate = done / std::max(seconds, 1e-6);
    double left = done ? double(total - std::min(done, total)) / rate : 0;
    std::fprintf(stderr, "\rframe %llu of %llu, %.1f frames a second, %.0f s left   ",
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), rate, left);
    std::fflush(stderr);
}

// Renders the span and hands every frame with its sound to the encoder. Returns the exit status.
int capture_video(CaptureOptions &o, int container) {
    VideoSettings settings = {container, o.scene.width, o.scene.height, o.fps_num, o.fps_den, o.quality};
    std::string error;
    // The encoders are asked first: a size they refuse or a folder that cannot be written is
    // reported before the demo loads, and leaves nothing behind.
    VideoOut *video = video_open(o.outdir, settings, &error);
    if (!video) {
        tool_fail("capture: %s", error.c_str());
        return 2;
    }
    g_interrupted = 0;
    auto previous = std::signal(SIGINT, capture_on_interrupt); // SDL keeps a handler it finds in place
    ToolScene ts;
    if (!tool_scene_open("capture", o.scene, &ts)) {
        video_discard(video);
        std::signal(SIGINT, previous);
        return ts.exit_status;
    }
    if (!capture_span(&o, ts)) {
        video_discard(video);
        tool_scene_close(&ts);
        std::signal(SIGINT, previous);
        return 2;
    }
    std::string note;
    CaptureSound *sound = capture_sound_open(ts, o.scene.package, o.from_ms, &note);
    bool terminal = player::platform_is_terminal(stderr);
    std::vector<uint8_t> pixels(size_t(o.scene.width) * o.scene.height * 3);
    std::vector<int16_t> samples;
    uint64_t total = frames_in_span(o), n = 0;
    double last_swap = -kSwapEverySeconds, last_progress = -kProgressEverySeconds;
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    bool failed = false;
    for (; n < total && !g_interrupted; n++) {
        if (!capture_draw(&ts, o, n, &pixels, elapsed(), &last_swap)) break; // the timeline has ended
        // The frame's sound lasts until the next frame starts, so the sound ends with the span.
        uint32_t frames = static_cast<uint32_t>(capture_sound_frames_to(sound, frame_time(o, n + 1)));
        samples.resize(size_t(frames) * 2);
        capture_sound_read(sound, samples.data(), frames);
        if (!video_put(video, &pixels, samples.data(), frames)) {
            failed = true; // video_finish says why
            break;
        }
        double seconds = elapsed();
        uint64_t done = video_frames_done(video);
        if (terminal && done > 0 && seconds - last_progress >= kProgressEverySeconds) {
            show_progress(done, total, seconds);
            last_progress = seconds;
        }
    }
    capture_sound_close(sound);
    tool_scene_close(&ts);
    bool interrupted = g_interrupted != 0;
    int status = 0;
    if (n == 0 && !failed) {
        video_discard(video);
        if (!interrupted) status = tool_fail("capture: nothing is drawn at %u ms", o.from_ms);
    } else if (!video_finish(video, &error)) {
        if (terminal) std::fputc('\n', stderr);
        tool_fail("capture: %s", error.c_str());
        status = 2;
    } else {
        if (terminal) {
            show_progress(n, n, elapsed()); // every frame is in the file now
            std::fputc('\n', stderr);
        }
        double seconds = elapsed();
        double length = double(n) * o.fps_den / o.fps_num;
        std::printf("%llu frames (%.1f frames a second), %s of video in %s%s%s\n",
                    static_cast<unsigned long long>(n), n / std::max(seconds, 1e-6),
                    seconds_text(length).c_str(), o.outdir, note.empty() ? "" : "; ", note.c_str());
    }
    std::fflush(stdout);
    if (!interrupted) {
        std::signal(SIGINT, previous);
        return status;
    }
    if (status == 0)
        std::fprintf(stderr, "bvtool: capture: interrupted; %s\n",
                     n ? "the file holds the frames captured until then" : "nothing was written");
    // Ended by the interrupt, as the shell that sent it expects.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return 130;
}

} // namespace

int tool_capture(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::printf(
            "usage: bvtool capture PKG OUTDIR [--fps 60|30|60000/1001] [--size WxH] [--from T] [--to T]\n"
            "                      [--combiners] [--y4m]\n"
            "       bvtool capture PKG OUT.mp4|OUT.webm|OUT.mkv [--fps ...] [--size WxH] [--from T]\n"
            "                      [--to T] [--combiners] [--quality 1..100]\n"
            "Renders every frame of the span (default: the whole demo) at exact frame times, with the\n"
            "music of the same span: 44.1 kHz 16-bit stereo, the samples the player hands to the audio\n"
            "device, in sync from the first frame. Needs no audio device. The music file is looked\n"
            "for beside the package (or under music/).\n"
            "Into a folder: OUTDIR/frame_NNNNNN.png, or OUTDIR/video.y4m with --y4m (even sizes only),\n"
            "and OUTDIR/audio.wav; prints the ffmpeg command that muxes them.\n"
            "Into a video file, by its extension: .mp4 (H.264 and AAC, plays in browsers), .webm (VP9\n"
            "and Opus) or .mkv (H.264 and AAC); the picture is 4:2:0 and BT.709 (H.264 takes even sizes\n"
            "only). --quality sets the picture's (default 75; higher is closer to the rendered frames\n"
            "and larger). A line of progress shows on a terminal. Ctrl-C stops and finishes the file\n"
            "with what was captured.\n"
            "The file is written under OUT.partial and takes its name when complete.\n"
            "Prints the span captured (\"10.00 s (1000)\": seconds, and the hundredths a document counts in).\n"
            "Times T are in %s.\n",
            kTimeOptionForms);
        return 0;
    }
    CaptureOptions o;
    std::string bad_time;
    if (!parse(argc, argv, &o, &bad_time)) {
        if (!bad_time.empty())
            return tool_fail("capture: %s is not a time: give %s", bad_time.c_str(), kTimeOptionForms);
        return tool_fail("capture: bad arguments (see bvtool capture --help)");
    }
    int container = capture_container(o.outdir);
    if (container == -2) {
        std::string known;
        constexpr int kinds = int(sizeof kVideoContainers / sizeof kVideoContainers[0]);
        for (int i = 0; i < kinds; i++)
            known += std::string(i == 0 ? "" : i + 1 < kinds ? ", " : " or ") + kVideoContainers[i].extension;
        tool_fail("capture: %s: unknown kind of video (%s; a name without one is a folder)", o.outdir,
                  known.c_str());
        return 2;
    }
    if (container >= 0) {
        if (o.y4m) return tool_fail("capture: --y4m writes into a folder (see bvtool capture --help)");
        return capture_video(o, container);
    }
    if (o.has_quality) return tool_fail("capture: --quality is for video files (see bvtool capture --help)");
    std::error_code ec;
    std::filesystem::create_directories(o.outdir, ec);
    if (!std::filesystem::is_directory(o.outdir, ec)) return tool_fail("capture: cannot make %s", o.outdir);
    ToolScene ts;
    if (!tool_scene_open("capture", o.scene, &ts)) return ts.exit_status;
    if (!capture_span(&o, ts)) {
        tool_scene_close(&ts);
        return 2;
    }
    int w = o.scene.width, h = o.scene.height;
    std::filesystem::path out = o.outdir;
    FILE *video = nullptr;
    if (o.y4m) {
        video = std::fopen((out / "video.y4m").string().c_str(), "wb");
        if (!video) {
            tool_scene_close(&ts);
            return tool_fail("capture: cannot write %s", (out / "video.y4m").string().c_str());
        }
        std::fprintf(video, "YUV4MPEG2 W%d H%d F%u:%u Ip A1:1 C420jpeg\n", w, h, o.fps_num, o.fps_den);
    }
    bool terminal = player::platform_is_terminal(stdout);
    std::vector<uint8_t> pixels(size_t(w) * h * 3), planes;
    PngWriter writer;
    if (!video) png_writer_start(&writer, w, h);
    double last_swap = -kSwapEverySeconds;
    uint64_t frames_total = frames_in_span(o);
    auto start = std::chrono::steady_clock::now();
    uint64_t n = 0;
    int status = 0;
    for (; n < frames_total; n++) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!capture_draw(&ts, o, n, &pixels, seconds, &last_swap)) break; // the timeline has ended
        if (video) {
            if (!y4m_frame(video, pixels.data(), w, h, &planes)) {
                status = tool_fail("capture: cannot write video.y4m");
                break;
            }
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(n));
            if (!png_writer_put(&writer, &pixels, (out / name).string())) break; // reported below
        }
        if (terminal) {
            std::printf("\rframe %llu of %llu (%.1f frames a second)", static_cast<unsigned long long>(n + 1),
                        static_cast<unsigned long long>(frames_total), (n + 1) / std::max(seconds, 1e-6));
            std::fflush(stdout);
        }
    }
    if (terminal) std::printf("\n");
    if (!video) {
        std::string failed = png_writer_finish(&writer);
        if (!failed.empty() && status == 0)
            status = tool_fail("capture: cannot write %s",
                               std::filesystem::path(failed).filename().string().c_str());
    }
    if (video) {
        bool written = std::ferror(video) == 0;
        if ((std::fclose(video) != 0 || !written) && status == 0)
            status = tool_fail("capture: cannot write video.y4m");
    }
    if (n == 0 && status == 0)
        status = tool_fail("capture: nothing is drawn at %s", tool_time_demo(o.from_ms).c_str());
    // The sound covers exactly the frames written.
    uint32_t span_end = n ? frame_time(o, n) : o.from_ms;
    std::string note;
    if (status == 0) {
        CaptureSound *sound = capture_sound_open(ts, o.scene.package, o.from_ms, &note);
        if (!capture_sound_write_wav(sound, (out / "audio.wav").string(), span_end))
            status = tool_fail("capture: cannot write audio.wav");
        capture_sound_close(sound);
    }
    tool_scene_close(&ts);
    if (status != 0) return status;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu frames from %s to %s in %s (%.1f frames a second)%s%s\n",
                static_cast<unsigned long long>(n), tool_time_demo(o.from_ms).c_str(),
                tool_time_demo(span_end).c_str(), tool_time_seconds(seconds, 1).c_str(),
                n / std::max(seconds, 1e-6), note.empty() ? "" : "; ", note.c_str());
    std::string rate = std::to_string(o.fps_num) + (o.fps_den == 1 ? "" : "/" + std::to_string(o.fps_den));
    if (o.y4m)
        std::printf("mux: ffmpeg -i %s -i %s -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest demo.mp4\n",
                    (out / "video.y4m").string().c_str(), (out / "audio.wav").string().c_str());
    else
        std::printf("mux: ffmpeg -framerate %s -i %s -i %s -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "
                    "demo.mp4\n",
                    rate.c_str(), (out / "frame_%06d.png").string().c_str(),
                    (out / "audio.wav").string().c_str());
    return 0;
}

} // namespace tools
