// bv_synth: renders the sample demo's music to a 44.1 kHz 16-bit stereo WAV file.
// Everything is computed here from a fixed arrangement and fixed noise seeds, so every run writes
// the same bytes. Usage: bv_synth OUT.wav

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Timing and arrangement: the one place that says when everything happens.

constexpr int kSampleRate = 44100;
constexpr int kBeatsPerMinute = 120;
constexpr int kBeatsPerBar = 4;
constexpr double kBeatSeconds = 60.0 / kBeatsPerMinute;
constexpr double kBarSeconds = kBeatSeconds * kBeatsPerBar;
constexpr double kStepSeconds = kBeatSeconds / 4; // one sixteenth
constexpr int kBars = 36;
constexpr double kTailSeconds = 2.0; // the final chord decays after the last bar
constexpr double kTotalSeconds = kBars * kBarSeconds + kTailSeconds;
constexpr int64_t kTotalFrames = static_cast<int64_t>(kTotalSeconds * kSampleRate);
static_assert(kBarSeconds == 2.0, "the picture is cut on 2 s bar lines");
static_assert(kTotalFrames == 74 * kSampleRate, "72 s of bars and a 2 s tail");

// Parts that play in a section, and treatments that shape it.
enum SectionFlag : uint32_t {
    PART_PAD = 1u << 0,
    PART_ARP = 1u << 1,
    PART_KICK = 1u << 2,
    PART_HAT_CLOSED = 1u << 3,
    PART_BASS = 1u << 4,
    PART_SNARE = 1u << 5,    // snare and clap on beats 2 and 4
    PART_HAT_OPEN = 1u << 6, // open hats on the off-beats, closed hats move to the sixteenths
    PART_LEAD = 1u << 7,
    PART_LEAD_OCTAVE = 1u << 8, // the lead doubled an octave below, the two spread apart
    PART_COUNTER = 1u << 9,     // counter-melody above the lead
    FX_SWELL = 1u << 10,        // pad and arpeggio rise from silence while their filters open
    FX_SWEEP = 1u << 11,        // pad and lead low-pass rises across the section, noise riser at its end
    FX_ROLL = 1u << 12,         // snare roll through the last bar, leading into the next section
    FX_CRASH = 1u << 13,        // crash cymbal on the first downbeat
    FX_THIN = 1u << 14,         // drums and bass only in the first half, then none
    FX_FADE = 1u << 15,         // pad and arpeggio fade towards the final chord
    FX_BRIGHT = 1u << 16,       // filters wider open than elsewhere
};

struct Section {
    const char *name;
    int first_bar;
    int bars;
    uint32_t flags;
    float energy; // how hard the pitched parts play; rises through the piece to the climax
};

constexpr uint32_t kDrums = PART_KICK | PART_HAT_CLOSED | PART_SNARE | PART_HAT_OPEN;

constexpr Section kSections[] = {
    {"intro", 0, 4, PART_PAD | PART_ARP | FX_SWELL, 1.0f},
    {"beat", 4, 8, PART_PAD | PART_ARP | PART_KICK | PART_HAT_CLOSED | PART_BASS, 0.85f},
    {"groove", 12, 8, PART_PAD | PART_ARP | kDrums | PART_BASS | PART_LEAD | FX_CRASH, 0.9f},
    {"breakdown", 20, 4, PART_PAD | PART_LEAD | FX_SWEEP | FX_ROLL, 0.85f},
    {"climax", 24, 8,
     PART_PAD | PART_ARP | kDrums | PART_BASS | PART_LEAD | PART_LEAD_OCTAVE | PART_COUNTER | FX_CRASH |
         FX_BRIGHT,
     1.1f},
    {"outro", 32, 4, PART_PAD | PART_ARP | PART_KICK | PART_BASS | FX_THIN | FX_FADE, 1.0f},
};
constexpr int kSectionCount = static_cast<int>(sizeof(kSections) / sizeof(kSections[0]));
static_assert(kSectionCount == 6, "intro, beat, groove, breakdown, climax, outro");

constexpr bool sections_tile_the_piece() {
    int bar = 0;
    for (const Section &s : kSections) {
        if (s.first_bar != bar || s.bars <= 0) return false;
        bar += s.bars;
    }
    return bar == kBars;
}
static_assert(sections_tile_the_piece(), "sections must follow one another and cover every bar");

// A minor, i-VI-III-VII, one chord per bar. Pad voicings move by step between chords.
struct Chord {
    int8_t root; // bass note (MIDI)
    int8_t tones[4];
};
constexpr Chord kProgression[] = {
    {33, {57, 60, 64, 69}}, // Am: A1 | A3 C4 E4 A4
    {29, {57, 60, 65, 69}}, // F:  F1 | A3 C4 F4 A4
    {36, {55, 60, 64, 67}}, // C:  C2 | G3 C4 E4 G4
    {31, {55, 59, 62, 67}}, // G:  G1 | G3 B3 D4 G4
};
static_assert(sizeof(kProgression) / sizeof(kProgression[0]) == 4, "four-bar progression");

// Sixteenth-step patterns. Arpeggio indexes the chord tones an octave up (0-3) and two up (4-7).
constexpr int8_t kArpPattern[16] = {0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 5, 3, 4, 5, 6};
constexpr float kArpAccent[4] = {1.0f, 0.6f, 0.78f, 0.6f};
// Bass eighths, semitones above the root.
constexpr int8_t kBassPattern[8] = {0, 12, 0, 12, 0, 12, 7, 12};

struct PhraseNote {
    uint8_t bar;   // bar within the eight-bar phrase
    uint8_t step;  // sixteenth within the bar
    uint8_t steps; // length in sixteenths
    uint8_t pitch; // MIDI
};

