// studio.html's script: a demo's documents in the editor, the frame at the playhead beside them,
// the timeline under it with the music following, and the package made of what is typed. Two
// workers run the language service: one answers as the author types and makes the package, the
// other draws the timeline, decodes the music and runs the slow checks (the files,
// the texture graph) once the text rests.
// window.studio is the scripting face (tests, automation).
import {Editor} from "./studio_editor.mjs";
import {Frame} from "./studio_frame.mjs";
import {Music} from "./studio_audio.mjs";
import {Timeline} from "./studio_timeline.mjs";
import {WorkerLink} from "./studio_worker_link.mjs";
import {openDropped, openManifest, openPicked, saveBlob, saveInPlace} from "./studio_files.mjs";
import {zipBlob} from "./studio_zip.mjs";

const DOCUMENTS = ["demo.xml", "loading.xml"];
// The text rests this long before the slow checks run: they take the texture graph through the
// engine, and on a machine of few cores they would slow the frame of the next keystroke.
const REST_MS = 500;
// How long a load of the frame and each worker call may take before it is stopped; the page's
// ?load=MS, ?worker=MS (every call) and ?OP=MS (one kind of call: ?slow=MS) set others (a slow
// machine, the tests of the limits themselves).
const QUERY = new URLSearchParams(location.search);
const LOAD_LIMIT_MS = Number(QUERY.get("load")) || 20000;
const LIMITS = {open: 60000, edit: 10000, lsp: 10000, build: 20000, timeline: 60000, slow: 60000, file: 20000};
for (const op in LIMITS) LIMITS[op] = Number(QUERY.get(op)) || Number(QUERY.get("worker")) || LIMITS[op];

const $ = (id) => document.getElementById(id);

const state = {
  files: new Map(),   // name -> Uint8Array: the folder's files but the documents
  versions: {},       // document -> version of its text
  title: "demo",
  folderHandle: null, // a folder picked through the File System Access API
  time: 0,            // demo ms at the playhead
  playing: false,
  clock: null,
  loop: null,         // {from, to} in ms
  looping: false,
  end: 0,             // ms: where the demo ends
  built: {version: -1, bytes: null, report: null},
  drawn: {key: null},
  pendingFrames: [],
  problem: "",
  musicVersion: -1,
  opened: false,
  loadCount: 0,
};

function log(text) {
  const panel = $("log");
  panel.textContent += text.endsWith("\n") ? text : text + "\n";
  if (panel.textContent.length > 100000) panel.textContent = panel.textContent.slice(-50000);
  panel.scrollTop = panel.scrollHeight;
}

function status(text) { $("status").textContent = text; }

function showProblem(text) {
  state.problem = text;
  $("problem").textContent = text;
}

function uri(name) { return "file:///studio/" + name; }

function timeText(ms) {
  const h = Math.floor(ms / 10);
  return (h / 100).toFixed(2) + " s (" + h + ")";
}

// ------------------------------------------------------------------------------------------------
// The workers.

const fast = new WorkerLink("language", onWorkerNotice, (why) => workerRestarted(fast, why));
const slow = new WorkerLink("slow checks", onWorkerNotice, (why) => workerRestarted(slow, why));

function onWorkerNotice(m) {
  if (m.op === "log") log(m.text);
}

// A new worker knows nothing: it gets the files and the documents again.
async function workerRestarted(link, why) {
  showProblem(why);
  log(why);
  if (!state.opened) return;
  // A worker that stops again while it is handed the files is not started over and over.
  link.restarts = (link.restarts || 0) + 1;
  if (link.restarts > 3) {
    showProblem(why + "; it keeps stopping: open the demo again, or reload the page");
    return;
  }
  try {
    await introduce(link);
    link.restarts = 0;
  } catch (e) {
    log(e.message);
  }
}

function fileList() {
  const list = [];
  for (const [name, bytes] of state.files) list.push([name, bytes]);
  for (const name of editor.names()) list.push([name, new TextEncoder().encode(editor.text(name))]);
  return list;
}

async function introduce(link) {
  await link.call("open", {files: fileList()}, LIMITS.open);
  await lsp(link, "initialize", {processId: null, rootUri: "file:///studio", capabilities: {}});
  notify(link, "initialized", {});
  for (const name of editor.names()) {
    if (link === fast) told[name] = state.versions[name];
    handleMessages(link, (await link.call("lsp", {message: {jsonrpc: "2.0", method: "textDocument/didOpen",
      params: {textDocument: {uri: uri(name), languageId: "xml", version: state.versions[name],
        text: editor.text(name)}}}}, LIMITS.lsp)).messages);
  }
}

