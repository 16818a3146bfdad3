// The music file: an Ogg Vorbis stream decoded by stb_vorbis into interleaved 16-bit stereo.
#pragma once

#include "music/music_ring.h"

#include <cstdint>
#include <cstdio>

namespace music {

struct MusicStream; // opaque: the decoder over the open file

enum MusicOpen : uint8_t { MUSIC_OPEN = 0, MUSIC_NOT_OGG, MUSIC_UNDECODABLE };

// Tests the "Ogg" header of an open file and opens the decoder on it from the start. The stream owns
// the file from then on (closed with the decoder). On failure the file is left to the caller.
MusicStream *music_stream_open(FILE *file, MusicOpen *result);

// The decode function for the ring: `values` interleaved stereo 16-bit samples (or fewer at the end).
uint32_t music_stream_decode(void *stream, int16_t *out, uint32_t values);

// Starts the decoder thread: it clears the ring, then forever sleeps 17 ms and decodes one chunk.
// It is never stopped; it ends with the process.
void music_decoder_start(MusicRing *ring, MusicStream *stream);

} // namespace music