// The lead: eight bars of chord tones in eighths, answered in the second half.
constexpr PhraseNote kLeadPhrase[] = {
    {0, 0, 4, 76},  {0, 4, 2, 69}, {0, 6, 2, 72}, {0, 8, 2, 76},  {0, 10, 2, 74}, {0, 12, 4, 72},
    {1, 0, 4, 77},  {1, 4, 2, 69}, {1, 6, 2, 72}, {1, 8, 2, 77},  {1, 10, 2, 76}, {1, 12, 4, 72},
    {2, 0, 4, 76},  {2, 4, 2, 67}, {2, 6, 2, 72}, {2, 8, 2, 76},  {2, 10, 2, 79}, {2, 12, 4, 76},
    {3, 0, 6, 74},  {3, 6, 2, 71}, {3, 8, 2, 74}, {3, 10, 2, 79}, {3, 12, 2, 74}, {3, 14, 2, 71},
    {4, 0, 4, 81},  {4, 4, 2, 76}, {4, 6, 2, 72}, {4, 8, 2, 76},  {4, 10, 2, 81}, {4, 12, 2, 79},
    {4, 14, 2, 76}, {5, 0, 4, 77}, {5, 4, 2, 72}, {5, 6, 2, 69},  {5, 8, 2, 72},  {5, 10, 2, 77},
    {5, 12, 4, 76}, {6, 0, 4, 79}, {6, 4, 2, 76}, {6, 6, 2, 72},  {6, 8, 2, 76},  {6, 10, 2, 79},
    {6, 12, 4, 84}, {7, 0, 6, 83}, {7, 6, 2, 79}, {7, 8, 2, 74},  {7, 10, 2, 79}, {7, 12, 4, 71},
};
constexpr int kLeadCount = static_cast<int>(sizeof(kLeadPhrase) / sizeof(kLeadPhrase[0]));
static_assert(kLeadCount == 48, "eight bars of lead");

// The counter-melody of the climax: longer notes an octave above the lead.
constexpr PhraseNote kCounterPhrase[] = {
    {0, 0, 8, 88}, {0, 8, 4, 84}, {0, 12, 4, 86}, {1, 0, 8, 84},  {1, 8, 8, 81},
    {2, 0, 8, 88}, {2, 8, 4, 91}, {2, 12, 4, 88}, {3, 0, 12, 86}, {3, 12, 4, 83},
    {4, 0, 8, 84}, {4, 8, 8, 88}, {5, 0, 8, 89},  {5, 8, 4, 88},  {5, 12, 4, 84},
    {6, 0, 8, 88}, {6, 8, 8, 91}, {7, 0, 8, 86},  {7, 8, 8, 83},
};
constexpr int kCounterCount = static_cast<int>(sizeof(kCounterPhrase) / sizeof(kCounterPhrase[0]));
static_assert(kCounterCount == 19, "eight bars of counter-melody");

// The final chord on the downbeat after the last bar: A minor spread over four octaves.
constexpr int8_t kFinalChord[] = {33, 45, 52, 57, 60, 64, 69, 76};
static_assert(sizeof(kFinalChord) == 8, "final chord voicing");

// ---------------------------------------------------------------------------------------------
// Voices and their place in the mix.

enum VoiceKind : uint8_t {
    VOICE_PAD,
    VOICE_ARP,
    VOICE_BASS,
    VOICE_LEAD,
    VOICE_COUNTER,
    VOICE_KICK,
    VOICE_SNARE,
    VOICE_CLAP,
    VOICE_HAT_CLOSED,
    VOICE_HAT_OPEN,
    VOICE_CRASH,
    VOICE_RISER,
    VOICE_CHORD, // the final chord
    VOICE_BOOM,  // the long low kick under the final chord
    VOICE_COUNT
};

struct VoiceMix {
    float gain;
    float tail;   // seconds rendered after the note's length (release)
    float reverb; // send levels
    float delay;
    bool pumped; // ducked by the kick
};

constexpr VoiceMix kVoiceMix[] = {
    {0.170f, 1.20f, 0.40f, 0.00f, true},  // pad (per note)
    {0.250f, 0.30f, 0.20f, 0.30f, true},  // arp
    {0.650f, 0.05f, 0.00f, 0.00f, true},  // bass
    {0.240f, 0.30f, 0.30f, 0.28f, false}, // lead
    {0.220f, 0.50f, 0.45f, 0.25f, false}, // counter
    {0.400f, 0.00f, 0.00f, 0.00f, false}, // kick
    {0.500f, 0.00f, 0.15f, 0.00f, false}, // snare
    {0.750f, 0.00f, 0.22f, 0.00f, false}, // clap
    {0.340f, 0.00f, 0.00f, 0.00f, false}, // closed hat
    {0.220f, 0.00f, 0.08f, 0.00f, false}, // open hat
    {0.350f, 0.00f, 0.15f, 0.00f, false}, // crash
    {0.140f, 0.01f, 0.30f, 0.00f, false}, // riser
    {0.150f, 0.00f, 0.35f, 0.00f, false}, // final chord (per note)
    {0.380f, 0.00f, 0.05f, 0.00f, false}, // boom
};
static_assert(sizeof(kVoiceMix) / sizeof(kVoiceMix[0]) == VOICE_COUNT, "one mix entry per voice");

struct Note {
    uint8_t kind;
    double start;  // seconds
    double length; // seconds the note is held; the voice's tail follows
    float pitch;   // MIDI note number (unused by the unpitched drums)
    float velocity;
    float pan; // -1 left .. +1 right
    uint32_t seed;
};

// ---------------------------------------------------------------------------------------------
// Small DSP building blocks.

constexpr double kPi = 3.14159265358979323846;

