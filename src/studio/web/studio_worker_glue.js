// The worker's side of the studio (placed before emscripten's output in studio_worker.js): the
// page's messages {id, op, ...} answered with {id, ...} once the program's main has run. Text goes in and out
// through the program's heap as UTF-8; file bytes are copied in and handed back as transferred
// buffers. Each call runs to its end: the page bounds how long it waits and starts a new worker.
var Module = typeof Module !== "undefined" ? Module : {};
(function () {
  var ready = false, waiting = [];
  Module.print = function () {};
  Module.printErr = function (text) { postMessage({op: "log", text: String(text)}); };

  function withText(text, use) {
    var size = lengthBytesUTF8(text) + 1, at = Module._malloc(size);
    stringToUTF8(text, at, size);
    try { return use(at); } finally { Module._free(at); }
  }
  function withBytes(bytes, use) {
    var at = Module._malloc(Math.max(1, bytes.length));
    HEAPU8.set(bytes, at);
    try { return use(at); } finally { Module._free(at); }
  }
  function put(name, bytes) {
    return withText(name, function (n) {
      return withBytes(bytes, function (b) { return UTF8ToString(Module._bv_worker_put(n, b, bytes.length)); });
    });
  }
  function lsp(message) {
    return JSON.parse(withText(JSON.stringify(message), function (m) { return UTF8ToString(Module._bv_worker_lsp(m)); }));
  }
  function bytesOut(size) {
    return size < 0 ? null : HEAPU8.slice(Module._bv_worker_bytes(), Module._bv_worker_bytes() + size);
  }
  function list() { return JSON.parse(UTF8ToString(Module._bv_worker_list())); }
  function file(name) { return withText(name, function (n) { return bytesOut(Module._bv_worker_get(n)); }); }

  var ops = {
    // files: [[name, Uint8Array]]; package: Uint8Array or null (its documents inflated).
    open: function (m) {
      Module._bv_worker_clear();
      var errors = [];
      if (m.package) {
        var why = withBytes(m.package, function (b) { return UTF8ToString(Module._bv_worker_open_package(b, m.package.length)); });
        if (why) errors.push(why);
      }
      (m.files || []).forEach(function (f) { var why = put(f[0], f[1]); if (why) errors.push(why); });
      var texts = {};
      ["demo.xml", "loading.xml"].forEach(function (name) {
        var bytes = file(name);
        if (bytes) texts[name] = new TextDecoder().decode(bytes);
      });
      return {errors: errors, list: list(), texts: texts};
    },
    put: function (m) { return {error: put(m.name, m.bytes)}; },
    file: function (m) { var bytes = file(m.name); return {bytes: bytes, transfer: bytes ? [bytes.buffer] : []}; },
    list: function () { return {list: list()}; },
    lsp: function (m) { return {messages: lsp(m.message)}; },
    // A document's whole new text: held for the package and handed to the language service.
    edit: function (m) {
      var error = put(m.name, new TextEncoder().encode(m.text));
      var messages = error ? [] : lsp({jsonrpc: "2.0", method: "textDocument/didChange", params: {
        textDocument: {uri: m.uri, version: m.version}, contentChanges: [{text: m.text}]}});
      return {error: error, messages: messages};
    },
    slow: function () { return {messages: JSON.parse(UTF8ToString(Module._bv_worker_slow()))}; },
    build: function () {
      var report = JSON.parse(UTF8ToString(Module._bv_worker_build()));
      var bytes = report.ok ? bytesOut(report.size) : null;
      return {report: report, bytes: bytes, transfer: bytes ? [bytes.buffer] : []};
    },
    timeline: function (m) {
      var t = JSON.parse(UTF8ToString(Module._bv_worker_timeline(m.width, m.height || 0)));
      var samples = null;
      if (t.music && t.music.version !== m.musicVersion && t.music.status === 0) {
        var at = Module._bv_worker_music_samples() >> 1, n = Module._bv_worker_music_values();
        samples = HEAP16.slice(at, at + n);
      }
      return {timeline: t, samples: samples, transfer: samples ? [samples.buffer] : []};
    }
  };

  function handle(m) {
    var answer;
    try {
      answer = ops[m.op] ? ops[m.op](m) : {error: "unknown operation " + m.op};
    } catch (e) {
      answer = {error: "the worker failed: " + (e && e.message || e)};
    }
    var transfer = answer.transfer || [];
    delete answer.transfer;
    answer.id = m.id;
    postMessage(answer, transfer);
  }
  self.onmessage = function (event) {
    if (ready) handle(event.data); else waiting.push(event.data);
  };
  // After main, which sets the program's state up.
  Module.postRun = [function () {
    ready = true;
    postMessage({op: "ready"});
    waiting.splice(0).forEach(handle);
  }];
})();
