// The music on the page, following the playhead: the worker's samples (decoded and resampled as
// the player does, 44.1 kHz stereo) in a Web Audio buffer, started at the sample that the player
// would hand the device at that demo time. While playing, the demo clock is the audio clock.

const RATE = 44100;
const LEADING_SILENCE_FRAMES = 2048; // the player's ring hands the device this much silence first

export class Music {
  constructor() {
    this.context = null;
    this.buffer = null;
    this.source = null;
    this.offsetMs = 125;
  }

  // samples: Int16Array of interleaved stereo, or null for none.
  setSamples(samples) {
    this.stopSource();
    this.buffer = null;
    if (!samples || samples.length < 2) return;
    const ctx = this.ensureContext();
    if (!ctx) return;
    const frames = samples.length >> 1;
    const buffer = ctx.createBuffer(2, frames, RATE);
    const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    for (let i = 0; i < frames; i++) {
      left[i] = samples[2 * i] / 32768;
      right[i] = samples[2 * i + 1] / 32768;
    }
    this.buffer = buffer;
  }

  ensureContext() {
    if (this.context) return this.context;
    try {
      this.context = new AudioContext({sampleRate: RATE});
    } catch (e) {
      this.context = null;
    }
    return this.context;
  }

  // Starts the sound for demo time fromMs; returns a clock (demo ms now) that follows the audio.
  play(fromMs) {
    this.stopSource();
    const ctx = this.ensureContext();
    const wall = performance.now();
    if (!ctx) return () => fromMs + (performance.now() - wall);
    if (ctx.state !== "running") ctx.resume();
    const lead = 0.03; // seconds for the start to be scheduled
    const startAt = ctx.currentTime + lead;
    if (this.buffer) {
      const frame = (fromMs - this.offsetMs) * RATE / 1000 - LEADING_SILENCE_FRAMES;
      const source = ctx.createBufferSource();
      source.buffer = this.buffer;
      source.connect(ctx.destination);
      if (frame >= 0) {
        if (frame < this.buffer.length) source.start(startAt, frame / RATE);
      } else {
        source.start(startAt - frame / RATE, 0);
      }
      this.source = source;
    }
    // Until the context runs, the wall clock stands in.
    return () => {
      if (ctx.state !== "running") return fromMs + (performance.now() - wall);
      return fromMs + Math.max(0, ctx.currentTime - startAt) * 1000;
    };
  }

  stopSource() {
    if (this.source) {
      try { this.source.stop(); } catch (e) { /* never started */ }
      this.source.disconnect();
      this.source = null;
    }
  }
}