double midi_hz(double pitch) {
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

// Exponential interpolation between two positive values, for frequencies.
double lerp_exp(double from, double to, double x) {
    return from * std::pow(to / from, x);
}

double clamp01(double x) {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

// xorshift32: the noise source; never seeded with 0.
struct Noise {
    uint32_t state;
};

Noise noise_make(uint32_t seed) {
    return Noise{(seed * 2654435761u + 0x9E3779B9u) | 1u};
}

// Uniform in [-1, 1).
float noise_next(Noise &n) {
    n.state ^= n.state << 13;
    n.state ^= n.state >> 17;
    n.state ^= n.state << 5;
    return static_cast<float>(static_cast<int32_t>(n.state)) * (1.0f / 2147483648.0f);
}

// Corrects a naive waveform's step at phase 0 (phase in [0,1), dt = frequency / sample rate)
// so saws and squares do not alias harshly.
double osc_blep(double phase, double dt) {
    if (phase < dt) {
        double x = phase / dt;
        return x + x - x * x - 1.0;
    }
    if (phase > 1.0 - dt) {
        double x = (phase - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double osc_saw(double phase, double dt) {
    return 2.0 * phase - 1.0 - osc_blep(phase, dt);
}

double osc_square(double phase, double dt) {
    double half = phase + 0.5;
    if (half >= 1.0) half -= 1.0;
    return (phase < 0.5 ? 1.0 : -1.0) + osc_blep(phase, dt) - osc_blep(half, dt);
}

void osc_advance(double &phase, double dt) {
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
}

// Trapezoidal state-variable filter: stable at any cutoff, resonance from q (0.5 = none).
struct Svf {
    double ic1 = 0, ic2 = 0;
    double a1 = 0, a2 = 0, a3 = 0, k = 2;
};

struct SvfOut {
    double low, band, high;
};

void svf_set(Svf &f, double cutoff_hz, double q) {
    double fc = std::min(std::max(cutoff_hz, 10.0), kSampleRate * 0.45);
    double g = std::tan(kPi * fc / kSampleRate);
    f.k = 1.0 / q;
    f.a1 = 1.0 / (1.0 + g * (g + f.k));
    f.a2 = g * f.a1;
    f.a3 = g * f.a2;
}

SvfOut svf_run(Svf &f, double x) {
    double v3 = x - f.ic2;
    double v1 = f.a1 * f.ic1 + f.a2 * v3;
    double v2 = f.ic2 + f.a2 * f.ic1 + f.a3 * v3;
    f.ic1 = 2.0 * v1 - f.ic1;
    f.ic2 = 2.0 * v2 - f.ic2;
    return SvfOut{v2, v1, x - f.k * v1 - v2};
}

// Filters that sweep recompute their coefficients this often (tan() per sample is wasteful).
constexpr int kControlFrames = 16;

// Linear attack, decay to sustain, linear release after `gate` seconds.
double env_adsr(double t, double gate, double a, double d, double s, double r) {
    auto held = [&](double u) {
        if (u < a) return u / a;
        if (u < a + d) return 1.0 - (1.0 - s) * (u - a) / d;
        return s;
    };
    if (t < gate) return held(t);
    double released = held(gate) * (1.0 - (t - gate) / r);
    return released > 0.0 ? released : 0.0;
}

// Ramps a percussive note to silence over its last moments so cutting it off does not click.
double env_end_fade(double local, double length) {
    return clamp01((length - local) / 0.02);
}

// Equal-power pan of a mono sample; pan -1 is hard left.
void pan_gains(float pan, float &left, float &right) {
    double angle = (static_cast<double>(pan) + 1.0) * kPi / 4.0;
    left = static_cast<float>(std::cos(angle) * std::sqrt(2.0));
    right = static_cast<float>(std::sin(angle) * std::sqrt(2.0));
}

// ---------------------------------------------------------------------------------------------
// Section lookups and the automation curves that follow the arrangement.

// Index in kSections of the section playing at time t; the tail counts as the last section.
int section_index_at(double t) {
    int bar = static_cast<int>(std::floor(t / kBarSeconds));
    if (bar < 0) return 0;
    if (bar >= kBars) return kSectionCount - 1;
    for (int i = 0; i < kSectionCount; ++i)
        if (bar < kSections[i].first_bar + kSections[i].bars) return i;
    return kSectionCount - 1;
}

// How far through its section time t is, 0..1.
double section_progress(double t, const Section &s) {
    return clamp01((t - s.first_bar * kBarSeconds) / (s.bars * kBarSeconds));
}

// Pad gain at time t: swells up through the intro, fades through the outro.
double pad_level(double t) {
    const Section &s = kSections[section_index_at(t)];
    double p = section_progress(t, s);
    if (s.flags & FX_SWELL) return std::pow(p, 1.6);
    if (s.flags & FX_FADE) return 1.0 - 0.88 * p;
    return 1.0;
}

// Pad low-pass cutoff in Hz at time t.
double pad_cutoff(double t) {
    const Section &s = kSections[section_index_at(t)];
    double p = section_progress(t, s);
    if (s.flags & FX_SWELL) return lerp_exp(250.0, 2000.0, p);
    if (s.flags & FX_SWEEP) return lerp_exp(300.0, 6000.0, std::pow(p, 1.3));
    if (s.flags & FX_FADE) return lerp_exp(2000.0, 600.0, p);
    if (s.flags & FX_BRIGHT) return 3200.0;
    return 2000.0;
}

// Arpeggio gain for a note starting at time t.
double arp_level(double t) {
    const Section &s = kSections[section_index_at(t)];
    double p = section_progress(t, s);
    if (s.flags & FX_SWELL) return 0.35 + 0.35 * p;
    if (s.flags & FX_FADE) return 1.0 - 0.9 * p;
    return 1.0;
}

// Arpeggio low-pass cutoff in Hz, before each note's pluck, for a note starting at time t.
double arp_cutoff(double t) {
    const Section &s = kSections[section_index_at(t)];
    double p = section_progress(t, s);
    if (s.flags & FX_SWELL) return lerp_exp(350.0, 1200.0, p);
    if (s.flags & FX_FADE) return lerp_exp(1500.0, 450.0, p);
    if (s.flags & FX_BRIGHT) return 2600.0;
    if (s.flags & PART_LEAD) return 1900.0;
    return 1400.0;
}

// Lead low-pass cutoff in Hz at time t, before each note's envelope.
double lead_cutoff(double t) {
    const Section &s = kSections[section_index_at(t)];
    double p = section_progress(t, s);
    if (s.flags & FX_SWEEP) return lerp_exp(250.0, 5000.0, std::pow(p, 1.2));
    if (s.flags & FX_BRIGHT) return 3600.0;
    return 2600.0;
}

// ---------------------------------------------------------------------------------------------
// The mix: dry buses, send buses and the kick's ducking curve, one float per frame.

struct Mix {
    std::vector<float> drum_l, drum_r;   // not ducked
    std::vector<float> music_l, music_r; // ducked by the kick
    std::vector<float> reverb_l, reverb_r;
    std::vector<float> delay;
    std::vector<float> duck; // gain applied to the music bus, 1 = untouched
};

Mix mix_make() {
    Mix m;
    for (std::vector<float> *v :
         {&m.drum_l, &m.drum_r, &m.music_l, &m.music_r, &m.reverb_l, &m.reverb_r, &m.delay})
        v->assign(static_cast<size_t>(kTotalFrames), 0.0f);
    m.duck.assign(static_cast<size_t>(kTotalFrames), 1.0f);
    return m;
}

// Adds one frame of a voice at its mix gain to its dry bus and its sends.
void mix_add(Mix &m, const VoiceMix &vm, int64_t n, double left, double right) {
    float l = static_cast<float>(left) * vm.gain, r = static_cast<float>(right) * vm.gain;
    size_t i = static_cast<size_t>(n);
    if (vm.pumped) {
        m.music_l[i] += l;
        m.music_r[i] += r;
    } else {
        m.drum_l[i] += l;
        m.drum_r[i] += r;
    }
    m.reverb_l[i] += l * vm.reverb;
    m.reverb_r[i] += r * vm.reverb;
    m.delay[i] += (l + r) * 0.5f * vm.delay;
}

// ---------------------------------------------------------------------------------------------
// Voice renderers. Each adds one note into the mix from its start frame to the end of its tail.

struct Span {
    int64_t first, end; // frames [first, end)
};

// Frames a note sounds for, its tail included, clipped to the piece.
Span note_span(const Note &note) {
    double end_time = note.start + note.length + kVoiceMix[note.kind].tail;
    int64_t first = static_cast<int64_t>(std::llround(note.start * kSampleRate));
    int64_t end = static_cast<int64_t>(std::llround(end_time * kSampleRate));
    return Span{std::max<int64_t>(first, 0), std::min(end, kTotalFrames)};
}

// Three detuned saws per channel, different detunes left and right for width.
void voice_pad(Mix &m, const Note &note, Span span) {
    constexpr double kDetuneCents[2][3] = {{-11.0, 0.0, 7.0}, {-5.0, 4.0, 12.0}};
    Noise rng = noise_make(note.seed);
    double phase[2][3], dt[2][3];
    for (int c = 0; c < 2; ++c)
        for (int o = 0; o < 3; ++o) {
            phase[c][o] = 0.5 + 0.5 * noise_next(rng);
            dt[c][o] = midi_hz(note.pitch + kDetuneCents[c][o] / 100.0) / kSampleRate;
        }
    Svf filter[2];
    double level = 0.0;
    for (int64_t n = span.first; n < span.end; ++n) {
        double t = static_cast<double>(n) / kSampleRate;
        double local = t - note.start;
        if ((n - span.first) % kControlFrames == 0) {
            double cutoff = pad_cutoff(t) * (1.0 + 0.15 * std::sin(2.0 * kPi * 0.23 * t));
            svf_set(filter[0], cutoff, 0.9);
            svf_set(filter[1], cutoff * 1.04, 0.9);
            level = pad_level(t) * note.velocity;
        }
        double amp = env_adsr(local, note.length, 0.35, 0.0, 1.0, kVoiceMix[VOICE_PAD].tail) * level;
        double out[2];
        for (int c = 0; c < 2; ++c) {
            double sum = 0.0;
            for (int o = 0; o < 3; ++o) {
                sum += osc_saw(phase[c][o], dt[c][o]);
                osc_advance(phase[c][o], dt[c][o]);
            }
            out[c] = svf_run(filter[c], sum * (1.0 / 3.0)).low * amp;
        }
        mix_add(m, kVoiceMix[VOICE_PAD], n, out[0], out[1]);
    }
}

// Square and saw through a resonant low-pass whose envelope plucks each sixteenth.
void voice_arp(Mix &m, const Note &note, Span span) {
    double phase = 0.0, dt = midi_hz(note.pitch) / kSampleRate;
    Svf filter;
    float gl, gr;
    pan_gains(note.pan, gl, gr);
    double base = arp_cutoff(note.start), level = arp_level(note.start) * note.velocity;
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double pluck = std::exp(-local / 0.05);
        if ((n - span.first) % kControlFrames == 0) svf_set(filter, base * (1.0 + 2.5 * pluck), 3.0);
        double osc = 0.6 * osc_square(phase, dt) + 0.4 * osc_saw(phase, dt);
        osc_advance(phase, dt);
        double amp = std::min(1.0, local / 0.002) * std::exp(-local / 0.16) *
                     (local < note.length ? 1.0 : std::max(0.0, 1.0 - (local - note.length) / 0.04));
        double s = svf_run(filter, osc).low * amp * level;
        mix_add(m, kVoiceMix[VOICE_ARP], n, s * gl, s * gr);
    }
}

// Saw plus sine, low-pass with a short envelope so each eighth has a bite.
void voice_bass(Mix &m, const Note &note, Span span) {
    double phase = 0.0, sine = 0.0, dt = midi_hz(note.pitch) / kSampleRate;
    Svf filter;
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        if ((n - span.first) % kControlFrames == 0)
            svf_set(filter, 140.0 + 1300.0 * note.velocity * std::exp(-local / 0.07), 1.6);
        double osc = 0.7 * osc_saw(phase, dt) + 0.6 * std::sin(2.0 * kPi * sine);
        osc_advance(phase, dt);
        osc_advance(sine, dt);
        double amp = env_adsr(local, note.length, 0.003, 0.1, 0.8, 0.03) * note.velocity;
        double s = svf_run(filter, osc).low * amp;
        mix_add(m, kVoiceMix[VOICE_BASS], n, s, s);
    }
}

// Two detuned saws and a sub square, with delayed vibrato.
void voice_lead(Mix &m, const Note &note, Span span) {
    double p1 = 0.0, p2 = 0.37, p3 = 0.0;
    double hz = midi_hz(note.pitch);
    Svf filter;
    float gl, gr;
    pan_gains(note.pan, gl, gr);
    for (int64_t n = span.first; n < span.end; ++n) {
        double t = static_cast<double>(n) / kSampleRate;
        double local = t - note.start;
        double vibrato = 1.0 + 0.006 * clamp01((local - 0.15) / 0.2) * std::sin(2.0 * kPi * 5.5 * local);
        double dt = hz * vibrato / kSampleRate;
        double d1 = dt * 0.996, d2 = dt * 1.004, d3 = dt * 0.5;
        if ((n - span.first) % kControlFrames == 0)
            svf_set(filter, lead_cutoff(t) * (1.0 + 1.5 * std::exp(-local / 0.12)), 2.0);
        double osc = 0.5 * osc_saw(p1, d1) + 0.5 * osc_saw(p2, d2) + 0.3 * osc_square(p3, d3);
        osc_advance(p1, d1);
        osc_advance(p2, d2);
        osc_advance(p3, d3);
        double amp = env_adsr(local, note.length, 0.004, 0.2, 0.65, 0.15) * note.velocity;
        double s = svf_run(filter, osc).low * amp;
        mix_add(m, kVoiceMix[VOICE_LEAD], n, s * gl, s * gr);
    }
}

// A soft bell-like voice: sine with a little filtered square.
void voice_counter(Mix &m, const Note &note, Span span) {
    double phase = 0.0, sq = 0.0, hz = midi_hz(note.pitch);
    Svf filter;
    svf_set(filter, 4500.0, 0.7);
    float gl, gr;
    pan_gains(note.pan, gl, gr);
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double dt = hz * (1.0 + 0.004 * std::sin(2.0 * kPi * 4.8 * local)) / kSampleRate;
        double osc = std::sin(2.0 * kPi * phase) + 0.3 * svf_run(filter, osc_square(sq, dt)).low;
        osc_advance(phase, dt);
        osc_advance(sq, dt);
        double amp = env_adsr(local, note.length, 0.02, 0.3, 0.55, 0.4) * note.velocity;
        mix_add(m, kVoiceMix[VOICE_COUNTER], n, osc * amp * gl, osc * amp * gr);
    }
}

// Pitch-swept sine with a click; also ducks the music bus so the groove pumps.
void voice_kick(Mix &m, const Note &note, Span span, double base_hz, double decay) {
    constexpr double kDuckDepth = 0.5, kDuckSeconds = 0.32;
    double phase = 0.0;
    Noise rng = noise_make(note.seed);
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double hz = base_hz + 110.0 * std::exp(-local / 0.035) + 250.0 * std::exp(-local / 0.004);
        phase += hz / kSampleRate;
        if (phase >= 1.0) phase -= 1.0;
        double body = std::sin(2.0 * kPi * phase) * std::exp(-local / decay) * std::min(1.0, local / 0.0008);
        double click = noise_next(rng) * 0.25 * std::exp(-local / 0.0015);
        double s = std::tanh(1.6 * (body + click)) / std::tanh(1.6) * note.velocity *
                   env_end_fade(local, note.length);
        mix_add(m, kVoiceMix[note.kind], n, s, s);
        if (note.kind == VOICE_KICK) {
            double x = clamp01((local - 0.004) / kDuckSeconds);
            double duck =
                local < 0.004 ? 1.0 - kDuckDepth * local / 0.004 : 1.0 - kDuckDepth * (1 - x) * (1 - x);
            float &d = m.duck[static_cast<size_t>(n)];
            d = std::min(d, static_cast<float>(duck));
        }
    }
}

// Tuned body plus high-passed noise.
void voice_snare(Mix &m, const Note &note, Span span) {
    double p1 = 0.0, p2 = 0.0;
    Noise rng = noise_make(note.seed);
    Svf filter;
    svf_set(filter, 1800.0, 0.7);
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double drop = 1.0 + 0.3 * std::exp(-local / 0.01);
        p1 += 185.0 * drop / kSampleRate;
        p2 += 330.0 * drop / kSampleRate;
        double tone = (std::sin(2.0 * kPi * p1) + 0.5 * std::sin(2.0 * kPi * p2)) * std::exp(-local / 0.055);
        SvfOut f = svf_run(filter, noise_next(rng));
        double noise = (f.high + 0.5 * f.band) * std::exp(-local / 0.12);
        // Saturated so its crack does not make the limiter duck the whole mix on every backbeat.
        double s = std::tanh(1.5 * (0.55 * tone + 0.8 * noise)) * std::min(1.0, local / 0.0005) *
                   note.velocity * env_end_fade(local, note.length);
        mix_add(m, kVoiceMix[VOICE_SNARE], n, s, s);
    }
}

