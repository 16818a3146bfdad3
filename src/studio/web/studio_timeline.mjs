// The timeline under the frame: the worker's picture of it (bvtool timeline's SVG) with a playhead.
// Dragging seeks, Shift-dragging marks a range to loop; where times stand comes with the picture.

export class Timeline {
  constructor(box, picture, playhead, loop, onSeek, onRange) {
    this.box = box;
    this.picture = picture;
    this.playhead = playhead;
    this.loop = loop;
    this.onSeek = onSeek;   // (ms)
    this.onRange = onRange; // (fromMs, toMs)
    this.axis = null;
    let dragging = null;
    box.addEventListener("pointerdown", (e) => {
      if (!this.axis || e.button !== 0) return;
      box.setPointerCapture(e.pointerId);
      box.focus();
      dragging = {range: e.shiftKey, from: this.msAt(e)};
      if (!dragging.range) onSeek(dragging.from);
      e.preventDefault();
    });
    box.addEventListener("pointermove", (e) => {
      if (!dragging) return;
      const ms = this.msAt(e);
      if (dragging.range) this.showRange(Math.min(dragging.from, ms), Math.max(dragging.from, ms));
      else onSeek(ms);
    });
    const stop = (e) => {
      if (!dragging) return;
      const ms = this.msAt(e);
      if (dragging.range && Math.abs(ms - dragging.from) > 10) onRange(Math.min(dragging.from, ms), Math.max(dragging.from, ms));
      dragging = null;
    };
    box.addEventListener("pointerup", stop);
    box.addEventListener("pointercancel", stop);
  }

  // t: the worker's answer ({svg, axis: {x0, x1, t0, t1} in pixels and hundredths}).
  show(t) {
    this.picture.innerHTML = t.svg;
    this.axis = t.axis;
  }

  msAt(event) {
    const r = this.picture.getBoundingClientRect(), a = this.axis;
    const x = event.clientX - r.left;
    const hundredths = a.x1 > a.x0 ? a.t0 + (x - a.x0) * (a.t1 - a.t0) / (a.x1 - a.x0) : a.t0;
    return Math.max(0, Math.round(hundredths * 10));
  }

  xOf(ms) {
    const a = this.axis;
    if (!a) return 0;
    return a.t1 > a.t0 ? a.x0 + (ms / 10 - a.t0) * (a.x1 - a.x0) / (a.t1 - a.t0) : a.x0;
  }

  showTime(ms) {
    this.playhead.style.left = (this.xOf(ms) - 1) + "px";
  }

  showRange(fromMs, toMs) {
    if (fromMs === null) {
      this.loop.hidden = true;
      return;
    }
    this.loop.hidden = false;
    this.loop.style.left = this.xOf(fromMs) + "px";
    this.loop.style.width = Math.max(1, this.xOf(toMs) - this.xOf(fromMs)) + "px";
  }
}
