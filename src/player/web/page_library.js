// The page's side of the player's browser doors (platform_page_web.cpp, index_main.cpp). The page
// script sets Module.bvPage before the program starts.
mergeInto(LibraryManager.library, {
  // Suspends the program until the browser's next animation frame: the frame drawn so far is shown
  // and the page handles its events meanwhile.
  bv_page_next_frame__deps: ['$Asyncify'],
  bv_page_next_frame: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      var page = Module['bvPage'];
      page.progressFrames++;
      requestAnimationFrame(function () { page.afterProgressFrame(function () { wakeUp(0); }); });
    });
  },

  // Fetches a file from the page's folder into the program's working folder; 1 when it came.
  bv_page_fetch__deps: ['$Asyncify', '$PATH', '$FS'],
  bv_page_fetch: function (name) {
    var file = UTF8ToString(name);
    return Asyncify.handleSleep(function (wakeUp) {
      Module['bvPage'].fetchFile(file).then(function (bytes) {
        if (!bytes) { wakeUp(0); return; }
        try {
          var folder = PATH.dirname(file);
          if (folder && folder !== ".") FS.mkdirTree(folder);
          FS.writeFile(file, bytes);
        } catch (e) {
          wakeUp(0);
          return;
        }
        wakeUp(1);
      });
    });
  },

  bv_page_log: function (text, size) {
    Module['bvPage'].addText(UTF8ToString(text, size));
  },

  bv_page_escape_requested: function () {
    return Module['bvPage'].escapeRequested ? 1 : 0;
  },

  bv_page_phase: function (name) {
    Module['bvPage'].phase(UTF8ToString(name));
  },

  bv_page_ended: function (status) {
    Module['bvPage'].ended(status);
  },
});
