// bvtool font where FreeType and GLU's tessellator are not built in (the Windows bvtool).
#include "tools/bvtool.h"

#include <cstdio>

namespace tools {

int tool_font(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool font FONT.ttf|.otf OUTDIR [--chars TEXT] [--depth D] [--material @name|N]\n"
                  "                  [--demo TEXT]\n"
                  "This bvtool cannot read fonts: glyph models are made with the native Linux bvtool,\n"
                  "and its output (models and font.xml) works on every system.");
        return 0;
    }
    tool_fail("font: this bvtool cannot read fonts; the native Linux bvtool makes the glyph models");
    return 2;
}

} // namespace tools
