;;; bvtool lsp in Emacs through eglot (built in from Emacs 29; Debian 12's Emacs 28 takes it from
;;; the package elpa-eglot): put this in ~/.emacs.d/init.el, or load it with `emacs -l emacs-eglot.el'.
(require 'eglot)
(add-to-list 'eglot-server-programs '(nxml-mode . ("bvtool" "lsp")))
(defun bvtool-lsp-maybe ()
  "Start the language server for a demo's demo.xml or loading.xml."
  (when (and buffer-file-name
             (member (file-name-nondirectory buffer-file-name) '("demo.xml" "loading.xml")))
    (eglot-ensure)))
(add-hook 'nxml-mode-hook #'bvtool-lsp-maybe)
