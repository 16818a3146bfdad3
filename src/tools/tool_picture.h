// Pictures as files, for the commands that draw them. The tools draw with the pictures library's
// shapes (pictures/picture.h), whose names they use as their own.
#pragma once

#include "pictures/picture.h"

#include <string>

namespace tools {

using namespace pictures;

// Writes OUT.svg or OUT.png by the name's extension. False with *why when the extension is
// neither or the file cannot be written.
bool picture_write(const Picture &p, const char *path, std::string *why);

// Whether a path names an SVG or a PNG file.
bool picture_path_supported(const char *path);

} // namespace tools