// Band-passed noise in three quick bursts and a tail, slightly wider than the snare.
void voice_clap(Mix &m, const Note &note, Span span) {
    Noise rng[2] = {noise_make(note.seed), noise_make(note.seed + 7919u)};
    Svf filter[2];
    svf_set(filter[0], 1200.0, 1.4);
    svf_set(filter[1], 1300.0, 1.4);
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double env = 0.0;
        for (int b = 0; b < 3; ++b) {
            double u = local - 0.011 * b;
            if (u >= 0.0) env = std::max(env, std::exp(-u / 0.004));
        }
        if (local >= 0.03) env = std::max(env, 0.8 * std::exp(-(local - 0.03) / 0.11));
        env *= env_end_fade(local, note.length);
        double out[2];
        for (int c = 0; c < 2; ++c)
            out[c] = std::tanh(2.5 * svf_run(filter[c], noise_next(rng[c])).band * env) * note.velocity;
        mix_add(m, kVoiceMix[VOICE_CLAP], n, out[0], out[1]);
    }
}

// High-passed noise with a metallic layer of inharmonic squares; decay sets closed or open.
void voice_metal(Mix &m, const Note &note, Span span, double decay, double hp_hz, int stereo_seed_step) {
    constexpr double kMetalHz[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Noise rng[2] = {noise_make(note.seed), noise_make(note.seed + static_cast<uint32_t>(stereo_seed_step))};
    Svf filter[2];
    double phase[6] = {0.0, 0.1, 0.2, 0.3, 0.4, 0.5};
    svf_set(filter[0], hp_hz, 0.8);
    svf_set(filter[1], hp_hz * 1.03, 0.8);
    float gl, gr;
    pan_gains(note.pan, gl, gr);
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double metal = 0.0;
        for (int o = 0; o < 6; ++o) {
            double dt = kMetalHz[o] * 1.7 / kSampleRate;
            metal += osc_square(phase[o], dt);
            osc_advance(phase[o], dt);
        }
        double env = std::exp(-local / decay) * std::min(1.0, local / 0.0015) * note.velocity *
                     env_end_fade(local, note.length);
        double out[2];
        for (int c = 0; c < 2; ++c) {
            double x = noise_next(rng[c]) + 0.12 * metal;
            out[c] = svf_run(filter[c], x).high * env;
        }
        mix_add(m, kVoiceMix[note.kind], n, out[0] * gl, out[1] * gr);
    }
}

