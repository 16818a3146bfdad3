"""bvtool lsp driven through its standard streams on a copy of the sample demo: diagnostics of text
that was never saved, hovers, hints, going to a record and finding what refers to it, the outline,
renaming, completion, each code action (whose result builds into a package that draws the same
frames), a preview following unsaved text, and a server that answers malformed messages and ends
with its client."""

import os
import re
import shutil
import subprocess
import threading
import time
import unittest

from harness import BUILD_DIR, BVTOOL, WorkDir, run, with_display
from lsp_client import LspClient, LspError, uri

SAMPLE = os.path.join(BUILD_DIR, "sample")


def pos(text, offset):
    """The protocol's position (UTF-16 columns) of a character offset of text."""
    line = text.count("\n", 0, offset)
    start = text.rfind("\n", 0, offset) + 1
    return {"line": line, "character": len(text[start:offset].encode("utf-16-le")) // 2}


def offset_of(text, position):
    lines = text.split("\n")
    start = sum(len(l) + 1 for l in lines[:position["line"]])
    line = lines[position["line"]]
    units, i = 0, 0
    while i < len(line) and units < position["character"]:
        units += len(line[i].encode("utf-16-le")) // 2
        i += 1
    return start + i


def apply_edits(text, edits):
    for e in sorted(edits, key=lambda e: (e["range"]["start"]["line"], e["range"]["start"]["character"]), reverse=True):
        a, b = offset_of(text, e["range"]["start"]), offset_of(text, e["range"]["end"])
        text = text[:a] + e["newText"] + text[b:]
    return text


class Server(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.folder = cls.work.file("demo")
        shutil.copytree(os.path.join(SAMPLE, "src"), cls.folder)
        shutil.copy(os.path.join(SAMPLE, "music.ogg"), cls.work.file("music.ogg"))
        cls.path = os.path.join(cls.folder, "demo.xml")
        with open(cls.path, encoding="utf-8") as f:
            cls.text = f.read()
        cls.client = LspClient([BVTOOL, "lsp"], cls.folder)
        mark = cls.client.mark()
        cls.client.notify("textDocument/didOpen", {"textDocument": {"uri": uri(cls.path), "languageId": "xml",
                                                                     "version": 1, "text": cls.text}})
        cls.first = cls.client.diagnostics(cls.path, mark)
        cls.version = 1

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.work.__exit__(None, None, None)

    def at(self, needle, after=0, shift=0):
        i = self.text.index(needle, after)
        return {"textDocument": {"uri": uri(self.path)}, "position": pos(self.text, i + shift)}

    def change(self, text):
        """Replaces the whole text (unsaved); returns the diagnostics of the new text."""
        Server.version += 1
        mark = self.client.mark()
        self.client.notify("textDocument/didChange", {"textDocument": {"uri": uri(self.path), "version": self.version},
                                                     "contentChanges": [{"text": text}]})
        return self.client.diagnostics(self.path, mark)

    def test_diagnostics_of_unsaved_text(self):
        self.assertEqual(self.first, [])
        light = re.search(r"<light[^>]*><v", self.text).start()
        value = self.text.index('value="', light) + len('value="')
        broken = self.text[:value] + "up" + self.text[self.text.index('"', value):]
        found = self.change(broken)
        self.assertTrue(any('"up" is not a number' in d["message"] for d in found), found)
        d = next(d for d in found if '"up" is not a number' in d["message"])
        self.assertEqual(d["range"]["start"]["line"], self.text.count("\n", 0, light))
        with open(self.path, encoding="utf-8") as f:
            self.assertEqual(f.read(), self.text, "nothing was saved")
        # A document that is not well-formed: that finding alone, at its line.
        cut = self.text.index("</materials>")
        found = self.change(self.text[:cut] + "</material>" + self.text[cut + len("</materials>"):])
        self.assertEqual(len(found), 1, found)
        self.assertIn("does not close <materials>", found[0]["message"])
        self.assertEqual(found[0]["range"]["start"]["line"], self.text.count("\n", 0, cut))
        self.assertEqual(self.change(self.text), [])

    def test_hover_says_what_a_place_is_read_as(self):
        bricks = re.search(r'<layer [^>]*type="4"><p>', self.text).start()
        seventh = bricks
        for _ in range(7):
            seventh = self.text.index("<p>", seventh + 1)
        h = self.client.request("textDocument/hover", self.at("<p>", seventh - 1, 1))
        self.assertIn("Horizontal number", h["contents"]["value"])
        self.assertIn("Bricks", h["contents"]["value"])
        h = self.client.request("textDocument/hover", self.at('length="', self.text.index("<timeline>"), 9))
        self.assertRegex(h["contents"]["value"], r"\d+ hundredths = \d+\.\d\d s")

    def test_hints_name_parameters_records_and_references(self):
        hints = self.client.request("textDocument/inlayHint", {"textDocument": {"uri": uri(self.path)},
                                                               "range": {"start": {"line": 0, "character": 0},
                                                                         "end": pos(self.text, len(self.text))}})
        labels = [h["label"] for h in hints]
        self.assertIn("Horizontal number:", labels)
        self.assertIn("scale z:", labels)
        self.assertIn("aspect:", labels)
        self.assertIn("1:", labels)  # the first record of a section
        self.assertTrue(any(re.fullmatch(r"\d+\.\d\d s", l) for l in labels), "seconds beside hundredths")

    def test_definition_references_symbols(self):
        item = self.text.index('<item type="0" object="')
        material = self.text.index('material="', item) + len('material="')
        target = self.client.request("textDocument/definition", {"textDocument": {"uri": uri(self.path)},
                                                                 "position": pos(self.text, material)})
        line = self.text.split("\n")[target["range"]["start"]["line"]]
        self.assertIn("<material", line)
        refs = self.client.request("textDocument/references", {"textDocument": {"uri": uri(self.path)},
                                                               "position": pos(self.text, material),
                                                               "context": {"includeDeclaration": True}})
        self.assertGreaterEqual(len(refs), 2)
        symbols = self.client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri(self.path)}})
        self.assertEqual(len(symbols), 15)
        models = next(s for s in symbols if s["name"] == "models")
        self.assertEqual(len(models["children"]), self.text[self.text.index("<models>"):self.text.index("</models>")]
                         .count("<model "))

    def test_rename_follows_every_name(self):
        # A model the sample names and refers to by name in several places.
        name = re.search(r'<model name="([a-z_0-9]+)" filename="cube.mdl"', self.text).group(1)
        def uncommented(text):
            return re.sub(r"<!--.*?-->", "", text, flags=re.S)
        uses = uncommented(self.text).count('="@%s"' % name)
        self.assertGreater(uses, 1)
        edit = self.client.request("textDocument/rename",
                                   dict(self.at('name="%s"' % name, 0, 7), newName="crate"))
        changed = apply_edits(self.text, edit["changes"][uri(self.path)])
        self.assertEqual(uncommented(changed).count('="@crate"'), uses)
        self.assertNotIn('="@%s"' % name, uncommented(changed))
        self.assertIn('<model name="crate" filename="cube.mdl"', changed)
        saved = self.text
        try:
            self.assertEqual(self.change(changed), [])
            Server.text = changed
            with self.assertRaises(LspError):
                self.client.request("textDocument/rename", dict(self.at('name="crate"', 0, 7), newName='a"b'))
        finally:
            Server.text = saved
            self.change(saved)

    def test_completion(self):
        item = self.text.index('<item type="0" object="')
        material = self.text.index('material="', item) + len('material="')
        items = self.client.request("textDocument/completion", {"textDocument": {"uri": uri(self.path)},
                                                                "position": pos(self.text, material)})
        count = len(re.findall(r"<material[ >]", self.text))
        self.assertGreaterEqual(len(items), count)
        kinds = self.client.request("textDocument/completion", self.at('type="', self.text.index("<timeline>"), 6))
        self.assertIn("Render to cubemap", [k.get("detail") for k in kinds])
        # The attributes a model is read with, less those it has.
        attributes = self.client.request("textDocument/completion", self.at("<model ", 0, 7))
        labels = [a["label"] for a in attributes]
        self.assertNotIn("filename", labels)
        self.assertEqual("name" in labels, ' name="' not in self.text[self.text.index("<model "):
                                                                      self.text.index(">", self.text.index("<model "))])

    def test_code_actions_keep_every_frame(self):
        """Each action applied as an editor applies it; the folder then builds into a package whose frames
        are those of the original at several times."""
        times = ["2s", "20s", "45s"]

        def frames(folder, tag):
            package = self.work.file(tag + ".dpk")
            r = run([BVTOOL, "build", folder, package])
            self.assertEqual(r.returncode, 0, r.stderr)
            shots = []
            for t in times:
                png = self.work.file("%s_%s.png" % (tag, t))
                r = run(with_display([BVTOOL, "render", package, "--time", t, "--size", "320x180", "--out", png]))
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(png, "rb") as f:
                    shots.append(f.read())
            return shots

        original = frames(self.folder, "original")
        models = self.text.index("<model ")
        # The sample's function "bob" is used by nothing: deleting it leaves every frame as it was.
        unused = self.text.index('<function name="bob"')
        cases = [("Move", "down", models), ("Move", "up", self.text.index("<model ", models + 1)),
                 ("Insert a copy", "after", models), ("Delete", "", unused)]
        for verb, word, where in cases:
            with self.subTest(verb + " " + word):
                actions = self.client.request("textDocument/codeAction", {
                    "textDocument": {"uri": uri(self.path)},
                    "range": {"start": pos(self.text, where + 1), "end": pos(self.text, where + 1)},
                    "context": {"diagnostics": []}})
                chosen = next(a for a in actions if a["title"].startswith(verb) and word in a["title"])
                changed = apply_edits(self.text, chosen["edit"]["changes"][uri(self.path)])
                if verb == "Delete":
                    self.assertNotIn('name="bob"', changed)
                folder = self.work.file("acted_" + verb.replace(" ", "_") + word)
                shutil.copytree(self.folder, folder)
                with open(os.path.join(folder, "demo.xml"), "w", encoding="utf-8") as f:
                    f.write(changed)
                self.assertNotEqual(changed, self.text)
                self.assertEqual(frames(folder, "acted_" + verb.replace(" ", "_") + word), original)

    def test_a_reference_written_as_a_name_and_back(self):
        use = re.search(r'material="(@[a-z_0-9]+)"', self.text)
        at = use.start(1) + 1

        def actions(text, offset):
            return self.client.request("textDocument/codeAction", {
                "textDocument": {"uri": uri(self.path)},
                "range": {"start": pos(text, offset), "end": pos(text, offset)}, "context": {"diagnostics": []}})

        number = next(a for a in actions(self.text, at) if a["title"].startswith("Write the number"))
        numbered = apply_edits(self.text, number["edit"]["changes"][uri(self.path)])
        self.assertRegex(numbered[use.start(1):use.start(1) + 4], r'^\d+"')
        saved = self.text
        try:
            self.assertEqual(self.change(numbered), [])
            Server.text = numbered
            named = next(a for a in actions(numbered, at) if "by its name" in a["title"])
            self.assertEqual(apply_edits(numbered, named["edit"]["changes"][uri(self.path)]), saved)
        finally:
            Server.text = saved
            self.change(saved)


