// The text an editor holds but has not saved, handed from the language server to a preview of the
// same folder: one file per document in a folder of the user's runtime directory, keyed by the
// demo folder's absolute path.
#pragma once

#include <string>

namespace tools {

// Where the unsaved documents of a demo folder are kept ("" when there is no place for them).
std::string tool_unsaved_dir(const std::string &folder);

// Keeps a document's unsaved text (written whole, then renamed into place), or drops it when the
// text is what the file holds again (text null).
void tool_unsaved_put(const std::string &folder, const std::string &file, const std::string *text);

// The unsaved text of a document, when an editor holds one.
bool tool_unsaved_get(const std::string &folder, const std::string &file, std::string *text);

} // namespace tools
