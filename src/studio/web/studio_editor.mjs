// The editor: CodeMirror 6 with the language service's answers (the protocol's JSON from the
// worker) through CodeMirror's own lint, tooltip, completion and decoration APIs: diagnostics,
// hovers, inlay hints, completion, going to a record, code actions and renaming. Positions are the
// protocol's lines and UTF-16 columns, which CodeMirror's offsets count in too.
import {autocompletion, completionKeymap} from "@codemirror/autocomplete";
import {defaultKeymap, history, historyKeymap, indentWithTab} from "@codemirror/commands";
import {xml} from "@codemirror/lang-xml";
import {bracketMatching, defaultHighlightStyle, syntaxHighlighting} from "@codemirror/language";
import {lintGutter, lintKeymap, setDiagnostics} from "@codemirror/lint";
import {EditorState, StateEffect, StateField} from "@codemirror/state";
import {Decoration, EditorView, WidgetType, drawSelection, highlightActiveLine, hoverTooltip, keymap,
  lineNumbers} from "@codemirror/view";

export function offsetOf(doc, position) {
  const line = Math.min(Math.max(position.line, 0), doc.lines - 1);
  const l = doc.line(line + 1);
  return Math.min(l.from + Math.max(0, position.character), l.to);
}

export function positionOf(doc, offset) {
  const l = doc.lineAt(offset);
  return {line: l.number - 1, character: offset - l.from};
}

class HintWidget extends WidgetType {
  constructor(text) { super(); this.text = text; }
  eq(other) { return other.text === this.text; }
  toDOM() {
    const span = document.createElement("span");
    span.className = "cm-inlay";
    span.textContent = this.text;
    return span;
  }
}

const setHints = StateEffect.define();
const hintField = StateField.define({
  create: () => Decoration.none,
  update(hints, tr) {
    hints = hints.map(tr.changes);
    for (const e of tr.effects) if (e.is(setHints)) hints = e.value;
    return hints;
  },
  provide: (f) => EditorView.decorations.from(f),
});

function hintLabel(h) {
  const text = typeof h.label === "string" ? h.label : h.label.map((p) => p.value).join("");
  return (h.paddingLeft ? " " : "") + text + (h.paddingRight ? " " : "");
}

function severityName(s) {
  return s === 1 ? "error" : s === 2 ? "warning" : s === 3 ? "info" : "hint";
}

// host: {lsp(method, params) -> Promise, uri(name), changed(name, text), open(name), menu(x, y,
// titles) -> Promise<index|-1>, ask(question, value) -> string|null, notice(text)}.
export class Editor {
  constructor(parent, host) {
    this.host = host;
    this.states = new Map();      // name -> EditorState
    this.diagnostics = new Map(); // name -> the protocol's diagnostics shown
    this.name = null;
    this.hintTimer = null;
    this.view = new EditorView({parent, state: EditorState.create({doc: ""})});
  }

  extensions(name) {
    const host = this.host;
    return [
      // Long records wrap: a document's lines are often whole records.
      lineNumbers(), history(), drawSelection(), highlightActiveLine(), bracketMatching(), xml(), EditorView.lineWrapping,
      syntaxHighlighting(defaultHighlightStyle), lintGutter(), hintField,
      autocompletion({override: [(ctx) => this.complete(name, ctx)]}),
      hoverTooltip((view, pos) => this.hover(name, view, pos), {hoverTime: 300}),
      keymap.of([
        {key: "F12", run: () => { this.definition(name); return true; }},
        {key: "Mod-.", run: () => { this.actions(name); return true; }},
        {key: "F2", run: () => { this.rename(name); return true; }},
        ...completionKeymap, ...lintKeymap, ...historyKeymap, ...defaultKeymap, indentWithTab]),
      EditorView.updateListener.of((u) => {
        if (this.name !== name) return;
        if (u.viewportChanged && !u.docChanged) this.askHints(name);
        if (!u.docChanged) return;
        this.states.set(name, u.state);
        host.changed(name, u.state.doc.toString());
        this.askHints(name);
      }),
      EditorView.domEventHandlers({
        mousedown: (e, view) => {
          if (!(e.ctrlKey || e.metaKey)) return false;
          const pos = view.posAtCoords({x: e.clientX, y: e.clientY});
          if (pos === null) return false;
          view.dispatch({selection: {anchor: pos}});
          this.definition(name);
          return true;
        },
      }),
    ];
  }

