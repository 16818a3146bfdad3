#include "player/music_device.h"

#include "player/platform/platform.h"
#include "resources/file_util.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace player {

// The ring lives as long as the process: the decoder thread and the callback never stop using it.
static music::MusicRing g_ring;

// Tests may ask for a copy of what the device is handed.
static std::vector<uint8_t> *g_record;

static void audio_callback(void *user, Uint8 *stream, int length) {
    (void)user;
    // Desktop SDL clears the buffer before the call, the browser's does not: a buffer the ring
    // cannot fill must be silence, not the last one again.
    std::memset(stream, 0, size_t(length));
    music::music_ring_callback(&g_ring, stream, static_cast<uint32_t>(length), SDL_GetTicks());
    if (g_record) g_record->insert(g_record->end(), stream, stream + length);
}

void music_device_record(std::vector<uint8_t> *out) {
    g_record = out;
}

// The device did not open: the line on standard error, and the reason kept for the player to show.
static MusicSetup no_device(MusicPlayback *music) {
    std::snprintf(music->device_error, sizeof music->device_error, "%s", SDL_GetError());
    std::fprintf(stderr, "Couldn't open audio: %s\n", music->device_error);
    std::fflush(stderr);
    return MUSIC_SETUP_NO_DEVICE;
}

MusicSetup music_setup(const resources::XmlNode *element, scene::Scene *demo, MusicPlayback *music) {
    music->on = false;
    const char *file = music::music_element_file(element, &demo->music_offset);
    if (!file) return MUSIC_SETUP_DONE;

    platform_fetch_file(file);
    FILE *f = music::music_file_open("", file);
    if (!f) {
        resources::log_format("Error: cannot open %s!\r\n", file);
        return MUSIC_SETUP_DONE;
    }
    music::MusicOpen opened;
    music->stream = music::music_stream_open(f, &opened);
    if (!music->stream) {
        std::fclose(f);
        resources::log_format(
            "Error: %s is not an Ogg Vorbis file I can decode; the demo plays without music.\r\n", file);
        return MUSIC_SETUP_DONE;
    }

    SDL_AudioSpec desired = {}, obtained = {};
    desired.freq = 44100;
    desired.format = AUDIO_S16LSB;
    desired.channels = 2;
    desired.samples = 8192;
    desired.callback = audio_callback;
    desired.userdata = nullptr;
    if (SDL_OpenAudio(&desired, &obtained) < 0) return no_device(music);
    if (obtained.freq != desired.freq || obtained.format != desired.format ||
        obtained.channels != desired.channels) {
        // The ring holds 44.1 kHz 16-bit stereo; let SDL convert rather than play it wrongly.
        SDL_CloseAudio();
        if (SDL_OpenAudio(&desired, nullptr) < 0) return no_device(music);
        obtained = desired;
    }
    music->buffer_samples = obtained.samples;
    music->ring = &g_ring;
    music->on = true;
    return MUSIC_SETUP_DONE;
}

void music_feed(MusicPlayback *music) {
    if (music && music->on) platform_music_feed(music->ring, music->stream);
}

void music_unpause(MusicPlayback *music) {
    if (music && music->on) SDL_PauseAudio(0);
}

bool music_delivered(const MusicPlayback *music) {
    return music->ring->delivered.load(std::memory_order_acquire) == 1;
}

void music_start(MusicPlayback *music, const scene::Scene *demo) {
    platform_music_start(music->ring, music->stream);
    if (demo->music_offset == 0) {
        music_unpause(music);
        // A device that never asks for sound must not freeze the player here; the frame loop keeps
        // redrawing (and listening for Escape) while it waits for the first buffer.
        uint32_t began = SDL_GetTicks();
        while (platform_sound_runs_beside() && !music_delivered(music) && SDL_GetTicks() - began < 3000)
            SDL_Delay(10);
    }
    resources::log_format("Audio buffer size:%u\n", music->buffer_samples);
}

} // namespace player