// Band-passed noise rising in pitch and level, cut at the note's end.
void voice_riser(Mix &m, const Note &note, Span span) {
    Noise rng[2] = {noise_make(note.seed), noise_make(note.seed + 104729u)};
    Svf filter[2];
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        double p = clamp01(local / note.length);
        if ((n - span.first) % kControlFrames == 0) {
            svf_set(filter[0], lerp_exp(300.0, 9000.0, p), 2.0);
            svf_set(filter[1], lerp_exp(320.0, 9500.0, p), 2.0);
        }
        double amp = p * p * (local < note.length ? 1.0 : std::max(0.0, 1.0 - (local - note.length) / 0.01));
        double out[2];
        for (int c = 0; c < 2; ++c)
            out[c] = svf_run(filter[c], noise_next(rng[c])).band * amp * note.velocity;
        mix_add(m, kVoiceMix[VOICE_RISER], n, out[0], out[1]);
    }
}

// One note of the final chord: detuned saws struck hard, the filter and level closing together.
void voice_chord(Mix &m, const Note &note, Span span) {
    double phase[2] = {0.0, 0.5};
    double dt[2] = {midi_hz(note.pitch - 0.06) / kSampleRate, midi_hz(note.pitch + 0.06) / kSampleRate};
    Svf filter[2];
    for (int64_t n = span.first; n < span.end; ++n) {
        double local = static_cast<double>(n) / kSampleRate - note.start;
        if ((n - span.first) % kControlFrames == 0) {
            double cutoff = 150.0 + 5000.0 * std::exp(-local / 0.45);
            svf_set(filter[0], cutoff, 1.0);
            svf_set(filter[1], cutoff, 1.0);
        }
        double amp = std::min(1.0, local / 0.003) * std::exp(-local / 0.5) * note.velocity;
        double out[2];
        for (int c = 0; c < 2; ++c) {
            out[c] = svf_run(filter[c], osc_saw(phase[c], dt[c])).low * amp;
            osc_advance(phase[c], dt[c]);
        }
        mix_add(m, kVoiceMix[VOICE_CHORD], n, out[0], out[1]);
    }
}

