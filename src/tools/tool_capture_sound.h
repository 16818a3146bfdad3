// The sound of a capture: the music of a span of demo time as the player hands it to the audio
// device (silence before the music offset, the ring's leading silence, then the decoded music and
// silence after its end), 44.1 kHz 16-bit stereo, read in order from the span's start.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

struct ToolScene;
struct CaptureSound; // opaque: the music decoder and the position in the device's stream

// Opens the demo's music, looked for beside the package and then in the working folder (as the
// player looks), positioned at demo time from_ms. Never null: without music the sound is silence,
// and *note then says why ("the demo has no music", or the file that could not be had).
CaptureSound *capture_sound_open(const ToolScene &ts, const char *package, uint32_t from_ms,
                                 std::string *note);

// Stereo frames from the position read so far up to demo time ms (0 when ms lies before it). Both ends
// count from the music offset, so spans read back to back join without a lost or repeated frame.
uint64_t capture_sound_frames_to(const CaptureSound *s, uint32_t ms);

// Reads the next `frames` stereo frames into out (2 x frames interleaved values).
void capture_sound_read(CaptureSound *s, int16_t *out, uint32_t frames);

// Closes the decoder and frees s. Accepts null.
void capture_sound_close(CaptureSound *s);

// Writes the sound from the position up to demo time to_ms as a 44.1 kHz 16-bit stereo WAV file.
// False when the file cannot be written.
bool capture_sound_write_wav(CaptureSound *s, const std::string &path, uint32_t to_ms);

} // namespace tools
