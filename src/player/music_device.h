// The music as the player drives it: the music element, the file, the audio device and its callback.
#pragma once

#include "music/music_ring.h"
#include "music/music_stream.h"

#include <cstdint>
#include <vector>

namespace resources {
struct XmlNode;
}
namespace scene {
struct Scene;
}

namespace player {

struct MusicPlayback {
    bool on;                // music plays (the switch is +1)
    music::MusicRing *ring; // shared with the decoder thread and the audio callback
    music::MusicStream *stream;
    uint32_t buffer_samples; // sample frames per device buffer, as the device gave them
    char device_error[128];  // why the audio device did not open (SDL's words), after MUSIC_SETUP_NO_DEVICE
};

enum MusicSetup : uint8_t { MUSIC_SETUP_DONE = 0, MUSIC_SETUP_NO_DEVICE = 1 };

// Reads the music element ("file", "offset"), stores offset + 125 as the scene's music offset, opens
// the file from the working directory or "music/", opens the decoder and the audio device (paused).
// A missing element or file, or a file that is not Ogg Vorbis, leaves music off (logged where the
// element named a file). When the device cannot be opened, "Couldn't open audio: ..." goes to
// standard error, the reason is kept in music->device_error and MUSIC_SETUP_NO_DEVICE is returned
// (the program then ends with status 1, telling the user in the log and the "Error" message box).
MusicSetup music_setup(const resources::XmlNode *element, scene::Scene *demo, MusicPlayback *music);

// Starts the decoder thread; with a music offset of 0 also starts the sound and waits, in 10 ms
// steps, for the first delivered buffer. Logs "Audio buffer size:%u\n".
void music_start(MusicPlayback *music, const scene::Scene *demo);

// Appends a copy of every buffer the audio callback hands the device to *out (null stops); read
// it once the device is closed or paused.
void music_device_record(std::vector<uint8_t> *out);

// Tops up the ring where no decoder thread does (the browser, between frames).
void music_feed(MusicPlayback *music);

// Starts (unpauses) the sound.
void music_unpause(MusicPlayback *music);

// Whether the last audio callback delivered data.
bool music_delivered(const MusicPlayback *music);

} // namespace player
