// The lists a document's records go to, by section: what records refer to one another by.
#pragma once

#include <cstdint>
#include <string>

namespace analysis {

// Sections 1 to 13 fill one list each, in section order; texture layers are numbered from 0, every
// other list from 1 (0 meaning none).
enum ListKind : uint8_t {
    LIST_TEXTURE_LAYERS = 0,
    LIST_TEXTURES,
    LIST_MODELS,
    LIST_FUNCTIONS,
    LIST_LIGHTS,
    LIST_EFFECTS2D,
    LIST_BITMAPS,
    LIST_CUBE_MAPS,
    LIST_FONTS,
    LIST_TEXTURE_SLOTS,
    LIST_MATERIALS,
    LIST_MESH_EFFECTS,
    LIST_OBJECTS,
    kListCount
};

struct ListName {
    const char *one, *many;
};
extern const ListName kListNames[kListCount];

// The section (1-based) whose records fill a list.
constexpr int list_section(ListKind list) {
    return int(list) + 1;
}

// "there are 9 bitmaps", "there is 1 bitmap", "there are no bitmaps".
std::string there_are(uint32_t n, ListKind list);

// The number a record at 1-based position `position` of its section is referred to by.
constexpr int32_t list_number(ListKind list, int32_t position) {
    return list == LIST_TEXTURE_LAYERS ? position - 1 : position;
}

} // namespace analysis