let lspId = 1;
async function lsp(link, method, params) {
  if (link === fast) syncLanguage();
  const id = lspId++;
  const answer = await link.call("lsp", {message: {jsonrpc: "2.0", id, method, params}}, LIMITS.lsp);
  let result = null;
  for (const m of answer.messages) {
    if (m.id === id) {
      if (m.error) throw new Error(m.error.message);
      result = m.result;
    }
  }
  handleMessages(link, answer.messages);
  return result;
}

function notify(link, method, params) {
  return link.call("lsp", {message: {jsonrpc: "2.0", method, params}}, LIMITS.lsp)
    .then((a) => handleMessages(link, a.messages), () => {});
}

const diagnostics = {fast: new Map(), slow: new Map()}; // name -> {version, list}

function handleMessages(link, messages) {
  for (const m of messages) {
    if (m.method === "textDocument/publishDiagnostics") {
      const name = m.params.uri.replace("file:///studio/", "");
      const from = link === slow ? diagnostics.slow : diagnostics.fast;
      from.set(name, {version: m.params.version, list: m.params.diagnostics});
      showDiagnostics(name);
    } else if (m.method === "window/showMessage" || m.method === "window/logMessage") {
      log(m.params.message);
    }
  }
}

// The fast worker's findings, or the slow worker's (which hold them too) when made for this text.
function currentDiagnostics(name) {
  const f = diagnostics.fast.get(name), s = diagnostics.slow.get(name);
  if (s && s.version === state.versions[name]) return s.list;
  return f ? f.list : [];
}

function showDiagnostics(name) {
  editor.setDiagnostics(name, currentDiagnostics(name));
}

// ------------------------------------------------------------------------------------------------
// Editing: every change goes to both workers; the package is made again and the frame reloaded
// with the newest text, the timeline with it; the slow checks once the text rests.

let restTimer = null, building = false, buildAgain = false, timelineWanted = false;

function changed(name, text) {
  state.editedAt = performance.now();
  state.versions[name] = (state.versions[name] || 0) + 1;
  const version = state.versions[name];
  // The fast worker takes the text for the package at once; its language service hears of it
  // after the package is made (syncLanguage), and the frame loads while it checks.
  fast.call("put", {name, bytes: new TextEncoder().encode(text)}, LIMITS.edit)
    .then((a) => { if (a.error) showProblem(a.error); }, () => {});
  slow.call("put", {name, bytes: new TextEncoder().encode(text)}, LIMITS.edit).catch(() => {}); // checked at rest
  if (name === "demo.xml") timelineWanted = true;
  clearTimeout(restTimer);
  restTimer = setTimeout(runSlowChecks, REST_MS);
  rebuild();
}

// The fast worker's language service told of each document's newest text (before any request
// about it: the worker answers in order). Resolves when it has checked it.
const told = {};
function syncLanguage() {
  return Promise.all(editor.names().map((name) => {
    if (told[name] === state.versions[name]) return null;
    told[name] = state.versions[name];
    return fast.call("lsp", {message: {jsonrpc: "2.0", method: "textDocument/didChange", params: {
      textDocument: {uri: uri(name), version: state.versions[name]}, contentChanges: [{text: editor.text(name)}]}}},
    LIMITS.edit).then((a) => handleMessages(fast, a.messages), () => {});
  }));
}

function textKey() { return DOCUMENTS.map((n) => state.versions[n] || 0).join("."); }

// The slow worker's language service hears of the texts only now, once they rest.
async function runSlowChecks() {
  try {
    for (const name of editor.names())
      await slow.call("edit", {name, text: editor.text(name), uri: uri(name), version: state.versions[name]}, LIMITS.edit);
    handleMessages(slow, (await slow.call("slow", {}, LIMITS.slow)).messages);
  } catch (e) { /* the link says why */ }
}