  open(name, text) {
    this.states.set(name, EditorState.create({doc: text, extensions: this.extensions(name)}));
    if (this.name === null || this.name === name) this.show(name);
  }

  names() { return [...this.states.keys()]; }

  show(name) {
    if (this.name !== null && this.states.has(this.name)) this.states.set(this.name, this.view.state);
    this.name = name;
    this.view.setState(this.states.get(name));
    this.applyDiagnostics(name);
    this.askHints(name);
  }

  text(name) {
    if (name === this.name) return this.view.state.doc.toString();
    const s = this.states.get(name);
    return s ? s.doc.toString() : null;
  }

  // The whole text replaced, as an edit the author made (it is reloaded and checked).
  setText(name, text) {
    if (name !== this.name) this.show(name);
    this.view.dispatch({changes: {from: 0, to: this.view.state.doc.length, insert: text}});
  }

  setDiagnostics(name, list) {
    this.diagnostics.set(name, list);
    if (name === this.name) this.applyDiagnostics(name);
  }

  applyDiagnostics(name) {
    const doc = this.view.state.doc;
    const list = (this.diagnostics.get(name) || []).map((d) => {
      const from = offsetOf(doc, d.range.start);
      return {from, to: Math.max(from, offsetOf(doc, d.range.end)), severity: severityName(d.severity),
        source: d.source, message: d.message};
    });
    this.view.dispatch(setDiagnostics(this.view.state, list));
  }

  askHints(name) {
    clearTimeout(this.hintTimer);
    this.hintTimer = setTimeout(async () => {
      if (this.name !== name) return;
      const doc = this.view.state.doc;
      // The lines on screen and a screenful either side: a document has thousands of hints.
      const {from, to} = this.view.viewport;
      const first = Math.max(1, doc.lineAt(from).number - 60), last = Math.min(doc.lines, doc.lineAt(to).number + 60);
      let hints;
      try {
        hints = await this.host.lsp("textDocument/inlayHint", {textDocument: {uri: this.host.uri(name)},
          range: {start: {line: first - 1, character: 0}, end: {line: last, character: 0}}});
      } catch (e) {
        return;
      }
      if (this.name !== name || this.view.state.doc !== doc || !Array.isArray(hints)) return;
      const marks = hints.map((h) => Decoration.widget({widget: new HintWidget(hintLabel(h)),
        side: h.paddingLeft ? 1 : -1}).range(offsetOf(doc, h.position)));
      this.view.dispatch({effects: setHints.of(Decoration.set(marks, true))});
    }, 120);
  }

  at(name) {
    return {textDocument: {uri: this.host.uri(name)}, position: positionOf(this.view.state.doc, this.view.state.selection.main.head)};
  }

