// Moving, deleting and copying records: the positional renumbering that authors otherwise do by
// hand. Every reference written as a number is rewritten so that it points at the same record as
// before; references written as @name follow their record by themselves.
#pragma once

#include <cstdint>
#include <string>

namespace analysis {

enum RecordEdit : uint8_t {
    RECORD_MOVE_UP = 0,
    RECORD_MOVE_DOWN,
    RECORD_DELETE,      // references to it become 0 (none; for a texture layer, layer 0)
    RECORD_INSERT_COPY, // a copy right after it; a named record's copy gets a new name
};

// The document's text after the edit of the record at a 1-based position of section 1..14. The
// record takes its own lines with it when it stands alone on them (with the comments right above
// it), else just its element. False, with *out untouched, when there is no such record, it cannot
// move further, or the text is cut short inside it.
bool record_edit(const std::string &text, int32_t section, int32_t position, RecordEdit op, std::string *out);

} // namespace analysis