async function rebuild() {
  if (building) {
    buildAgain = true;
    return;
  }
  building = true;
  try {
    do {
      buildAgain = false;
      const key = textKey();
      let answer;
      const asked = performance.now();
      const building = fast.call("build", {}, LIMITS.build);
      const versions = Object.assign({}, state.versions);
      const checked = syncLanguage(); // the worker checks the text while the frame loads
      try {
        answer = await building;
      } catch (e) {
        showProblem(e.message);
        settleFrames(key);
        continue;
      }
      if (buildAgain) continue; // a newer text is on its way: load that one
      state.built = {key, bytes: answer.bytes, report: answer.report};
      if (!answer.report.ok) {
        const f = answer.report.findings[0];
        showProblem("Not reloaded, the last frame stays: " + answer.report.error +
          (f ? " (" + f.file + " line " + f.line + ": " + f.message + ")" : ""));
        settleFrames(key);
        continue;
      }
      const built = performance.now();
      await loadFrame(answer.bytes, key, checked, versions);
      // What the last reload took: the worker's package (after the edits before it) and the frame's load.
      state.timings = {package: (built - asked) / 1000, load: (performance.now() - built) / 1000,
        sinceEdit: (performance.now() - state.editedAt) / 1000};
      if (timelineWanted && !buildAgain) refreshTimeline(); // not waited for: the next edit may come first
    } while (buildAgain);
  } finally {
    building = false;
  }
}

// A structural finding of demo.xml (an error, not a rule's warning) for the text being loaded:
// the preview does not load such a text, nor does the studio.
function errorsIn(name, version) {
  const f = diagnostics.fast.get(name);
  if (!f || f.version !== version) return null;
  return f.list.find((d) => d.severity === 1) || null;
}

// Loads the package beside the scene on screen and shows it once the check of the same text
// finds nothing structural: the preview does not load a text the check refuses, nor does this.
async function loadFrame(bytes, key, checked, versions) {
  const started = performance.now();
  const r = await frame.load(bytes, LOAD_LIMIT_MS);
  state.loadCount++;
  if (r.log) log(r.log);
  if (!r.ok) {
    showProblem("Not reloaded, the last frame stays: " + r.error);
    settleFrames(key);
    return;
  }
  await checked;
  const blocking = errorsIn("demo.xml", versions["demo.xml"]);
  if (blocking) {
    frame.discard();
    showProblem("Not reloaded, the last frame stays: demo.xml line " + (blocking.range.start.line + 1) + ": " + blocking.message);
    settleFrames(key);
    return;
  }
  frame.commit();
  showProblem("");
  state.musicOffset = frame.musicOffset();
  music.offsetMs = state.musicOffset;
  if (!state.endFromTimeline) state.end = frame.end() * 10;
  draw(true, key);
  status("loaded in " + ((performance.now() - started) / 1000).toFixed(2) + " s");
}

function settleFrames(key) {
  // The text stays as it is shown: frame() resolves with the last frame kept.
  state.drawn = {key, time: state.time, ok: false};
  resolveFrames();
}

// ------------------------------------------------------------------------------------------------
// The frame, the playhead and the music.

function draw(restart, key) {
  frame.draw(state.time, restart);
  state.drawn = {key: key || state.drawn.key, time: state.time, ok: true};
  $("time").textContent = timeText(state.time);
  timeline.showTime(state.time);
  resolveFrames();
}

// frame() promises resolve once what is drawn is the current text at the current time, and the
// browser has put it on screen.
function resolveFrames() {
  if (state.drawn.key !== textKey() || state.drawn.time !== state.time) return;
  const waiting = state.pendingFrames.splice(0);
  if (!waiting.length) return;
  const info = {ok: state.drawn.ok, time: state.time, problem: state.problem};
  requestAnimationFrame(() => requestAnimationFrame(() => waiting.forEach((w) => w(info))));
}

function seek(ms) {
  state.time = Math.max(0, Math.min(Math.round(ms), state.end || Infinity));
  if (state.playing) startPlaying();
  draw(true);
}

function startPlaying() {
  state.playing = true;
  state.clock = music.play(state.time);
}

function pause() {
  state.playing = false;
  music.stopSource();
}

function tick() {
  if (state.playing && state.clock) {
    let t = state.clock();
    if (state.looping && state.loop && t >= state.loop.to) {
      state.time = state.loop.from;
      startPlaying();
      draw(true);
    } else if (state.end && t >= state.end) {
      pause();
      state.time = state.end;
      draw(false);
    } else {
      state.time = Math.floor(t);
      draw(false);
    }
  }
  requestAnimationFrame(tick);
}

let timelineBusy = false;

async function refreshTimeline() {
  if (timelineBusy) return; // the one under way is followed by another (timelineWanted)
  timelineBusy = true;
  try {
    while (timelineWanted) await drawTimeline();
  } finally {
    timelineBusy = false;
  }
}

