// Video files for bvtool capture: the captured frames and sound encoded and muxed into one file
// that browsers and players play. H.264 (4:2:0, limited range, tagged BT.709) with AAC in MP4 (its
// index at the front, for playing while it downloads) or Matroska; VP9 with Opus in WebM.
// Encoding runs on a thread of its own (and the encoders' threads), beside the rendering.
//
// Built from tool_video.cpp where the FFmpeg libraries are linked, from tool_video_none.cpp
// elsewhere (Windows), where video_open says that the native tool makes video.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

enum VideoContainer : uint8_t { VIDEO_MP4 = 0, VIDEO_WEBM, VIDEO_MKV };

struct VideoContainerKind {
    const char *extension;     // as a file name ends, lower case
    const char *muxer;         // libavformat's name for the container
    const char *video_encoder; // libavcodec's names for the encoders
    const char *audio_encoder;
    const char *video_name; // for people
    const char *audio_name;
};

constexpr VideoContainerKind kVideoContainers[] = {
    {".mp4", "mp4", "libx264", "aac", "H.264", "AAC"},
    {".webm", "webm", "libvpx-vp9", "libopus", "VP9", "Opus"},
    {".mkv", "matroska", "libx264", "aac", "H.264", "AAC"},
};
static_assert(sizeof(kVideoContainers) / sizeof(kVideoContainers[0]) == VIDEO_MKV + 1,
              "one row per container");

// --quality: 1 (smallest file) to 100 (closest to the rendered frames); the picture's alone, the
// sound has a fixed rate.
constexpr int kVideoQualityMin = 1, kVideoQualityMax = 100, kVideoQualityDefault = 75;

struct VideoSettings {
    int container; // VideoContainer
    int width, height;
    uint32_t fps_num, fps_den; // frames a second as a fraction
    int quality;
};

struct VideoOut; // opaque: the encoders, the muxer, the queue and the encoding thread

// Checks that the encoders take the settings, then opens PATH.partial and writes the container's
// header. Null on failure, with one line for people in *error (a size the codec refuses, a folder
// that cannot be written, a build without video), and nothing left on disk.
VideoOut *video_open(const char *path, const VideoSettings &settings, std::string *error);

// Hands over the next frame (RGB rows bottom to top as GL reads them, width x height x 3 bytes)
// with the sound that plays while it is shown (sound_frames frames of interleaved 16-bit stereo
// at 44.1 kHz). Takes *pixels, leaving a buffer of the same size in its place; waits while the
// encoder is a few frames behind. False once encoding has failed (video_finish says why).
bool video_put(VideoOut *v, std::vector<uint8_t> *pixels, const int16_t *sound, uint32_t sound_frames);

// Frames encoded so far (for progress).
uint64_t video_frames_done(VideoOut *v);

// Encodes what is queued, ends the streams (the last frame shown until the sound ends, when the
// sound runs longer), finishes the container and renames PATH.partial to PATH. Frees v. False with
// one line in *error on failure, and nothing left on disk.
bool video_finish(VideoOut *v, std::string *error);

// Stops encoding and deletes PATH.partial. Frees v; accepts null.
void video_discard(VideoOut *v);

} // namespace tools
