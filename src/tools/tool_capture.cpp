// bvtool capture: every frame of a span of the demo at exact frame times (the demo clock is the
// frame number, never the wall clock), as PNG files or one Y4M stream, and the music of the same
// span as the player hands it to the audio device, so that a video muxed from them is in sync.
#include "tools/bvtool.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include "music/music_ring.h"
#include "music/music_stream.h"
#include "player/platform/platform.h"
#include "resources/file_util.h"
#include "render/frame.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
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

void put_u32(FILE *f, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}
void put_u16(FILE *f, uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

// The device's byte stream: the silence the ring starts with, then the decoded music (silence
// after its end). Reads sequentially; `position` is the next byte.
struct DeviceStream {
    music::MusicStream *music;
    uint64_t position;
};

void device_read(DeviceStream *d, uint8_t *out, uint32_t bytes) {
    while (bytes > 0) {
        if (d->position < music::kLeadingSilence) {
            uint32_t n = std::min<uint64_t>(bytes, music::kLeadingSilence - d->position);
            std::memset(out, 0, n);
            out += n, bytes -= n, d->position += n;
            continue;
        }
        // The decoder is asked for whole stereo frames, as the ring's chunks ask for them.
        uint32_t values = bytes / 2;
        uint32_t got =
            d->music ? music::music_stream_decode(d->music, reinterpret_cast<int16_t *>(out), values) : 0;
        if (got < values) std::memset(out + got * 2, 0, size_t(values - got) * 2);
        d->position += bytes;
        return;
    }
}

// Writes the span [from, to) of demo time as 44.1 kHz 16-bit stereo: silence before the music
// starts, then the device's stream from its first byte at the music offset.
bool write_audio(const std::string &path, const ToolScene &ts, const char *package, uint32_t from_ms,
                 uint32_t to_ms, std::string *note) {
    music::MusicStream *stream = nullptr;
    if (!ts.music_file.empty()) {
        // The player looks in its working folder; a capture also looks beside the package.
        std::string dir = std::filesystem::path(package).parent_path().string();
        for (const char *folder : {dir.c_str(), ""}) {
            FILE *f = music::music_file_open(folder, ts.music_file.c_str());
            if (!f) continue;
            music::MusicOpen opened;
            stream = music::music_stream_open(f, &opened);
            if (stream) break;
            std::fclose(f);
        }
        if (!stream)
            *note = "the music file " + ts.music_file + " was not found, not allowed or not decodable";
    } else {
        *note = "the demo has no music";
    }
    // Frames are counted from the music offset: frame k of the device plays at offset + k / 44.1 ms.
    // Both ends are counted from the offset, so spans captured back to back join without a lost or
    // repeated frame.
    auto device_frame = [&](uint32_t ms) {
        int64_t tenths = (int64_t(ms) - int64_t(ts.music_offset)) * 441;
        return tenths >= 0 ? tenths / 10 : -((-tenths + 9) / 10);
    };
    int64_t first = device_frame(from_ms);
    uint64_t frames = uint64_t(std::max<int64_t>(0, device_frame(to_ms) - first));
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        music::music_stream_close(stream);
        return false;
    }
    uint32_t data_bytes = static_cast<uint32_t>(std::min<uint64_t>(frames * 4, 0xFFFFFFF0u));
    std::fwrite("RIFF", 1, 4, f);
    put_u32(f, 36 + data_bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put_u32(f, 16);
    put_u16(f, 1);
    put_u16(f, 2);
    put_u32(f, 44100);
    put_u32(f, 44100 * 4);
    put_u16(f, 4);
    put_u16(f, 16);
    std::fwrite("data", 1, 4, f);
    put_u32(f, data_bytes);
    DeviceStream device = {stream, 0};
    std::vector<uint8_t> buffer(16384);
    int64_t k = first;
    uint64_t written = 0;
    while (written < data_bytes / 4) {
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(buffer.size() / 4, data_bytes / 4 - written));
        if (k < 0) {
            // Before the music starts: the lead-in is silent.
            n = static_cast<uint32_t>(std::min<int64_t>(n, -k));
            std::memset(buffer.data(), 0, size_t(n) * 4);
        } else {
            // Skip to the device frame k (only at the start of a span that begins after the offset).
            while (device.position < uint64_t(k) * 4) {
                uint32_t skip = static_cast<uint32_t>(
                    std::min<uint64_t>(buffer.size(), uint64_t(k) * 4 - device.position));
                device_read(&device, buffer.data(), skip);
            }
            device_read(&device, buffer.data(), n * 4);
        }
        std::fwrite(buffer.data(), 4, n, f);
        written += n;
        k += n;
    }
    music::music_stream_close(stream);
    bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
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

} // namespace

int tool_capture(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::printf(
            "usage: bvtool capture PKG OUTDIR [--fps 60|30|60000/1001] [--size WxH] [--from T] [--to T]\n"
            "                      [--combiners] [--y4m]\n"
            "Renders every frame of the span from demo time --from (default the start) to before --to\n"
            "(default the demo's end) at exact frame times into OUTDIR/frame_NNNNNN.png, or\n"
            "OUTDIR/video.y4m with --y4m (even sizes only), and writes the music of the same span as\n"
            "OUTDIR/audio.wav: 44.1 kHz 16-bit stereo, the samples the player hands to the audio\n"
            "device. Prints the span captured (\"10.00 s (1000)\": seconds, and the hundredths a\n"
            "document counts in) and the ffmpeg command that muxes the files. Needs no audio device.\n"
            "The music file is looked for beside the package (or under music/).\n"
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
    std::error_code ec;
    std::filesystem::create_directories(o.outdir, ec);
    if (!std::filesystem::is_directory(o.outdir, ec)) return tool_fail("capture: cannot make %s", o.outdir);
    ToolScene ts;
    if (!tool_scene_open("capture", o.scene, &ts)) return ts.exit_status;
    if (!o.has_to) {
        uint32_t end = 0;
        for (const scene::LayerSlot &slot : ts.demo->slots)
            end = std::max(end, slot.end_time);
        o.to_ms = end * 10 + 10;
    }
    if (o.to_ms <= o.from_ms) {
        tool_scene_close(&ts);
        return tool_fail("capture: --from %s lies at or past the demo's end, %s",
                         tool_time_demo(o.from_ms).c_str(), tool_time_demo(o.to_ms).c_str());
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
    uint64_t frames_total =
        (uint64_t(o.to_ms - o.from_ms) * o.fps_num + 1000ull * o.fps_den - 1) / (1000ull * o.fps_den);
    auto start = std::chrono::steady_clock::now();
    uint64_t n = 0;
    int status = 0;
    for (; n < frames_total; n++) {
        uint32_t t = frame_time(o, n);
        tool_scene_clear_window();
        if (tool_scene_render(&ts, t) == 0) break; // the timeline has ended
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds - last_swap >= kSwapEverySeconds) {
            player::gl_window_swap();
            last_swap = seconds;
        }
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
    if (status == 0 &&
        !write_audio((out / "audio.wav").string(), ts, o.scene.package, o.from_ms, span_end, &note))
        status = tool_fail("capture: cannot write audio.wav");
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