async function drawTimeline() {
  timelineWanted = false;
  let answer;
  try {
    // The slow worker draws it: the fast one stays free for the next keystroke's package.
    answer = await slow.call("timeline", {width: 640, musicVersion: state.musicVersion}, LIMITS.timeline);
  } catch (e) {
    return;
  }
  const t = answer.timeline;
  if (t.error) return; // the frame's problem says it already
  timeline.show(t);
  state.end = t.end * 10;
  state.endFromTimeline = true;
  if (answer.samples) {
    music.setSamples(answer.samples);
    state.musicVersion = t.music.version;
  } else if (t.music.status !== 0) {
    music.setSamples(null);
    state.musicVersion = t.music.version;
  }
  timeline.showTime(state.time);
  if (state.loop) timeline.showRange(state.loop.from, state.loop.to);
}

// ------------------------------------------------------------------------------------------------
// Opening and saving.

// files: {name: string | Uint8Array | ArrayBuffer}. A package (a name ending in dpk) without a
// demo.xml beside it is opened into its documents and files.
async function open(files, title) {
  const entries = [];
  let pkg = null;
  for (const [name, value] of Object.entries(files)) {
    const bytes = typeof value === "string" ? new TextEncoder().encode(value)
      : value instanceof Uint8Array ? value : new Uint8Array(value);
    if (/dpk$/i.test(name) && !("demo.xml" in files)) {
      pkg = bytes;
      title = title || name.replace(/\.?dpk$/i, "");
    } else {
      entries.push([name, bytes]);
    }
  }
  status("opening");
  pause();
  const answer = await fast.call("open", {files: entries, package: pkg}, LIMITS.open);
  if (answer.errors.length) log(answer.errors.join("\n"));
  if (!answer.texts["demo.xml"]) throw new Error("there is no demo.xml" + (pkg ? " in the package" : " among the files"));
  state.files = new Map();
  for (const [name] of answer.list) {
    if (DOCUMENTS.includes(name)) continue;
    const f = entries.find((e) => e[0] === name);
    state.files.set(name, f ? f[1] : (await fast.call("file", {name}, LIMITS.file)).bytes);
  }
  state.title = title || "demo";
  state.opened = true;
  diagnostics.fast.clear();
  diagnostics.slow.clear();
  editor.states.clear();
  editor.name = null;
  for (const name of DOCUMENTS) {
    if (answer.texts[name] === undefined) continue;
    state.versions[name] = 1;
    editor.open(name, answer.texts[name]);
  }
  showTabs();
  await introduce(fast);
  await introduce(slow);
  state.time = 0;
  state.loop = null;
  state.looping = false;
  state.endFromTimeline = false;
  timeline.showRange(null);
  timelineWanted = true;
  clearTimeout(restTimer);
  restTimer = setTimeout(runSlowChecks, REST_MS);
  document.title = "studio: " + state.title;
  await rebuild();
  status("opened " + state.title);
}

function showTabs() {
  const tabs = $("tabs");
  tabs.replaceChildren();
  for (const name of editor.names()) {
    const b = document.createElement("button");
    b.className = "tab" + (name === editor.name ? " active" : "");
    b.textContent = name;
    b.onclick = () => { editor.show(name); showTabs(); };
    tabs.appendChild(b);
  }
}

async function packageBytes() {
  if (state.built.key === textKey() && state.built.bytes) return state.built.bytes;
  const answer = await fast.call("build", {}, LIMITS.build);
  if (!answer.report.ok) throw new Error(answer.report.error);
  return answer.bytes;
}

