// Video files through the FFmpeg libraries: libswscale turns the frames into BT.709 limited-range
// 4:2:0, libswresample the sound into the audio encoder's format and rate, libavcodec encodes
// (x264, libvpx, FFmpeg's AAC, libopus) and libavformat writes the container.
#include "tools/tool_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace tools {

namespace {

constexpr int kQueueLength = 3; // frames handed over and not yet encoded: enough to even out the two sides
constexpr int kAacBitRate = 192000;
constexpr int kOpusBitRate = 128000;
constexpr int kOpusRate = 48000; // Opus runs at 48 kHz; the music is resampled from 44.1
constexpr int kSoundRate = 44100;

// The encoders' speed settings: an MP4 capture at 640 x 360 and 60 frames a second runs faster
// than real time beside the rendering on two cores (bench/capture_video.py). libvpx's "good"
// deadline makes VP9 files a third smaller than its real-time mode at the same quality, but takes
// ten times as long, which at 1920 x 1080 means an hour for the sample demo.
constexpr const char *kX264Preset = "veryfast";
constexpr const char *kVp9Deadline = "realtime";
constexpr int kVp9CpuUsed = 6;

// Quality 1..100 to the encoders' constant-quality scales (lower is better): x264's rate factor
// 51..7, 75 giving 18, where its frames are hard to tell from the source; VP9's quantiser ten
// steps higher (75 gives 28, some 1.5 dB further from the sample's frames than x264's 18, where
// the real-time mode's files would otherwise be twice the size).
int x264_rate_factor(int quality) {
    return 51 - (quality * 44 + 50) / 100;
}
int vp9_quantiser(int quality) {
    return std::min(63, x264_rate_factor(quality) + 10);
}

// The libraries' own messages are not printed (they would break the progress line); the last
// error among them is kept for the line a failure prints.
std::mutex g_log_mutex;
char g_last_error[256];

void video_log(void *, int level, const char *format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    std::lock_guard<std::mutex> lock(g_log_mutex);
    std::vsnprintf(g_last_error, sizeof g_last_error, format, args);
    size_t n = std::strlen(g_last_error);
    while (n > 0 &&
           (g_last_error[n - 1] == '\n' || g_last_error[n - 1] == '\r' || g_last_error[n - 1] == ' '))
        g_last_error[--n] = '\0';
}

void clear_last_error() {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_last_error[0] = '\0';
}

// The libraries' last error message, or the text of the error code when they logged none.
std::string reason(int code) {
    {
        std::lock_guard<std::mutex> lock(g_log_mutex);
        if (g_last_error[0]) return g_last_error;
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

struct VideoJob {
    std::vector<uint8_t> pixels;
    std::vector<int16_t> sound;
};

} // namespace

struct VideoOut {
    std::string path, partial;
    VideoSettings settings;
    const VideoContainerKind *kind = nullptr;
    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr, *audio = nullptr;
    AVStream *video_stream = nullptr, *audio_stream = nullptr;
    SwsContext *scaler = nullptr;
    SwrContext *resampler = nullptr;
    AVAudioFifo *fifo = nullptr;
    AVFrame *picture = nullptr, *samples = nullptr;
    AVPacket *packet = nullptr;
    AVPacket *held = nullptr; // the last video packet, written when the next comes or at the end
    bool holding = false;
    uint8_t **converted = nullptr; // the resampler's output, in the audio encoder's format
    int converted_capacity = 0;
    int64_t next_picture = 0, next_sample = 0; // in the encoders' time bases
    uint64_t sound_frames = 0;                 // 44.1 kHz frames received
    bool file_open = false;

    std::mutex mutex;
    std::condition_variable changed;
    VideoJob jobs[kQueueLength];
    int head = 0, count = 0;
    bool stop = false;
    std::string failed; // the first failure: nothing more is encoded after it
    std::atomic<uint64_t> done{0};
    std::thread thread;
};

namespace {

void video_free(VideoOut *v) {
    avcodec_free_context(&v->video);
    avcodec_free_context(&v->audio);
    sws_freeContext(v->scaler);
    swr_free(&v->resampler);
    if (v->fifo) av_audio_fifo_free(v->fifo);
    av_frame_free(&v->picture);
    av_frame_free(&v->samples);
    av_packet_free(&v->packet);
    av_packet_free(&v->held);
    if (v->converted) av_freep(&v->converted[0]);
    av_freep(&v->converted);
    if (v->format) {
        if (v->format->pb) avio_closep(&v->format->pb);
        avformat_free_context(v->format);
    }
    if (v->file_open) {
        std::error_code ec;
        std::filesystem::remove(v->partial, ec);
    }
    delete v;
}

std::string size_text(const VideoSettings &s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

bool open_video_encoder(VideoOut *v, bool global_header, std::string *error) {
    const VideoContainerKind &kind = *v->kind;
    const VideoSettings &s = v->settings;
    const AVCodec *codec = avcodec_find_encoder_by_name(kind.video_encoder);
    if (!codec) {
        *error = std::string("this system's libavcodec has no ") + kind.video_name + " encoder (" +
                 kind.video_encoder + ")";
        return false;
    }
    AVCodecContext *c = v->video = avcodec_alloc_context3(codec);
    if (!c) return false;
    c->width = s.width;
    c->height = s.height;
    c->time_base = AVRational{int(s.fps_den), int(s.fps_num)};
    c->framerate = AVRational{int(s.fps_num), int(s.fps_den)};
    c->sample_aspect_ratio = AVRational{1, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_BT709;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
    c->thread_count = 0; // the encoder's own choice for this machine
    if (global_header) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary *options = nullptr;
    switch (s.container) {
    case VIDEO_MP4:
    case VIDEO_MKV:
        av_dict_set(&options, "preset", kX264Preset, 0);
        av_dict_set(&options, "profile", "high", 0);
        av_dict_set_int(&options, "crf", x264_rate_factor(s.quality), 0);
        break;
    case VIDEO_WEBM:
        c->bit_rate = 0; // constant quality
        av_dict_set_int(&options, "crf", vp9_quantiser(s.quality), 0);
        av_dict_set(&options, "deadline", kVp9Deadline, 0);
        av_dict_set_int(&options, "cpu-used", kVp9CpuUsed, 0);
        av_dict_set_int(&options, "row-mt", 1, 0);
        break;
    }
    clear_last_error();
    int r = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (r < 0) {
        *error = std::string(kind.video_name) + " video cannot be made at " + size_text(s) + ": " + reason(r);
        if (s.width % 2 || s.height % 2) *error += "; 4:2:0 video needs an even width and height";
        return false;
    }
    v->picture = av_frame_alloc();
    if (!v->picture) return false;
    v->picture->format = c->pix_fmt;
    v->picture->width = s.width;
    v->picture->height = s.height;
    v->picture->color_range = c->color_range;
    v->picture->colorspace = c->colorspace;
    v->picture->color_primaries = c->color_primaries;
    v->picture->color_trc = c->color_trc;
    if (av_frame_get_buffer(v->picture, 0) < 0) return false;
    // The rendered frames are full-range RGB; the video is BT.709 with its limited range.
    v->scaler = sws_getContext(s.width, s.height, AV_PIX_FMT_RGB24, s.width, s.height, AV_PIX_FMT_YUV420P,
                               SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!v->scaler) return false;
    const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
    return sws_setColorspaceDetails(v->scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16) >= 0;
}

bool open_audio_encoder(VideoOut *v, bool global_header, std::string *error) {
    const VideoContainerKind &kind = *v->kind;
    const AVCodec *codec = avcodec_find_encoder_by_name(kind.audio_encoder);
    if (!codec) {
        *error = std::string("this system's libavcodec has no ") + kind.audio_name + " encoder (" +
                 kind.audio_encoder + ")";
        return false;
    }
    AVCodecContext *c = v->audio = avcodec_alloc_context3(codec);
    if (!c) return false;
    bool opus = v->settings.container == VIDEO_WEBM;
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    c->sample_rate = opus ? kOpusRate : kSoundRate;
    c->bit_rate = opus ? kOpusBitRate : kAacBitRate;
    c->time_base = AVRational{1, c->sample_rate};
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (av_channel_layout_copy(&c->ch_layout, &stereo) < 0) return false;
    if (global_header) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    clear_last_error();
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        *error = std::string(kind.audio_name) + " sound cannot be made: " + reason(r);
        return false;
    }
    if (swr_alloc_set_opts2(&v->resampler, &c->ch_layout, c->sample_fmt, c->sample_rate, &stereo,
                            AV_SAMPLE_FMT_S16, kSoundRate, 0, nullptr) < 0 ||
        swr_init(v->resampler) < 0)
        return false;
    int frame_size = c->frame_size > 0 ? c->frame_size : 1024;
    v->fifo = av_audio_fifo_alloc(c->sample_fmt, 2, frame_size * 2);
    v->samples = av_frame_alloc();
    if (!v->fifo || !v->samples) return false;
    v->samples->format = c->sample_fmt;
    v->samples->sample_rate = c->sample_rate;
    v->samples->nb_samples = frame_size;
    if (av_channel_layout_copy(&v->samples->ch_layout, &c->ch_layout) < 0) return false;
    return av_frame_get_buffer(v->samples, 0) >= 0;
}

bool add_stream(VideoOut *v, AVCodecContext *c, AVStream **out) {
    AVStream *st = *out = avformat_new_stream(v->format, nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, c) < 0) return false;
    st->time_base = c->time_base;
    if (c == v->video) st->avg_frame_rate = c->framerate;
    return true;
}

bool write_packet(VideoOut *v, AVPacket *p, std::string *error) {
    int r = av_interleaved_write_frame(v->format, p);
    if (r < 0) {
        *error = "cannot write " + v->path + ": " + reason(r);
        return false;
    }
    return true;
}

// Takes every packet the encoder has ready into the container. Video packets are written one
// behind, so that the last one's duration can still grow when the sound outlasts the frames.
bool drain(VideoOut *v, AVCodecContext *c, std::string *error) {
    bool video = c == v->video;
    AVStream *st = video ? v->video_stream : v->audio_stream;
    for (;;) {
        int r = avcodec_receive_packet(c, v->packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) {
            *error = std::string("the ") + (video ? v->kind->video_name : v->kind->audio_name) +
                     " encoder failed: " + reason(r);
            return false;
        }
        if (video && v->packet->duration == 0) v->packet->duration = 1; // one frame
        if (!video && v->settings.container == VIDEO_WEBM) {
            // WebM keeps Opus's times later by its encoder delay (the track's CodecDelay), which
            // players subtract; left before 0, the muxer would shift every stream and put the
            // sound that much ahead of the picture.
            v->packet->pts += c->initial_padding;
            v->packet->dts += c->initial_padding;
        }
        av_packet_rescale_ts(v->packet, c->time_base, st->time_base);
        v->packet->stream_index = st->index;
        if (!video) {
            if (!write_packet(v, v->packet, error)) return false;
            continue;
        }
        if (v->holding && !write_packet(v, v->held, error)) return false;
        av_packet_move_ref(v->held, v->packet);
        v->holding = true;
    }
}

bool send(VideoOut *v, AVCodecContext *c, AVFrame *frame, std::string *error) {
    int r = avcodec_send_frame(c, frame);
    if (r < 0) {
        *error = std::string("the ") + (c == v->video ? v->kind->video_name : v->kind->audio_name) +
                 " encoder failed: " + reason(r);
        return false;
    }
    return drain(v, c, error);
}

bool encode_picture(VideoOut *v, const uint8_t *rgb, std::string *error) {
    if (av_frame_make_writable(v->picture) < 0) {
        *error = "out of memory";
        return false;
    }
    // GL's rows run bottom to top: the scaler reads them upwards.
    int stride = v->settings.width * 3;
    const uint8_t *rows[1] = {rgb + size_t(v->settings.height - 1) * stride};
    int strides[1] = {-stride};
    sws_scale(v->scaler, rows, strides, 0, v->settings.height, v->picture->data, v->picture->linesize);
    v->picture->pts = v->next_picture++;
    return send(v, v->video, v->picture, error);
}

// Sends whole encoder frames from the queue of converted sound; with `last`, the rest too (as a
// short frame where the encoder takes one, padded with silence where it does not).
bool send_sound(VideoOut *v, bool last, std::string *error) {
    AVCodecContext *c = v->audio;
    int size = c->frame_size > 0 ? c->frame_size : 1024;
    bool short_ok =
        c->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    for (;;) {
        int queued = av_audio_fifo_size(v->fifo);
        if (queued == 0 || (queued < size && !last)) return true;
        v->samples->nb_samples = size;
        if (av_frame_make_writable(v->samples) < 0) {
            *error = "out of memory";
            return false;
        }
        int n =
            av_audio_fifo_read(v->fifo, reinterpret_cast<void **>(v->samples->data), std::min(size, queued));
        if (n < size) {
            if (short_ok)
                v->samples->nb_samples = n;
            else
                av_samples_set_silence(v->samples->data, n, size - n, 2, c->sample_fmt);
        }
        v->samples->pts = v->next_sample;
        v->next_sample += v->samples->nb_samples;
        if (!send(v, c, v->samples, error)) return false;
    }
}

// Converts sound into the queue and sends what fills whole encoder frames; with `last`, also what
// the resampler still holds and the rest of the queue.
bool encode_sound(VideoOut *v, const int16_t *sound, uint32_t frames, bool last, std::string *error) {
    int wanted = swr_get_out_samples(v->resampler, int(frames));
    if (wanted > v->converted_capacity) {
        if (v->converted) av_freep(&v->converted[0]);
        av_freep(&v->converted);
        v->converted_capacity = 0;
        if (av_samples_alloc_array_and_samples(&v->converted, nullptr, 2, wanted, v->audio->sample_fmt, 0) <
            0) {
            *error = "out of memory";
            return false;
        }
        v->converted_capacity = wanted;
    }
    const uint8_t *in[1] = {reinterpret_cast<const uint8_t *>(sound)};
    int got = wanted > 0 ? swr_convert(v->resampler, v->converted, wanted, last ? nullptr : in,
                                       last ? 0 : int(frames))
                         : 0;
    if (got < 0 ||
        (got > 0 && av_audio_fifo_write(v->fifo, reinterpret_cast<void **>(v->converted), got) < got)) {
        *error = "the sound could not be converted: " + reason(got);
        return false;
    }
    v->sound_frames += frames;
    return send_sound(v, last, error);
}

void video_run(VideoOut *v) {
    std::unique_lock<std::mutex> lock(v->mutex);
    for (;;) {
        v->changed.wait(lock, [v] { return v->count > 0 || v->stop; });
        if (v->count == 0) return;
        VideoJob &job = v->jobs[v->head];
        bool ok = v->failed.empty();
        lock.unlock();
        std::string error;
        if (ok)
            ok = encode_picture(v, job.pixels.data(), &error) &&
                 encode_sound(v, job.sound.data(), uint32_t(job.sound.size() / 2), false, &error);
        lock.lock();
        if (!ok && v->failed.empty()) v->failed = error.empty() ? "encoding failed" : error;
        if (ok) v->done++;
        v->head = (v->head + 1) % kQueueLength;
        v->count--;
        v->changed.notify_all();
    }
}

// Ends the thread after it has encoded what is queued; returns the first failure, or "".
std::string stop_thread(VideoOut *v) {
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        v->stop = true;
        v->changed.notify_all();
    }
    if (v->thread.joinable()) v->thread.join();
    return v->failed;
}

// The streams' ends and the container's index.
bool finish_file(VideoOut *v, std::string *error) {
    if (!encode_sound(v, nullptr, 0, true, error) || !send(v, v->audio, nullptr, error) ||
        !send(v, v->video, nullptr, error))
        return false;
    if (v->holding) {
        // The last frame lasts until the sound ends when the sound runs longer than the frames.
        AVRational tb = v->video_stream->time_base;
        int64_t sound_end = av_rescale_q_rnd(int64_t(v->sound_frames), AVRational{1, kSoundRate}, tb,
                                             static_cast<AVRounding>(AV_ROUND_UP));
        int64_t pictures_end = av_rescale_q(v->next_picture, v->video->time_base, tb);
        if (sound_end > pictures_end) v->held->duration += sound_end - pictures_end;
        if (!write_packet(v, v->held, error)) return false;
        v->holding = false;
    }
    int r = av_write_trailer(v->format);
    if (r >= 0) r = avio_closep(&v->format->pb);
    if (r < 0) {
        *error = "cannot write " + v->path + ": " + reason(r);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(v->partial, v->path, ec);
    if (ec) {
        *error = "cannot write " + v->path + ": " + ec.message();
        return false;
    }
    v->file_open = false;
    return true;
}

} // namespace

VideoOut *video_open(const char *path, const VideoSettings &settings, std::string *error) {
    av_log_set_callback(video_log);
    VideoOut *v = new VideoOut;
    v->path = path;
    v->partial = v->path + ".partial";
    v->settings = settings;
    v->kind = &kVideoContainers[settings.container];
    const AVOutputFormat *muxer = av_guess_format(v->kind->muxer, nullptr, nullptr);
    // The file: protocol named outright, so that a name with a colon is not taken for another one.
    std::string url = "file:" + v->partial;
    bool ok = muxer && avformat_alloc_output_context2(&v->format, muxer, nullptr, url.c_str()) >= 0;
    bool global_header = ok && (muxer->flags & AVFMT_GLOBALHEADER);
    ok = ok && open_video_encoder(v, global_header, error) && open_audio_encoder(v, global_header, error);
    v->packet = av_packet_alloc();
    v->held = av_packet_alloc();
    ok = ok && v->packet && v->held && add_stream(v, v->video, &v->video_stream) &&
         add_stream(v, v->audio, &v->audio_stream);
    if (!ok) {
        if (error->empty()) *error = "cannot set up the " + std::string(v->kind->video_name) + " encoder";
        video_free(v);
        return nullptr;
    }
    clear_last_error();
    int r = avio_open(&v->format->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) {
        *error = "cannot write " + v->path + ": " + reason(r);
        video_free(v);
        return nullptr;
    }
    v->file_open = true;
    AVDictionary *options = nullptr;
    // The index at the front, so that a browser plays the file while it downloads.
    if (settings.container == VIDEO_MP4) av_dict_set(&options, "movflags", "+faststart", 0);
    r = avformat_write_header(v->format, &options);
    av_dict_free(&options);
    if (r < 0) {
        *error = "cannot write " + v->path + ": " + reason(r);
        video_free(v);
        return nullptr;
    }
    v->thread = std::thread(video_run, v);
    return v;
}

bool video_put(VideoOut *v, std::vector<uint8_t> *pixels, const int16_t *sound, uint32_t sound_frames) {
    std::unique_lock<std::mutex> lock(v->mutex);
    v->changed.wait(lock, [v] { return v->count < kQueueLength; });
    if (!v->failed.empty()) return false;
    VideoJob &job = v->jobs[(v->head + v->count) % kQueueLength];
    job.pixels.swap(*pixels);
    pixels->resize(job.pixels.size());
    job.sound.assign(sound, sound + size_t(sound_frames) * 2);
    v->count++;
    v->changed.notify_all();
    return true;
}

uint64_t video_frames_done(VideoOut *v) {
    return v->done.load();
}

bool video_finish(VideoOut *v, std::string *error) {
    *error = stop_thread(v);
    bool ok = error->empty() && finish_file(v, error);
    video_free(v);
    return ok;
}

void video_discard(VideoOut *v) {
    if (!v) return;
    {
        std::lock_guard<std::mutex> lock(v->mutex);
        if (v->failed.empty()) v->failed = "discarded"; // nothing more is encoded
    }
    stop_thread(v);
    video_free(v);
}

} // namespace tools
