// The page's side of a studio worker: calls with a time limit each. An answer that does not come
// in time means the worker is stuck in a document that takes too long: it is terminated, a new one
// started, and the page told why (it then hands the new worker the files again).

export class WorkerLink {
  constructor(name, onNotice, onRestart) {
    this.name = name;
    this.onNotice = onNotice;   // (message) for pushed messages (the program's log)
    this.onRestart = onRestart; // (why) after a new worker was started
    this.pending = new Map();
    this.nextId = 1;
    this.took = {}; // op -> seconds its last call took, queue included
    this.start();
  }

  start() {
    this.worker = new Worker("studio_worker.js");
    this.worker.onmessage = (event) => this.receive(event.data);
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.restart("the " + this.name + " worker failed: " + (event.message || "no reason given"));
    };
  }

  receive(m) {
    if (m.id === undefined) {
      this.onNotice(m);
      return;
    }
    const p = this.pending.get(m.id);
    if (!p) return;
    this.pending.delete(m.id);
    clearTimeout(p.timer);
    this.took[p.op] = (performance.now() - p.sent) / 1000;
    p.resolve(m);
  }

  // Resolves with the answer, or rejects when it took longer than limitMs.
  call(op, args = {}, limitMs = 10000, transfer = []) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        const why = "the " + this.name + " worker took more than " + (limitMs / 1000) + " s over " + op +
          ": it was stopped and started again";
        reject(new Error(why));
        this.restart(why);
      }, limitMs);
      this.pending.set(id, {resolve, reject, timer, op, sent: performance.now()});
      this.worker.postMessage(Object.assign({id, op}, args), transfer);
    });
  }

  restart(why) {
    this.worker.terminate();
    for (const p of this.pending.values()) {
      clearTimeout(p.timer);
      p.reject(new Error(why));
    }
    this.pending.clear();
    this.start();
    this.onRestart(why);
  }
}
