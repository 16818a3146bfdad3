#include "resources/xml.h"

#include "maths/number_convert.h"

#include "resources/file_util.h"
#include "resources/memory_budget.h"
#include "resources/text_builder.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace resources {

// Every node, string and attribute pair of a tree is counted in the memory budget; xml_free gives
// back exactly what these took.
static char *copy_range(const char *begin, size_t len) {
    if (!memory_budget_take(len + 1)) return nullptr;
    char *s = static_cast<char *>(std::malloc(len + 1));
    if (!s) {
        memory_budget_give(len + 1);
        return nullptr;
    }
    std::memcpy(s, begin, len);
    s[len] = 0;
    return s;
}

static char *copy_string(const char *s) {
    return s ? copy_range(s, std::strlen(s)) : nullptr;
}

static XmlNode *node_alloc() {
    if (!memory_budget_take(sizeof(XmlNode))) return nullptr;
    XmlNode *node = static_cast<XmlNode *>(std::calloc(1, sizeof(XmlNode)));
    if (!node) memory_budget_give(sizeof(XmlNode));
    return node;
}

static uint64_t string_bytes(const char *s) {
    return s ? std::strlen(s) + 1 : 0;
}

static void free_string(char *s) {
    memory_budget_give(string_bytes(s));
    std::free(s);
}

static void append_child(XmlNode *parent, XmlNode *child) {
    child->parent = parent;
    if (!parent->first_child) {
        parent->first_child = child;
        return;
    }
    XmlNode *last = parent->first_child;
    while (last->next)
        last = last->next;
    last->next = child;
}

// The attribute array grows by doubling (its capacity is the next power of two at or above the
// count), so a tag with a great many attributes costs linear, not quadratic, copying.
static bool append_attribute(XmlNode *node, char *name, char *value, int32_t name_offset = 0) {
    size_t count = static_cast<size_t>(node->attribute_count);
    if (!memory_budget_take(sizeof(XmlAttribute))) {
        memory_budget_give(string_bytes(name) + string_bytes(value));
        std::free(name);
        std::free(value);
        return false;
    }
    if ((count & (count - 1)) == 0) {
        XmlAttribute *grown = static_cast<XmlAttribute *>(
            std::realloc(node->attributes, sizeof(XmlAttribute) * (count ? count * 2 : 1)));
        if (!grown) {
            memory_budget_give(sizeof(XmlAttribute) + string_bytes(name) + string_bytes(value));
            std::free(name);
            std::free(value);
            return false;
        }
        node->attributes = grown;
    }
    XmlAttribute *grown = node->attributes;
    grown[node->attribute_count].name = name;
    grown[node->attribute_count].value = value;
    grown[node->attribute_count].name_offset = name_offset;
    grown[node->attribute_count].value_offset = -1;
    node->attribute_count++;
    return true;
}

static bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Parser states.
enum {
    XML_CONTENT = 0,
    XML_TAG_OPEN = 1,
    XML_ELEMENT_NAME = 2,
    XML_IN_TAG = 3,
    XML_ATTRIBUTE_NAME = 5,
    XML_AFTER_EQUALS = 6,
    XML_ATTRIBUTE_VALUE = 7,
    XML_END_TAG = 8,
    XML_COMMENT = 9,
};

