// Pictures written to files by the commands that draw them (bvtool timeline and plot): SVG text or
// a PNG of the rasterised picture, chosen by the name's extension.
#include "tools/tool_picture.h"
#include "tools/bvtool.h"
#include "tools/tool_png.h"

#include <cctype>
#include <cstring>

namespace tools {

bool picture_path_supported(const char *path) {
    size_t n = std::strlen(path);
    auto ends = [&](const char *e) {
        size_t k = std::strlen(e);
        if (n < k) return false;
        for (size_t i = 0; i < k; i++)
            if (std::tolower(static_cast<unsigned char>(path[n - k + i])) != e[i]) return false;
        return true;
    };
    return ends(".svg") || ends(".png");
}

bool picture_write(const Picture &p, const char *path, std::string *why) {
    size_t n = std::strlen(path);
    bool svg = n >= 4 && (std::strcmp(path + n - 4, ".svg") == 0 || std::strcmp(path + n - 4, ".SVG") == 0);
    if (!picture_path_supported(path)) {
        *why = std::string(path) + ": the picture is written as .svg or .png";
        return false;
    }
    if (p.width < 1 || p.height < 1 || p.width > kPictureMaxSide || p.height > kPictureMaxSide) {
        *why = "the picture would be " + std::to_string(p.width) + " x " + std::to_string(p.height) +
               " pixels, outside 1 to " + std::to_string(kPictureMaxSide);
        return false;
    }
    bool ok;
    if (svg) {
        std::string text = picture_svg(p);
        ok = tool_write_whole(path, reinterpret_cast<const uint8_t *>(text.data()), uint32_t(text.size()));
    } else {
        std::vector<uint8_t> rgb;
        picture_raster(p, &rgb);
        ok = tool_png_write(path, p.width, p.height, 3, rgb.data(), long(p.width) * 3);
    }
    if (!ok) *why = std::string("cannot write ") + path;
    return ok;
}

} // namespace tools