  async hover(name, view, pos) {
    const r = await this.host.lsp("textDocument/hover", {textDocument: {uri: this.host.uri(name)},
      position: positionOf(view.state.doc, pos)}).catch(() => null);
    if (!r || !r.contents) return null;
    const text = typeof r.contents === "string" ? r.contents : r.contents.value || "";
    if (!text) return null;
    const from = r.range ? offsetOf(view.state.doc, r.range.start) : pos;
    return {pos: from, above: true, create() {
      const dom = document.createElement("div");
      dom.style.cssText = "white-space: pre-wrap; max-width: 520px; padding: 4px 6px; font: 12px sans-serif";
      dom.textContent = text.replace(/`/g, "");
      return {dom};
    }};
  }

  async complete(name, ctx) {
    const word = ctx.matchBefore(/[@\w.-]*/);
    if (!ctx.explicit && (!word || word.from === word.to) && !/[<"@ ]$/.test(ctx.state.sliceDoc(ctx.pos - 1, ctx.pos))) return null;
    const r = await this.host.lsp("textDocument/completion", {textDocument: {uri: this.host.uri(name)},
      position: positionOf(ctx.state.doc, ctx.pos)}).catch(() => null);
    const items = Array.isArray(r) ? r : r && r.items;
    if (!items || !items.length) return null;
    return {from: word ? word.from : ctx.pos, options: items.map((i) => ({label: i.label, detail: i.detail,
      apply: i.insertText || i.label, type: i.kind === 12 ? "constant" : i.kind === 10 ? "property" : "keyword"}))};
  }

  async definition(name) {
    const r = await this.host.lsp("textDocument/definition", this.at(name)).catch(() => null);
    const target = Array.isArray(r) ? r[0] : r;
    if (!target || !target.range) return;
    const other = this.names().find((n) => this.host.uri(n) === target.uri);
    if (other && other !== this.name) this.show(other);
    const doc = this.view.state.doc;
    const from = offsetOf(doc, target.range.start), to = offsetOf(doc, target.range.end);
    this.view.dispatch({selection: {anchor: from, head: to}, scrollIntoView: true});
    this.view.focus();
  }

  // Applies a workspace edit ({changes: {uri: [TextEdit]}}) as the author's own edits.
  applyEdit(edit) {
    for (const [uri, edits] of Object.entries(edit.changes || {})) {
      const name = this.names().find((n) => this.host.uri(n) === uri);
      if (!name) continue;
      if (name !== this.name) this.show(name);
      const doc = this.view.state.doc;
      this.view.dispatch({changes: edits.map((e) => ({from: offsetOf(doc, e.range.start),
        to: offsetOf(doc, e.range.end), insert: e.newText}))});
    }
  }

  async actions(name) {
    const sel = this.view.state.selection.main, doc = this.view.state.doc;
    const range = {start: positionOf(doc, sel.from), end: positionOf(doc, sel.to)};
    const list = await this.host.lsp("textDocument/codeAction", {textDocument: {uri: this.host.uri(name)}, range,
      context: {diagnostics: []}}).catch(() => null);
    if (!list || !list.length) {
      this.host.notice("no actions here");
      return;
    }
    const c = this.view.coordsAtPos(sel.head) || {left: 100, bottom: 100};
    const chosen = await this.host.menu(c.left, c.bottom, list.map((a) => a.title));
    if (chosen >= 0 && list[chosen].edit) this.applyEdit(list[chosen].edit);
    this.view.focus();
  }

  async rename(name) {
    const at = this.at(name);
    const ready = await this.host.lsp("textDocument/prepareRename", at).catch(() => null);
    if (!ready) {
      this.host.notice("nothing to rename here: put the cursor on a record's name or an @name");
      return;
    }
    const current = ready.placeholder || this.view.state.doc.sliceString(offsetOf(this.view.state.doc, (ready.range || ready).start),
      offsetOf(this.view.state.doc, (ready.range || ready).end));
    const newName = this.host.ask("Rename the record to:", current);
    if (!newName || newName === current) return;
    try {
      this.applyEdit(await this.host.lsp("textDocument/rename", Object.assign({newName}, at)));
    } catch (e) {
      this.host.notice(e.message);
    }
  }

  // Where a place of a document is on the screen (it is shown and scrolled to first).
  async place(name, line, column) {
    if (name !== this.name) this.show(name);
    const pos = offsetOf(this.view.state.doc, {line: line - 1, character: column - 1});
    this.view.dispatch({effects: EditorView.scrollIntoView(pos, {y: "center"})});
    for (let i = 0; i < 3; i++) await new Promise((r) => requestAnimationFrame(r));
    const c = this.view.coordsAtPos(pos);
    return c && {x: (c.left + c.right) / 2, y: (c.top + c.bottom) / 2};
  }
}
