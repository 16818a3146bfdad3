"""A real client: Debian's Neovim, headless, set up with the README's configuration
(docs/editors/neovim.lua), opens the sample's demo.xml with bvtool lsp attached, makes an edit (not
saved), receives its diagnostic and reads a hover."""

import json
import os
import shutil
import subprocess
import unittest

from harness import BUILD_DIR, WorkDir

SAMPLE = os.path.join(BUILD_DIR, "sample")
CONFIG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "editors", "neovim.lua")

SCRIPT = r"""
local out = {}
local function finish()
  local f = io.open(os.getenv("BV_RESULT"), "w")
  f:write(vim.fn.json_encode(out))
  f:close()
  vim.cmd("qa!")
end
local ok, err = pcall(function()
  local folder = os.getenv("BV_FOLDER")
  vim.cmd("edit " .. folder .. "/demo.xml")
  -- The configuration attached the server when the file was read.
  out.attached = vim.wait(30000, function()
    for _, c in pairs(vim.lsp.buf_get_clients(0)) do
      if c.name == "bvtool" and c.initialized then return true end
    end
    return false
  end, 50)
  -- An edit, not saved: a light's first value becomes a word.
  local line = vim.fn.search("<light[^>]*><v") - 1
  local text = vim.api.nvim_buf_get_lines(0, line, line + 1, false)[1]
  local changed = text:gsub('value="[^"]*"', 'value="up"', 1)
  vim.api.nvim_buf_set_lines(0, line, line + 1, false, {changed})
  out.line = line
  out.diagnosed = vim.wait(30000, function()
    for _, d in ipairs(vim.diagnostic.get(0)) do
      if d.message:find('"up" is not a number') then
        out.diagnostic = {lnum = d.lnum, message = d.message}
        return true
      end
    end
    return false
  end, 50)
  -- A hover over the seventh value of the Bricks layer.
  local bricks = vim.fn.search('<layer [^>]*type="4"><p>') - 1
  local row = vim.api.nvim_buf_get_lines(0, bricks, bricks + 1, false)[1]
  local col = 0
  for _ = 1, 7 do col = row:find("<p>", col + 1, true) end
  local params = {textDocument = {uri = vim.uri_from_bufnr(0)}, position = {line = bricks, character = col + 1}}
  local results = vim.lsp.buf_request_sync(0, "textDocument/hover", params, 30000)
  for _, r in pairs(results or {}) do
    if r.result then out.hover = r.result.contents.value end
  end
  out.saved = vim.bo.modified == false
end)
if not ok then out.error = tostring(err) end
finish()
"""


class Neovim(unittest.TestCase):
    def test_edit_diagnostic_and_hover(self):
        nvim = shutil.which("nvim")
        self.assertIsNotNone(nvim, "Debian's neovim is a test dependency")
        with WorkDir() as work:
            folder = work.file("demo")
            shutil.copytree(os.path.join(SAMPLE, "src"), folder)
            with open(work.file("test.lua"), "w") as f:
                f.write(SCRIPT)
            # bvtool is found on the PATH, as the configuration expects.
            env = dict(os.environ, BV_FOLDER=folder, BV_RESULT=work.file("result.json"), XDG_RUNTIME_DIR=work.path,
                       HOME=work.path, PATH=BUILD_DIR + os.pathsep + os.environ.get("PATH", ""))
            r = subprocess.run([nvim, "--headless", "-i", "NONE", "-u", CONFIG, "-c", "luafile " + work.file("test.lua")],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=180)
            self.assertTrue(os.path.exists(work.file("result.json")), r.stderr.decode(errors="replace"))
            with open(work.file("result.json")) as f:
                out = json.load(f)
            self.assertNotIn("error", out, out.get("error"))
            self.assertTrue(out["attached"])
            self.assertTrue(out["diagnosed"], out)
            self.assertEqual(out["diagnostic"]["lnum"], out["line"])
            self.assertIn("Horizontal number", out["hover"])
            with open(os.path.join(folder, "demo.xml"), encoding="utf-8") as f:
                self.assertNotIn('value="up"', f.read(), "the edit was never saved")


if __name__ == "__main__":
    unittest.main()