// Renders one note with the voice its kind names.
void voice_render(Mix &m, const Note &note) {
    Span span = note_span(note);
    switch (note.kind) {
    case VOICE_PAD: voice_pad(m, note, span); break;
    case VOICE_ARP: voice_arp(m, note, span); break;
    case VOICE_BASS: voice_bass(m, note, span); break;
    case VOICE_LEAD: voice_lead(m, note, span); break;
    case VOICE_COUNTER: voice_counter(m, note, span); break;
    case VOICE_KICK: voice_kick(m, note, span, 48.0, 0.3); break;
    case VOICE_BOOM: voice_kick(m, note, span, 38.0, 0.7); break;
    case VOICE_SNARE: voice_snare(m, note, span); break;
    case VOICE_CLAP: voice_clap(m, note, span); break;
    case VOICE_HAT_CLOSED: voice_metal(m, note, span, 0.028, 7500.0, 31); break;
    case VOICE_HAT_OPEN: voice_metal(m, note, span, 0.16, 6500.0, 37); break;
    case VOICE_CRASH: voice_metal(m, note, span, 0.9, 3500.0, 41); break;
    case VOICE_RISER: voice_riser(m, note, span); break;
    case VOICE_CHORD: voice_chord(m, note, span); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// The score: the arrangement table turned into notes.

struct Score {
    std::vector<Note> notes;
};

void score_add(Score &score, uint8_t kind, double start, double length, float pitch, float velocity,
               float pan) {
    uint32_t seed = static_cast<uint32_t>(score.notes.size()) + 1u;
    score.notes.push_back(Note{kind, start, length, pitch, velocity, pan, seed});
}

// Adds the notes of one bar of a phrase, transposed, each held for `hold` of its written length.
void score_phrase(Score &score, uint8_t kind, const PhraseNote *phrase, int count, int phrase_bar,
                  double bar_start, int transpose, double hold, float velocity, float pan) {
    for (int i = 0; i < count; ++i) {
        const PhraseNote &p = phrase[i];
        if (p.bar != phrase_bar) continue;
        score_add(score, kind, bar_start + p.step * kStepSeconds, p.steps * kStepSeconds * hold,
                  static_cast<float>(p.pitch + transpose), velocity, pan);
    }
}

// Every note of the piece, bar by bar from the section table, then the final impact.
Score score_build() {
    Score score;
    score.notes.reserve(4096);
    int pad_note[4] = {-1, -1, -1, -1}; // the note each pad voice is holding, to tie repeated tones
    for (int bar = 0; bar < kBars; ++bar) {
        int si = section_index_at(bar * kBarSeconds);
        const Section &s = kSections[si];
        const Chord &chord = kProgression[bar % 4];
        double t0 = bar * kBarSeconds;
        int local = bar - s.first_bar;
        bool second_half = local >= s.bars / 2;
        uint32_t f = s.flags;
        if ((f & FX_THIN) && second_half) f &= ~(kDrums | PART_BASS);

        if (f & PART_PAD) {
            for (int v = 0; v < 4; ++v) {
                int held = pad_note[v];
                if (held >= 0 && score.notes[held].pitch == chord.tones[v] &&
                    score.notes[held].velocity == s.energy &&
                    std::fabs(score.notes[held].start + score.notes[held].length - t0) < 1e-9) {
                    score.notes[held].length += kBarSeconds;
                } else {
                    pad_note[v] = static_cast<int>(score.notes.size());
                    score_add(score, VOICE_PAD, t0, kBarSeconds, chord.tones[v], s.energy, 0.0f);
                }
            }
        }
        if (f & PART_ARP) {
            for (int step = 0; step < 16; ++step) {
                int i = kArpPattern[step];
                int pitch = chord.tones[i % 4] + (i < 4 ? 12 : 24);
                float pan = (step % 2 == 0) ? -0.35f : 0.35f;
                score_add(score, VOICE_ARP, t0 + step * kStepSeconds, 0.1, static_cast<float>(pitch),
                          kArpAccent[step % 4] * s.energy, pan);
            }
        }
        if (f & PART_BASS) {
            for (int e = 0; e < 8; ++e)
                score_add(score, VOICE_BASS, t0 + e * 2 * kStepSeconds, 0.2,
                          static_cast<float>(chord.root + kBassPattern[e]),
                          ((e % 2) ? 1.0f : 0.8f) * s.energy, 0.0f);
        }
        if (f & PART_KICK) {
            for (int beat = 0; beat < kBeatsPerBar; ++beat)
                score_add(score, VOICE_KICK, t0 + beat * kBeatSeconds, 0.5, 0.0f, 1.0f, 0.0f);
        }
        if (f & PART_HAT_OPEN) {
            for (int step = 0; step < 16; ++step) {
                double at = t0 + step * kStepSeconds;
                if (step % 4 == 2)
                    score_add(score, VOICE_HAT_OPEN, at, 0.2, 0.0f, 1.0f, 0.2f); // choked
                else if (step % 2 == 1)
                    score_add(score, VOICE_HAT_CLOSED, at, 0.12, 0.0f, 0.7f, -0.25f);
            }
        } else if (f & PART_HAT_CLOSED) {
            for (int beat = 0; beat < kBeatsPerBar; ++beat)
                score_add(score, VOICE_HAT_CLOSED, t0 + (beat + 0.5) * kBeatSeconds, 0.12, 0.0f, 1.0f, -0.2f);
        }
        if (f & PART_SNARE) {
            for (int beat = 1; beat < kBeatsPerBar; beat += 2) {
                score_add(score, VOICE_SNARE, t0 + beat * kBeatSeconds, 0.35, 0.0f, 1.0f, 0.0f);
                score_add(score, VOICE_CLAP, t0 + beat * kBeatSeconds, 0.4, 0.0f, 1.0f, 0.0f);
            }
        }
        if ((f & FX_ROLL) && local == s.bars - 1) {
            // Eighths for two beats, sixteenths for one, thirty-seconds for the last, getting louder.
            double at = t0;
            const double steps[4] = {kBeatSeconds / 2, kBeatSeconds / 2, kBeatSeconds / 4, kBeatSeconds / 8};
            for (int beat = 0; beat < 4; ++beat)
                for (double end = t0 + (beat + 1) * kBeatSeconds; at < end - 1e-9; at += steps[beat])
                    score_add(score, VOICE_SNARE, at, 0.35, 0.0f,
                              static_cast<float>(0.2 + 0.5 * (at - t0) / kBarSeconds), 0.0f);
        }
        if ((f & FX_SWEEP) && local == s.bars - 2)
            score_add(score, VOICE_RISER, t0, 2 * kBarSeconds, 0.0f, 1.0f, 0.0f);
        if ((f & FX_CRASH) && local == 0) score_add(score, VOICE_CRASH, t0, 3.0, 0.0f, 1.0f, 0.1f);
        if (f & PART_LEAD) {
            bool octave = (f & PART_LEAD_OCTAVE) != 0;
            score_phrase(score, VOICE_LEAD, kLeadPhrase, kLeadCount, local % 8, t0, 0, 0.9, s.energy,
                         octave ? -0.35f : -0.15f);
            if (octave)
                score_phrase(score, VOICE_LEAD, kLeadPhrase, kLeadCount, local % 8, t0, -12, 0.9,
                             0.8f * s.energy, 0.3f);
        }
        if (f & PART_COUNTER)
            score_phrase(score, VOICE_COUNTER, kCounterPhrase, kCounterCount, local % 8, t0, 0, 0.95, 1.0f,
                         0.45f);
    }
    // The final impact on the downbeat after the last bar, decaying through the tail.
    double end = kBars * kBarSeconds;
    score_add(score, VOICE_BOOM, end, kTailSeconds, 0.0f, 1.0f, 0.0f);
    score_add(score, VOICE_CRASH, end, kTailSeconds, 0.0f, 1.0f, -0.1f);
    for (int8_t pitch : kFinalChord)
        score_add(score, VOICE_CHORD, end, kTailSeconds, pitch, 1.0f, 0.0f);
    return score;
}

// ---------------------------------------------------------------------------------------------
// Effects and master.

// Ping-pong echo on the dotted eighth, darkened a little on every repeat.
void delay_process(const std::vector<float> &in, std::vector<float> &out_l, std::vector<float> &out_r) {
    const size_t length = static_cast<size_t>(std::llround(3 * kStepSeconds * kSampleRate));
    std::vector<float> line_l(length, 0.0f), line_r(length, 0.0f);
    float damp_l = 0.0f, damp_r = 0.0f;
    size_t pos = 0;
    out_l.assign(in.size(), 0.0f);
    out_r.assign(in.size(), 0.0f);
    for (size_t i = 0; i < in.size(); ++i) {
        float echo_l = line_l[pos], echo_r = line_r[pos];
        damp_l += 0.6f * (echo_l - damp_l);
        damp_r += 0.6f * (echo_r - damp_r);
        line_l[pos] = in[i] + 0.45f * damp_r;
        line_r[pos] = 0.45f * damp_l;
        out_l[i] = echo_l;
        out_r[i] = echo_r;
        if (++pos == length) pos = 0;
    }
}

// Eight damped combs into four allpasses per channel; the right channel's lines are a little longer.
struct Comb {
    std::vector<float> line;
    size_t pos = 0;
    float store = 0.0f;
};

struct Allpass {
    std::vector<float> line;
    size_t pos = 0;
};

constexpr int kCombFrames[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllpassFrames[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;

void reverb_process(const std::vector<float> &in_l, const std::vector<float> &in_r, std::vector<float> &out_l,
                    std::vector<float> &out_r) {
    constexpr float kFeedback = 0.84f, kDamp = 0.25f, kInput = 0.015f;
    for (int c = 0; c < 2; ++c) {
        Comb combs[8];
        Allpass passes[4];
        for (int i = 0; i < 8; ++i)
            combs[i].line.assign(static_cast<size_t>(kCombFrames[i] + c * kStereoSpread), 0.0f);
        for (int i = 0; i < 4; ++i)
            passes[i].line.assign(static_cast<size_t>(kAllpassFrames[i] + c * kStereoSpread), 0.0f);
        std::vector<float> &out = c == 0 ? out_l : out_r;
        out.assign(in_l.size(), 0.0f);
        for (size_t n = 0; n < in_l.size(); ++n) {
            float x = (in_l[n] + in_r[n]) * kInput;
            float y = 0.0f;
            for (Comb &cb : combs) {
                float v = cb.line[cb.pos];
                cb.store = v * (1.0f - kDamp) + cb.store * kDamp;
                if (std::fabs(cb.store) < 1e-15f) cb.store = 0.0f; // keep the tail out of denormals
                cb.line[cb.pos] = x + cb.store * kFeedback;
                if (++cb.pos == cb.line.size()) cb.pos = 0;
                y += v;
            }
            for (Allpass &ap : passes) {
                float v = ap.line[ap.pos];
                ap.line[ap.pos] = y + v * 0.5f;
                y = v - y;
                if (++ap.pos == ap.line.size()) ap.pos = 0;
            }
            out[n] = y;
        }
    }
}

// Look-ahead peak limiter: the gain falls linearly over the look-ahead before a peak and recovers
// smoothly after it, and never lets |sample| exceed the ceiling. Works on both channels together.
void limiter_process(std::vector<float> &l, std::vector<float> &r, float ceiling) {
    constexpr double kAttackSeconds = 0.003, kReleaseSeconds = 0.08;
    const size_t count = l.size();
    std::vector<float> gain(count);
    for (size_t i = 0; i < count; ++i) {
        float peak = std::max(std::fabs(l[i]), std::fabs(r[i]));
        gain[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    const float attack_step = static_cast<float>(1.0 / (kAttackSeconds * kSampleRate));
    for (size_t i = count - 1; i-- > 0;)
        gain[i] = std::min(gain[i], gain[i + 1] + attack_step);
    const float release = static_cast<float>(1.0 - std::exp(-1.0 / (kReleaseSeconds * kSampleRate)));
    for (size_t i = 1; i < count; ++i)
        gain[i] = std::min(gain[i], gain[i - 1] + (1.0f - gain[i - 1]) * release);
    for (size_t i = 0; i < count; ++i) {
        l[i] *= gain[i];
        r[i] *= gain[i];
    }
}

// Sums the buses and effects, removes DC, drives into the limiter and fades the last moment.
void master_process(Mix &m, std::vector<float> &out_l, std::vector<float> &out_r) {
    constexpr float kDelayReturn = 0.8f, kReverbReturn = 1.3f;
    constexpr double kLoudestBarDb = -12.0; // RMS of the loudest bar before limiting
    constexpr double kCeilingDb = -2.0;     // Vorbis adds up to ~1 dB on noisy transients: -1 dB decoded
    constexpr double kFadeSeconds = 0.25;

    std::vector<float> echo_l, echo_r, room_l, room_r;
    delay_process(m.delay, echo_l, echo_r);
    for (size_t i = 0; i < echo_l.size(); ++i) { // echoes are also heard in the room
        m.reverb_l[i] += 0.3f * echo_l[i];
        m.reverb_r[i] += 0.3f * echo_r[i];
    }
    reverb_process(m.reverb_l, m.reverb_r, room_l, room_r);

    const size_t count = static_cast<size_t>(kTotalFrames);
    out_l.assign(count, 0.0f);
    out_r.assign(count, 0.0f);
    double dc_l = 0.0, dc_r = 0.0;
    const double dc_coeff = 1.0 - std::exp(-2.0 * kPi * 20.0 / kSampleRate);
    const size_t fade_first = count - static_cast<size_t>(kFadeSeconds * kSampleRate);
    for (size_t i = 0; i < count; ++i) {
        double l =
            m.drum_l[i] + m.music_l[i] * m.duck[i] + kDelayReturn * echo_l[i] + kReverbReturn * room_l[i];
        double r =
            m.drum_r[i] + m.music_r[i] * m.duck[i] + kDelayReturn * echo_r[i] + kReverbReturn * room_r[i];
        dc_l += dc_coeff * (l - dc_l);
        dc_r += dc_coeff * (r - dc_r);
        l -= dc_l;
        r -= dc_r;
        if (i >= fade_first) {
            double x = static_cast<double>(i - fade_first) / static_cast<double>(count - fade_first);
            double g = 0.5 + 0.5 * std::cos(kPi * x);
            l *= g;
            r *= g;
        }
        out_l[i] = static_cast<float>(l);
        out_r[i] = static_cast<float>(r);
    }
    // Level is set by loudness, not by the single highest peak, so one transient cannot make
    // the whole piece quiet; the limiter then catches the peaks.
    const size_t bar_frames = static_cast<size_t>(kBarSeconds * kSampleRate);
    double loudest = 0.0;
    for (size_t first = 0; first + bar_frames <= count; first += bar_frames) {
        double sum = 0.0;
        for (size_t i = first; i < first + bar_frames; ++i)
            sum += static_cast<double>(out_l[i]) * out_l[i] + static_cast<double>(out_r[i]) * out_r[i];
        loudest = std::max(loudest, std::sqrt(sum / (2.0 * bar_frames)));
    }
    if (loudest > 0.0) {
        float drive = static_cast<float>(std::pow(10.0, kLoudestBarDb / 20.0) / loudest);
        for (size_t i = 0; i < count; ++i) {
            out_l[i] *= drive;
            out_r[i] *= drive;
        }
    }
    limiter_process(out_l, out_r, static_cast<float>(std::pow(10.0, kCeilingDb / 20.0)));
}

// ---------------------------------------------------------------------------------------------
// WAV output.

void wav_put_u32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void wav_put_u16(std::vector<uint8_t> &b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

int16_t wav_sample(float x) {
    long v = std::lround(static_cast<double>(x) * 32767.0);
    return static_cast<int16_t>(std::max(-32767L, std::min(32767L, v)));
}

// Writes 16-bit stereo PCM; returns false when the file cannot be written.
bool wav_write(const char *path, const std::vector<float> &l, const std::vector<float> &r) {
    const uint32_t data_bytes = static_cast<uint32_t>(l.size() * 4);
    std::vector<uint8_t> b;
    b.reserve(44 + data_bytes);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    wav_put_u32(b, 36 + data_bytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    wav_put_u32(b, 16);
    wav_put_u16(b, 1); // PCM
    wav_put_u16(b, 2);
    wav_put_u32(b, kSampleRate);
    wav_put_u32(b, kSampleRate * 4);
    wav_put_u16(b, 4);
    wav_put_u16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    wav_put_u32(b, data_bytes);
    for (size_t i = 0; i < l.size(); ++i) {
        wav_put_u16(b, static_cast<uint16_t>(wav_sample(l[i])));
        wav_put_u16(b, static_cast<uint16_t>(wav_sample(r[i])));
    }
    FILE *f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bv_synth OUT.wav\n");
        return 2;
    }
    Score score = score_build();
    Mix mix = mix_make();
    for (const Note &note : score.notes)
        voice_render(mix, note);
    std::vector<float> left, right;
    master_process(mix, left, right);
    if (!wav_write(argv[1], left, right)) {
        std::fprintf(stderr, "bv_synth: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
