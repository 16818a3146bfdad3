// The XML tree of the scene documents: a small non-validating parser for the subset the authoring
// side writes (elements, double-quoted attributes, element text, comments, processing instructions),
// attribute lookup and value conversion, tree building and writing.
#pragma once

#include <cstdint>

namespace resources {

struct XmlAttribute {
    char *name;
    char *value;          // null when the attribute had no value
    int32_t name_offset;  // byte offset of the name in the parsed text (authors' tools; 0 when built)
    int32_t value_offset; // byte offset of the value's first byte, after its quote; -1 without a value
};

// Every string is a heap copy owned by the node.
struct XmlNode {
    char *name;               // null for the document node
    XmlAttribute *attributes; // null when there are none
    int32_t attribute_count;
    char *text;    // text directly before the end tag of an element without children, untrimmed
    XmlNode *next; // next sibling
    XmlNode *first_child;
    XmlNode *parent;
    int32_t line; // 1-based line of the start tag (for messages; the player ignores it)
    // Where the element stands in the parsed text, for the authors' tools (the player ignores them;
    // all 0 in a built tree): the byte offset of its '<', just past its end tag or "/>" (-1 when the
    // text ends before it is closed), and of its text's first byte (-1 without text).
    int32_t offset;
    int32_t end;
    int32_t text_offset;
};

// Parses NUL-terminated text and returns the document node; its children are the top-level elements.
// Never fails: malformed input gives a partial tree. Returns null only when memory runs out.
XmlNode *xml_parse(const char *text);

// Frees a node, its strings and all its children (iteratively, so deep trees cannot exhaust the stack).
// Accepts null. Only free whole trees or nodes already detached from their parent.
void xml_free(XmlNode *node);

// The value of the first attribute named exactly name, or null.
const char *xml_attribute(const XmlNode *node, const char *name);

// Locale-independent conversions. Integers: leading whitespace, optional sign, decimal digits; 0 when
// there are none; values outside 32 bits keep their low 32 bits. Floats: decimal and exponent notation.
int32_t xml_to_int(const char *s);
double xml_to_double(const char *s);

// True when s is wholly a number as those conversions read it, blanks around it allowed: decimal
// digits with an optional sign (integer), or the float grammar as well. The conversions read the
// longest start of a text that is one, and 0 when none is ("0,9" reads 0, "1.5s" reads 1.5).
bool xml_is_number(const char *s, bool integer);

// Attribute and text conversions that read a missing attribute or text as 0.
int32_t xml_attribute_int(const XmlNode *node, const char *name);
float xml_attribute_float(const XmlNode *node, const char *name);
int32_t xml_text_int(const XmlNode *node);
float xml_text_float(const XmlNode *node);

// True when the node's name is exactly name.
bool xml_name_is(const XmlNode *node, const char *name);
// Number of child elements.
int32_t xml_child_count(const XmlNode *node);

// Replaces every "&lt;" by "<" and every "&gt;" by ">" in place; everything else is left untouched.
void xml_decode_entities(char *s);

// Tree building (authoring side).
XmlNode *xml_new_node(const char *name);
XmlNode *xml_add_child(XmlNode *parent, const char *name);                   // appended after the last child
void xml_set_attribute(XmlNode *node, const char *name, const char *value);  // replaces or appends
void xml_set_attribute_u32(XmlNode *node, const char *name, uint32_t value); // "%u"
void xml_set_attribute_i32(XmlNode *node, const char *name, int32_t value);  // "%d"
void xml_set_attribute_float(XmlNode *node, const char *name, double value); // "%f"
void xml_set_text(XmlNode *node, const char *text);
// Replaces the value of the node's attribute `index` (an index below attribute_count).
void xml_replace_value(XmlNode *node, int32_t index, const char *value);
void xml_set_text_float(XmlNode *node, double value);   // "%f"
void xml_set_text_precise(XmlNode *node, double value); // "%.12f"
void xml_set_text_u32(XmlNode *node, uint32_t value);   // "%u"

// Reads a whole file and parses it; null when the file cannot be read.
XmlNode *xml_load_file(const char *path);

// Writes the tree rooted at root as text (std::free); nothing is escaped.
char *xml_write(const XmlNode *root);

// A new string (std::free) with "<" replaced by "&lt;" and ">" by "&gt;".
char *xml_escape(const char *text);

} // namespace resources
