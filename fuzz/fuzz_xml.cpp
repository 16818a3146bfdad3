// The XML parser with tree building, attribute lookup and number conversion: any bytes as a
// document's text. The tree is walked without recursion's help from the parser, every value is
// converted, and the tree written out must parse back to the same text.
#include "fuzz_support.h"

#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cstdlib>
#include <cstring>
#include <string>

using namespace resources;

static volatile double g_sink;

static void convert(const char *s) {
    double d = xml_to_double(s);
    int32_t i = xml_to_int(s);
    g_sink = d + i + maths::convert_to_i32(d) + maths::convert_to_u32(d) + maths::convert_to_u16(d) +
             maths::convert_to_u8(d) + maths::convert_clamped(d, -100, 100);
}

// Whether an element name reads back as written: a nameless element is written as "</>", a name
// that starts with "!" or "?" as a comment or an instruction, and one that ends in "/" closes its
// element at once.
static bool readable_name(const char *name) {
    size_t n = name ? std::strlen(name) : 0;
    return n > 0 && name[0] != '!' && name[0] != '?' && name[n - 1] != '/';
}

// Walks the tree; returns whether every element name is readable, as only such trees must
// survive a round trip.
static bool walk(const XmlNode *root) {
    bool named = true;
    const XmlNode *node = root;
    while (node) {
        if (node != root && !readable_name(node->name)) named = false;
        for (int32_t i = 0; i < node->attribute_count; i++)
            convert(node->attributes[i].value);
        convert(node->text);
        g_sink = xml_attribute_int(node, "type") + xml_attribute_float(node, "value") + xml_child_count(node);
        if (xml_attribute(node, "id") && !xml_name_is(node, "x")) g_sink = xml_text_float(node);
        if (node->first_child) {
            node = node->first_child;
            continue;
        }
        while (node && node != root && !node->next)
            node = node->parent;
        node = node && node != root ? node->next : nullptr;
    }
    return named;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    XmlNode *doc = xml_parse(text.c_str());
    if (!doc) return 0;
    bool named = walk(doc);
    // Written, parsed and written again, a tree comes out the same.
    if (doc->first_child && named) {
        char *once = xml_write(doc->first_child);
        XmlNode *again = xml_parse(once);
        char *twice = again && again->first_child ? xml_write(again->first_child) : nullptr;
        if (!twice || std::strcmp(once, twice) != 0) fuzz::fuzz_fail("write, parse, write changed the text");
        std::free(once);
        std::free(twice);
        xml_free(again);
    }
    char *decoded = strdup(text.c_str());
    xml_decode_entities(decoded);
    if (std::strlen(decoded) > std::strlen(text.c_str())) fuzz::fuzz_fail("decoding entities grew the text");
    std::free(decoded);
    char *escaped = xml_escape(text.c_str());
    std::free(escaped);
    xml_free(doc);
    return 0;
}
