// The music file: an Ogg Vorbis stream decoded by libvorbisfile into interleaved 16-bit stereo at
// 44.1 kHz (mono is heard on both sides, more channels are mixed down). Files at other sample
// rates are resampled on the decoder thread (libsamplerate); 44.1 kHz stereo files go to the ring
// exactly as the decoder gives them, the same samples as oggdec's.
#pragma once

#include "music/music_ring.h"

#include <cstdint>
#include <cstdio>

namespace resources {
struct XmlNode;
}

namespace music {

struct MusicStream; // opaque: the decoder over the open file

enum MusicOpen : uint8_t { MUSIC_OPEN = 0, MUSIC_NOT_OGG, MUSIC_UNDECODABLE };

constexpr uint32_t kDeviceRate = 44100;

// Tests the "Ogg" header of an open file and opens the decoder on it from the start. The stream owns
// the file from then on (closed with the stream). On failure the file is left to the caller; a
// sample rate that cannot be converted to 44.1 kHz (beyond 256 times either way) is undecodable.
// A chained file plays every part at the rate of its first.
MusicStream *music_stream_open(FILE *file, MusicOpen *result);

// The same on a stream that can seek (music_stream_seek), for a player that jumps in time: the
// decoder reads the file's length and links when it opens.
MusicStream *music_stream_open_seekable(FILE *file, MusicOpen *result);

// Moves a seekable stream to `frame` (stereo frames at 44.1 kHz from the start); what it decodes next
// is the sound from there, sample for sample what decoding from the start gives. A frame past the
// end leaves the stream at its end (silence). False when the stream cannot seek.
bool music_stream_seek(MusicStream *stream, uint64_t frame);

// The length of a seekable stream in milliseconds (from its own sample count and rate); 0 when it
// cannot tell.
uint32_t music_stream_length_ms(MusicStream *stream);

// The file's own sample rate in Hz.
uint32_t music_stream_rate(const MusicStream *stream);

// The decode function for the ring: `values` interleaved stereo 16-bit samples at 44.1 kHz (or
// fewer at the end of the stream).
uint32_t music_stream_decode(void *stream, int16_t *out, uint32_t values);

// Closes the decoder and the file and frees the stream. Accepts null. The player never does (the
// decoder thread decodes until the process ends); tests and tools do.
void music_stream_close(MusicStream *stream);

// The music element's file name (null when the element names none) and the music offset it gives:
// "offset" + 125 milliseconds, held at 0 for offsets below -125.
const char *music_element_file(const resources::XmlNode *element, uint32_t *music_offset);

// Opens the music file a document names, as a regular file at FOLDER/name or FOLDER/music/name
// (FOLDER "" is the working folder). A document names its music, so a name that is absolute or
// climbs out with ".." is refused, as is a pipe or device, which would block or feed the decoder
// anything. Null when refused or not found; the caller owns the file.
FILE *music_file_open(const char *folder, const char *name);

// Starts the decoder thread: it clears the ring, then forever sleeps 17 ms and decodes one chunk.
// It is never stopped; it ends with the process.
void music_decoder_start(MusicRing *ring, MusicStream *stream);

} // namespace music
