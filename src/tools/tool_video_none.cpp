// Video files where the FFmpeg libraries are not built in (Windows): the native tool makes them;
// PNG frames and Y4M streams are captured here as everywhere.
#include "tools/tool_video.h"

namespace tools {

VideoOut *video_open(const char *, const VideoSettings &, std::string *error) {
    *error =
        "video files are made by bvtool on Linux; this one captures PNG frames, or a Y4M stream with --y4m";
    return nullptr;
}

bool video_put(VideoOut *, std::vector<uint8_t> *, const int16_t *, uint32_t) {
    return false;
}

uint64_t video_frames_done(VideoOut *) {
    return 0;
}

bool video_finish(VideoOut *, std::string *error) {
    *error = "no video in this build";
    return false;
}

void video_discard(VideoOut *) {}

} // namespace tools