XmlNode *xml_parse(const char *text) {
    XmlNode *document = node_alloc();
    if (!document || !text) return document;
    XmlNode *current = document;
    // The document node's last child: stray end tags can bring the parser back to it many times.
    XmlNode *document_last = nullptr;
    int state = XML_CONTENT;
    size_t token = 0;
    // Whether the current node has been closed, so the next element becomes its sibling.
    bool closed = false;
    // Whether the tag being read is an end tag ("</"), whose '>' ends the element.
    bool end_tag = false;
    int32_t line = 1;
    // Offsets past 2 GiB are not kept (the tools read documents far smaller).
    auto at = [](size_t i) { return i <= 0x7FFFFFFFu ? static_cast<int32_t>(i) : -1; };

    for (size_t i = 0; text[i]; i++) {
        char c = text[i];
        if (c == '\n') line++;
        switch (c) {
        case '<': {
            if (state != XML_CONTENT) break;
            char next = text[i + 1];
            if (next == '/') {
                if (closed) {
                    if (current->parent) current = current->parent;
                } else if (i > token) {
                    free_string(current->text);
                    current->text = copy_range(text + token, i - token);
                    current->text_offset = at(token);
                }
                state = XML_END_TAG;
                end_tag = true;
                closed = true;
            } else if (next == '?') {
                state = XML_END_TAG;
                end_tag = false;
            } else if (next == '!') {
                if (text[i + 2] == '-' && text[i + 3] == '-') state = XML_COMMENT;
            } else {
                XmlNode *node = node_alloc();
                if (!node) return document;
                node->line = line;
                node->offset = at(i);
                node->end = -1;
                node->text_offset = -1;
                // A stray end tag can leave the document node "closed"; it has no siblings, so
                // elements found then are still its children. A closed node is always the last
                // child of its parent, so the new one is linked straight behind it.
                if (closed && current != document) {
                    node->parent = current->parent;
                    current->next = node;
                } else if (current == document) {
                    node->parent = document;
                    if (document_last)
                        document_last->next = node;
                    else
                        document->first_child = node;
                } else {
                    append_child(current, node);
                }
                if (node->parent == document) document_last = node;
                current = node;
                state = XML_TAG_OPEN;
            }
            break;
        }
        case '>':
            if (state == XML_CONTENT || state == XML_COMMENT) break;
            if (state == XML_ELEMENT_NAME) {
                free_string(current->name);
                current->name = copy_range(text + token, i - token);
            }
            if (state != XML_END_TAG) closed = false;
            if (state == XML_END_TAG && end_tag && current != document) current->end = at(i + 1);
            end_tag = false;
            state = XML_CONTENT;
            token = i + 1;
            break;
        case '/':
            // "/>" ends an empty element; in text and comments it is ordinary content.
            if (text[i + 1] != '>' || state == XML_CONTENT || state == XML_COMMENT) break;
            if (state == XML_ELEMENT_NAME) {
                free_string(current->name);
                current->name = copy_range(text + token, i - token);
            }
            state = XML_CONTENT;
            i++;
            token = i + 1;
            if (current != document) current->end = at(i + 1);
            closed = true;
            break;
        case '=':
            if (state != XML_ATTRIBUTE_NAME) break;
            append_attribute(current, copy_range(text + token, i - token), nullptr, at(token));
            state = XML_AFTER_EQUALS;
            break;
        case '"':
            if (state == XML_AFTER_EQUALS) {
                state = XML_ATTRIBUTE_VALUE;
                token = i + 1;
            } else if (state == XML_ATTRIBUTE_VALUE) {
                if (current->attribute_count > 0) {
                    XmlAttribute *last = &current->attributes[current->attribute_count - 1];
                    free_string(last->value);
                    last->value = copy_range(text + token, i - token);
                    last->value_offset = at(token);
                }
                state = XML_IN_TAG;
            }
            break;
        case '-':
            if (state == XML_COMMENT && text[i + 1] == '-' && text[i + 2] == '>') {
                state = XML_CONTENT;
                i += 2;
            }
            break;
        default:
            if (is_space(c)) {
                if (state == XML_ELEMENT_NAME) {
                    free_string(current->name);
                    current->name = copy_range(text + token, i - token);
                    state = XML_IN_TAG;
                }
            } else if (state == XML_TAG_OPEN) {
                state = XML_ELEMENT_NAME;
                token = i;
            } else if (state == XML_IN_TAG) {
                state = XML_ATTRIBUTE_NAME;
                token = i;
            }
            break;
        }
    }
    return document;
}

static void free_node_fields(XmlNode *node) {
    uint64_t bytes = sizeof(XmlNode) + string_bytes(node->name) + string_bytes(node->text);
    std::free(node->name);
    std::free(node->text);
    for (int32_t i = 0; i < node->attribute_count; i++) {
        bytes += sizeof(XmlAttribute) + string_bytes(node->attributes[i].name) +
                 string_bytes(node->attributes[i].value);
        std::free(node->attributes[i].name);
        std::free(node->attributes[i].value);
    }
    std::free(node->attributes);
    memory_budget_give(bytes);
}

void xml_free(XmlNode *root) {
    XmlNode *node = root;
    while (node) {
        if (node->first_child) {
            node = node->first_child;
            continue;
        }
        // A leaf: unlink it from its parent (its next sibling takes its place) and free it.
        XmlNode *parent = node->parent;
        XmlNode *next = node == root ? nullptr : node->next;
        bool was_root = node == root;
        free_node_fields(node);
        std::free(node);
        if (was_root) break;
        parent->first_child = next;
        node = next ? next : parent;
    }
}

const char *xml_attribute(const XmlNode *node, const char *name) {
    if (!node || !name) return nullptr;
    for (int32_t i = 0; i < node->attribute_count; i++) {
        const char *n = node->attributes[i].name;
        if (n && std::strcmp(n, name) == 0) return node->attributes[i].value;
    }
    return nullptr;
}

