-- bvtool lsp in Neovim (0.7 and later): put this in ~/.config/nvim/init.lua, or load it with
-- `nvim -u neovim.lua`. A demo's demo.xml and loading.xml get the language server of their folder.
local clients = {}

vim.api.nvim_create_autocmd({"BufReadPost", "BufNewFile"}, {
  pattern = {"demo.xml", "loading.xml"},
  callback = function(args)
    local folder = vim.fn.fnamemodify(args.file, ":p:h")
    if not clients[folder] then
      clients[folder] = vim.lsp.start_client({name = "bvtool", cmd = {"bvtool", "lsp"}, root_dir = folder})
    end
    vim.lsp.buf_attach_client(args.buf, clients[folder])
    vim.bo[args.buf].omnifunc = "v:lua.vim.lsp.omnifunc" -- completion on CTRL-X CTRL-O
    local map = function(keys, fn) vim.keymap.set("n", keys, fn, {buffer = args.buf}) end
    map("K", vim.lsp.buf.hover)              -- what the value under the cursor is read as
    map("gd", vim.lsp.buf.definition)        -- the record a reference names
    map("gr", vim.lsp.buf.references)        -- what refers to the record
    map("<leader>a", vim.lsp.buf.code_action) -- name/number, move, copy, delete a record
    map("<leader>r", vim.lsp.buf.rename)      -- a record's name and every @name of it
    map("<leader>o", vim.lsp.buf.document_symbol)
    -- Parameter and record names beside the values: Neovim 0.10 and later draw inlay hints.
    if vim.lsp.inlay_hint then pcall(vim.lsp.inlay_hint.enable, true, {bufnr = args.buf}) end
  end,
})