class Robustness(unittest.TestCase):
    def test_malformed_messages_get_errors_and_the_server_goes_on(self):
        with WorkDir() as work:
            client = LspClient([BVTOOL, "lsp"], work.path)
            mark = client.mark()
            client.send_raw(b"{not json")
            m = client.wait_for(lambda m: "error" in m, start=mark)
            self.assertEqual(m["error"]["code"], -32700)
            client.send_raw(b"[1, 2]")
            m = client.wait_for(lambda m: "error" in m and m["error"]["code"] == -32600, start=mark)
            with self.assertRaises(LspError) as e:
                client.request("no/such/method", {})
            self.assertEqual(e.exception.code, -32601)
            # Nonsense parameters: an answer, not a crash.
            path = work.file("demo.xml")
            client.notify("textDocument/didOpen", {"textDocument": {"uri": uri(path), "version": 1, "text": "<demo><"}})
            self.assertIsNone(client.request("textDocument/hover", {"textDocument": {"uri": uri(path)},
                                                                    "position": {"line": -4, "character": "x"}}))
            client.notify("textDocument/didChange", {"textDocument": {"uri": uri(path)}, "contentChanges": [
                {"range": {"start": {"line": 99, "character": 0}, "end": {"line": 0, "character": 0}}, "text": "x"}]})
            self.assertIsInstance(client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri(path)}}),
                                  list)
            self.assertEqual(client.close(), 0)

    def test_the_server_ends_with_its_client(self):
        process = subprocess.Popen([BVTOOL, "lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        process.stdin.close()
        self.assertEqual(process.wait(30), 1)
        process.stdout.close()
        process.stderr.close()


class PreviewFollows(unittest.TestCase):
    def test_the_preview_shows_unsaved_text(self):
        with WorkDir() as work:
            folder = work.file("demo")
            shutil.copytree(os.path.join(SAMPLE, "src"), folder)
            path = os.path.join(folder, "demo.xml")
            with open(path, encoding="utf-8") as f:
                text = f.read()
            env = dict(os.environ, SDL_AUDIODRIVER="dummy", XDG_RUNTIME_DIR=work.file("runtime"))
            os.makedirs(env["XDG_RUNTIME_DIR"])
            preview = subprocess.Popen(with_display([BVTOOL, "preview", folder, "--size", "320x180"]),
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
            lines = []
            ready = threading.Event()

            def read():
                for line in preview.stdout:
                    lines.append(line.decode(errors="replace"))
                    ready.set()
            threading.Thread(target=read, daemon=True).start()
            try:
                deadline = time.monotonic() + 120
                while not any(l.startswith("loaded") for l in lines):
                    self.assertLess(time.monotonic(), deadline, "the preview never loaded")
                    ready.wait(1)
                    ready.clear()
                saved_env = os.environ.get("XDG_RUNTIME_DIR")
                os.environ["XDG_RUNTIME_DIR"] = env["XDG_RUNTIME_DIR"]
                try:
                    client = LspClient([BVTOOL, "lsp"], folder)
                finally:
                    if saved_env is None:
                        del os.environ["XDG_RUNTIME_DIR"]
                    else:
                        os.environ["XDG_RUNTIME_DIR"] = saved_env
                client.notify("textDocument/didOpen", {"textDocument": {"uri": uri(path), "version": 1, "text": text}})
                seen = len(lines)
                edited = re.sub(r'(<light[^>]*><v type="static" value=")[^"]*"', r'\g<1>0.9"', text, count=1)
                self.assertNotEqual(edited, text)
                client.notify("textDocument/didChange", {"textDocument": {"uri": uri(path), "version": 2},
                                                        "contentChanges": [{"text": edited}]})
                while not any(l.startswith("reloaded frame shown") for l in lines[seen:]):
                    self.assertLess(time.monotonic(), deadline, "the preview never followed the unsaved text")
                    ready.wait(1)
                    ready.clear()
                with open(path, encoding="utf-8") as f:
                    self.assertEqual(f.read(), text, "nothing was saved")
                client.close()
            finally:
                preview.terminate()
                preview.wait(30)


if __name__ == "__main__":
    unittest.main()
