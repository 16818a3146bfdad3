#include "analysis/records.h"

namespace analysis {

const ListName kListNames[kListCount] = {
    {"texture layer", "texture layers"},
    {"procedural texture", "procedural textures"},
    {"model", "models"},
    {"function", "functions"},
    {"light", "lights"},
    {"2D effect", "2D effects"},
    {"bitmap", "bitmaps"},
    {"cube map", "cube maps"},
    {"font", "fonts"},
    {"texture slot", "texture slots"},
    {"material", "materials"},
    {"mesh effect", "mesh effects"},
    {"object", "objects"},
};
static_assert(sizeof(kListNames) / sizeof(kListNames[0]) == kListCount, "one name per list");

std::string there_are(uint32_t n, ListKind list) {
    if (n == 0) return std::string("there are no ") + kListNames[list].many;
    if (n == 1) return std::string("there is 1 ") + kListNames[list].one;
    return "there are " + std::to_string(n) + " " + kListNames[list].many;
}

} // namespace analysis