function musicEntries() {
  return [...state.files].filter(([name]) => /\.ogg$/i.test(name)).map(([name, bytes]) => [name.replace(/^music\//, ""), bytes]);
}

const saves = {
  zip: () => saveBlob(zipBlob(fileList().map(([n, b]) => [state.title + "/" + n, b])), state.title + ".zip"),
  package: async () => saveBlob(new Blob([await packageBytes()]), state.title + ".dpk"),
  bundle: async () => saveBlob(zipBlob([[state.title + "/" + state.title + ".dpk", await packageBytes()],
    ...musicEntries().map(([n, b]) => [state.title + "/" + n, b])]), state.title + "-package.zip"),
  place: async () => {
    await saveInPlace(state.folderHandle, DOCUMENTS.filter((n) => editor.text(n) !== null).map((n) => [n, editor.text(n)]));
    status("saved into the folder");
  },
};

// ------------------------------------------------------------------------------------------------
// The page.

const editor = new Editor($("editor"), {
  lsp: (method, params) => lsp(fast, method, params),
  uri,
  changed,
  notice: (text) => status(text),
  ask: (question, value) => window.prompt(question, value),
  menu: (x, y, titles) => new Promise((resolve) => {
    const box = $("actions");
    box.replaceChildren(...titles.map((t, i) => {
      const d = document.createElement("div");
      d.textContent = t;
      d.onmousedown = (e) => { e.preventDefault(); box.style.display = "none"; resolve(i); };
      return d;
    }));
    box.style.left = x + "px";
    box.style.top = y + "px";
    box.style.display = "block";
    const away = (e) => {
      if (box.contains(e.target)) return;
      box.style.display = "none";
      document.removeEventListener("mousedown", away, true);
      resolve(-1);
    };
    document.addEventListener("mousedown", away, true);
  }),
});
const frame = new Frame($("frame-holder"), log);
const music = new Music();
const timeline = new Timeline($("timeline"), $("timeline-picture"), $("playhead"), $("loop"),
  (ms) => seek(ms), (from, to) => { state.loop = {from, to}; state.looping = true; timeline.showRange(from, to); });

document.addEventListener("keydown", (e) => {
  if (e.target.closest && (e.target.closest(".cm-editor") || e.target.tagName === "INPUT")) return;
  if (e.key === " ") {
    if (state.playing) pause(); else startPlaying();
    e.preventDefault();
  } else if (e.key === "Home") {
    seek(0);
    e.preventDefault();
  } else if (e.key === "ArrowLeft" || e.key === "ArrowRight") {
    // As the preview: 1 s, with Shift 10 s, with Ctrl one frame at 60 fps.
    const step = e.ctrlKey ? 1000 / 60 : e.shiftKey ? 10000 : 1000;
    seek(state.time + (e.key === "ArrowLeft" ? -step : step));
    e.preventDefault();
  } else if (e.key === "l" || e.key === "L") {
    state.looping = !state.looping && !!state.loop;
    timeline.showRange(state.looping ? state.loop.from : null, state.looping ? state.loop.to : null);
  }
});

function guard(action) {
  return () => Promise.resolve().then(action).catch((e) => { showProblem(e.message); log(e.message); });
}
$("save-zip").onclick = guard(saves.zip);
$("save-package").onclick = guard(saves.package);
$("save-bundle").onclick = guard(saves.bundle);
$("save-place").onclick = guard(saves.place);
$("open-package").onclick = () => $("pick-package").click();
$("open-folder").onclick = guard(async () => {
  if (window.showDirectoryPicker) {
    const picked = await openPicked(await window.showDirectoryPicker({mode: "readwrite"}));
    state.folderHandle = picked.handle;
    $("save-place").hidden = false;
    await open(picked.files, picked.title);
  } else {
    $("pick-folder").click();
  }
});
for (const id of ["pick-folder", "pick-package"]) {
  $(id).onchange = guard(async () => {
    const picked = await openDropped([...$(id).files]);
    $(id).value = "";
    state.folderHandle = null;
    $("save-place").hidden = true;
    await open(picked.files, picked.title);
  });
}
document.addEventListener("dragover", (e) => { e.preventDefault(); $("drop").style.display = "flex"; });
document.addEventListener("dragleave", (e) => { if (!e.relatedTarget) $("drop").style.display = "none"; });
document.addEventListener("drop", (e) => {
  e.preventDefault();
  $("drop").style.display = "none";
  guard(async () => {
    const picked = await openDropped(e.dataTransfer.items);
    state.folderHandle = null;
    $("save-place").hidden = true;
    await open(picked.files, picked.title);
  })();
});

window.studio = {
  open: (files, title) => open(files, title),
  text: (name) => editor.text(name),
  setText: (name, text) => editor.setText(name, text),
  seek: (ms) => seek(ms),
  time: () => state.time,
  frame: () => new Promise((resolve) => { state.pendingFrames.push(resolve); resolveFrames(); }),
  diagnostics: (name) => currentDiagnostics(name),
  package: () => packageBytes(),
  place: (name, line, column) => editor.place(name, line, column),
  problem: () => state.problem,
  // Whether it plays, and the sound's side: the audio context's state and clock (s), and whether a
  // source of the music is scheduled.
  transport: () => ({playing: state.playing, audio: music.context ? music.context.state : "none",
    heard: music.context ? music.context.currentTime : 0, sounding: !!music.source}),
  timings: () => Object.assign({workers: {fast: fast.took, slow: slow.took}}, state.timings),
  ready: false,
};

(async () => {
  try {
    await frame.start();
    requestAnimationFrame(tick);
    const manifest = await openManifest();
    if (manifest) await open(manifest.files, manifest.title);
    else status("drop a demo folder or a package with its music on the page, or open one");
    window.studio.ready = true;
    document.title = "studio ready" + (manifest ? ": " + state.title : "");
  } catch (e) {
    showProblem(e.message);
    document.title = "studio failed: " + e.message;
  }
})();