int32_t xml_to_int(const char *s) {
    if (!s) return 0;
    while (is_space(*s) || *s == '\f' || *s == '\v')
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    uint32_t value = 0;
    while (*s >= '0' && *s <= '9')
        value = value * 10u + static_cast<uint32_t>(*s++ - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

// Length of the decimal number at s (digits with at most one point, at least one digit, then an
// optional exponent with digits), or of "inf", "infinity", "nan" or "nan(...)" in any case; 0 when
// there is none. This is the whole number grammar: no hexadecimal, no sign (the caller takes it).
static size_t number_length(const char *s) {
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    auto starts = [](const char *p, const char *word) {
        for (; *word; p++, word++)
            if ((*p | 0x20) != *word) return false;
        return true;
    };
    if (starts(s, "infinity")) return 8;
    if (starts(s, "inf")) return 3;
    if (starts(s, "nan")) {
        size_t n = 3;
        if (s[n] == '(') {
            auto in_parentheses = [&](char c) {
                char lower = char(c | 0x20);
                return (lower >= 'a' && lower <= 'z') || is_digit(c) || c == '_';
            };
            size_t m = n + 1;
            while (in_parentheses(s[m]))
                m++;
            if (s[m] == ')') n = m + 1;
        }
        return n;
    }
    size_t n = 0, digits = 0;
    while (is_digit(s[n]))
        n++, digits++;
    if (s[n] == '.') {
        n++;
        while (is_digit(s[n]))
            n++, digits++;
    }
    if (digits == 0) return 0;
    if (s[n] == 'e' || s[n] == 'E') {
        size_t e = n + 1;
        if (s[e] == '+' || s[e] == '-') e++;
        if (is_digit(s[e])) {
            while (is_digit(s[e]))
                e++;
            n = e;
        }
    }
    return n;
}

double xml_to_double(const char *s) {
    if (!s) return 0.0;
    while (is_space(*s) || *s == '\f' || *s == '\v')
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    if (*s == '+' || *s == '-') return 0.0; // one sign only: "+-1" and "--1" are no number
    size_t length = number_length(s);
    if (length == 0) return negative ? -0.0 : 0.0;
    // strtod, given only the number's own text with the point written as the process locale writes
    // it, reads it correctly rounded; overflow gives infinity and underflow zero or a subnormal.
    const char *point = std::localeconv()->decimal_point;
    size_t point_length = point && point[0] ? std::strlen(point) : 1;
    std::string text;
    text.reserve(length + point_length);
    for (size_t i = 0; i < length; i++) {
        if (s[i] == '.' && point && point[0])
            text += point;
        else
            text += s[i];
    }
    double value = std::strtod(text.c_str(), nullptr);
    return negative ? -value : value;
}

bool xml_is_number(const char *s, bool integer) {
    if (!s) return false;
    while (is_space(*s) || *s == '\f' || *s == '\v')
        s++;
    if (*s == '+' || *s == '-') s++;
    size_t n = 0;
    if (integer)
        while (s[n] >= '0' && s[n] <= '9')
            n++;
    else
        n = number_length(s);
    if (n == 0) return false;
    for (s += n; *s; s++)
        if (!is_space(*s)) return false;
    return true;
}

int32_t xml_attribute_int(const XmlNode *node, const char *name) {
    return xml_to_int(xml_attribute(node, name));
}

float xml_attribute_float(const XmlNode *node, const char *name) {
    return maths::convert_to_float(xml_to_double(xml_attribute(node, name)));
}

int32_t xml_text_int(const XmlNode *node) {
    return node ? xml_to_int(node->text) : 0;
}

float xml_text_float(const XmlNode *node) {
    return node ? maths::convert_to_float(xml_to_double(node->text)) : 0.0f;
}

bool xml_name_is(const XmlNode *node, const char *name) {
    return node && node->name && std::strcmp(node->name, name) == 0;
}

int32_t xml_child_count(const XmlNode *node) {
    int32_t n = 0;
    for (const XmlNode *c = node ? node->first_child : nullptr; c; c = c->next)
        n++;
    return n;
}

void xml_decode_entities(char *s) {
    if (!s) return;
    char *out = s;
    for (const char *in = s; *in;) {
        if (in[0] == '&' && (in[1] == 'l' || in[1] == 'g') && in[2] == 't' && in[3] == ';') {
            *out++ = in[1] == 'l' ? '<' : '>';
            in += 4;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
}

// ---------------------------------------------------------------------------------------------
// Tree building and writing

XmlNode *xml_new_node(const char *name) {
    XmlNode *node = node_alloc();
    if (node) node->name = copy_string(name);
    return node;
}

XmlNode *xml_add_child(XmlNode *parent, const char *name) {
    XmlNode *node = xml_new_node(name);
    if (node) append_child(parent, node);
    return node;
}

void xml_set_attribute(XmlNode *node, const char *name, const char *value) {
    for (int32_t i = 0; i < node->attribute_count; i++) {
        if (node->attributes[i].name && std::strcmp(node->attributes[i].name, name) == 0) {
            free_string(node->attributes[i].value);
            node->attributes[i].value = copy_string(value);
            return;
        }
    }
    append_attribute(node, copy_string(name), copy_string(value));
}

// Numbers are formatted into at most 31 characters, with '.' whatever the process locale says.
static void format_fixed(char out[32], double value, int precision) {
    char wide[512];
    int n = std::snprintf(wide, sizeof wide, "%.*f", precision, value);
    std::string text(wide, n > 0 ? std::min<size_t>(size_t(n), sizeof wide - 1) : 0);
    const char *point = std::localeconv()->decimal_point;
    if (point && point[0] && std::strcmp(point, ".") != 0) {
        size_t at = text.find(point);
        if (at != std::string::npos) text.replace(at, std::strlen(point), ".");
    }
    size_t len = std::min<size_t>(text.size(), 31);
    std::memcpy(out, text.data(), len);
    out[len] = 0;
}

void xml_set_attribute_u32(XmlNode *node, const char *name, uint32_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u", value);
    xml_set_attribute(node, name, buf);
}

void xml_set_attribute_i32(XmlNode *node, const char *name, int32_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d", value);
    xml_set_attribute(node, name, buf);
}

void xml_set_attribute_float(XmlNode *node, const char *name, double value) {
    char buf[32];
    format_fixed(buf, value, 6);
    xml_set_attribute(node, name, buf);
}

void xml_set_text(XmlNode *node, const char *text) {
    free_string(node->text);
    node->text = copy_string(text);
}

void xml_replace_value(XmlNode *node, int32_t index, const char *value) {
    if (!node || index < 0 || index >= node->attribute_count) return;
    free_string(node->attributes[index].value);
    node->attributes[index].value = copy_string(value);
}

void xml_set_text_float(XmlNode *node, double value) {
    char buf[32];
    format_fixed(buf, value, 6);
    xml_set_text(node, buf);
}

void xml_set_text_precise(XmlNode *node, double value) {
    char buf[32];
    format_fixed(buf, value, 12);
    xml_set_text(node, buf);
}

void xml_set_text_u32(XmlNode *node, uint32_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u", value);
    xml_set_text(node, buf);
}

XmlNode *xml_load_file(const char *path) {
    uint32_t size = 0;
    uint8_t *data = file_read_all(path, &size);
    if (!data) return nullptr;
    data[size] = 0;
    XmlNode *doc = xml_parse(reinterpret_cast<const char *>(data));
    std::free(data);
    return doc;
}

static void write_indent(TextBuilder *tb, int depth) {
    for (int i = 0; i < depth; i++)
        text_builder_append_text(tb, "  ");
}

static void write_close(TextBuilder *tb, const XmlNode *node, int depth) {
    write_indent(tb, depth);
    text_builder_append_text(tb, "</");
    text_builder_append_text(tb, node->name ? node->name : "");
    text_builder_append_text(tb, ">\n");
}

// Writes the start of a node; returns true when its children follow.
static bool write_open(TextBuilder *tb, const XmlNode *node, int depth) {
    write_indent(tb, depth);
    text_builder_append_text(tb, "<");
    text_builder_append_text(tb, node->name ? node->name : "");
    for (int32_t i = 0; i < node->attribute_count; i++) {
        text_builder_append_text(tb, " ");
        text_builder_append_text(tb, node->attributes[i].name ? node->attributes[i].name : "");
        text_builder_append_text(tb, "=\"");
        text_builder_append_text(tb, node->attributes[i].value ? node->attributes[i].value : "");
        text_builder_append_text(tb, "\"");
    }
    if (node->text) {
        text_builder_append_text(tb, ">");
        text_builder_append_text(tb, node->text);
        text_builder_append_text(tb, "</");
        text_builder_append_text(tb, node->name ? node->name : "");
        text_builder_append_text(tb, ">\n");
        return false;
    }
    if (!node->first_child) {
        text_builder_append_text(tb, "/>\n");
        return false;
    }
    text_builder_append_text(tb, ">\n");
    return true;
}

char *xml_write(const XmlNode *root) {
    TextBuilder tb;
    text_builder_init(&tb, 16384);
    const XmlNode *node = root;
    int depth = 0;
    while (node) {
        if (write_open(&tb, node, depth)) {
            node = node->first_child;
            depth++;
            continue;
        }
        while (node != root && !node->next) {
            node = node->parent;
            depth--;
            write_close(&tb, node, depth);
        }
        node = node == root ? nullptr : node->next;
    }
    return text_builder_take(&tb);
}

char *xml_escape(const char *text) {
    TextBuilder tb;
    text_builder_init(&tb, 64);
    char one[2] = {0, 0};
    for (const char *p = text; p && *p; p++) {
        if (*p == '<') {
            text_builder_append_text(&tb, "&lt;");
        } else if (*p == '>') {
            text_builder_append_text(&tb, "&gt;");
        } else {
            one[0] = *p;
            text_builder_append_text(&tb, one);
        }
    }
    return text_builder_take(&tb);
}

} // namespace resources
