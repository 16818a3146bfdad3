// The engine's frame on the page (studio_frame.js, made by createStudioFrame): a package loaded in
// place of the scene on screen, the demo drawn at a time. A load that passes its time limit stops
// the program; a fresh one is made on a new canvas, and the next load starts from nothing.

export const FRAME_WIDTH = 640, FRAME_HEIGHT = 360;

export class Frame {
  constructor(holder, log) {
    this.holder = holder;
    this.log = log;
    this.module = null;
    this.loaded = false;
  }

  async start() {
    const canvas = document.createElement("canvas");
    canvas.addEventListener("webglcontextlost", (e) => e.preventDefault());
    // The frame is drawn once per change and then stands: its buffer is kept as drawn (a browser
    // may otherwise hand a later read of the canvas, a screenshot, a cleared one).
    const getContext = canvas.getContext.bind(canvas);
    canvas.getContext = (type, attributes) => getContext(type, Object.assign({}, attributes, {preserveDrawingBuffer: true}));
    this.holder.replaceChildren(canvas);
    this.canvas = canvas;
    this.loaded = false;
    const module = await createStudioFrame({
      canvas,
      // The keys are the editor's and the page's: the engine reads none.
      doNotCaptureKeyboard: true,
      print: (text) => this.log(String(text)),
      printErr: (text) => this.log(String(text)),
      onAbort: () => { this.dead = true; },
    });
    this.module = module;
    this.dead = false;
    if (!module._bv_frame_open(FRAME_WIDTH, FRAME_HEIGHT)) throw new Error("the page cannot make a WebGL 2 canvas");
  }

  // Loads a package (Uint8Array) beside the scene on screen; {ok, error, log}. commit() then shows
  // it, discard() forgets it; on failure the last scene stays.
  async load(bytes, limitMs) {
    const m = this.module;
    const at = m._malloc(Math.max(1, bytes.length));
    m.HEAPU8.set(bytes, at);
    let ok = false, error = "", log = "";
    try {
      ok = m._bv_frame_load(at, bytes.length, limitMs) === 1;
      error = m.UTF8ToString(m._bv_frame_error());
      log = m.UTF8ToString(m._bv_frame_log());
      m._free(at);
    } catch (e) {
      // Stopped at its time limit (or failed outright): a fresh program, nothing loaded.
      error = this.dead ? "demo.xml took more than " + limitMs / 1000 + " s to load: the load was stopped"
        : "the frame program failed: " + (e && e.message || e);
      await this.start();
      return {ok: false, error, log, restarted: true};
    }
    return {ok, error, log};
  }

  commit() {
    if (this.module._bv_frame_commit()) this.loaded = true;
  }

  discard() { this.module._bv_frame_discard(); }

  musicOffset() { return this.module._bv_frame_music_offset(); }
  end() { return this.module._bv_frame_end(); }

  // Draws demo time ms; restart after a jump in time. Layers drawn.
  draw(ms, restart) {
    if (!this.loaded) return 0;
    return this.module._bv_frame_draw(Math.max(0, Math.floor(ms)), restart ? 1 : 0);
  }
}
