#include "analysis/check_context.h"

#include "resources/xml.h"

#include <cstdio>
#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;

static std::string format_text(const char *fmt, va_list args) {
    char buf[2048];
    std::vsnprintf(buf, sizeof buf, fmt, args);
    return buf;
}

std::string format(const char *f, ...) {
    va_list args;
    va_start(args, f);
    std::string s = format_text(f, args);
    va_end(args);
    return s;
}

void flag_at(CheckContext &c, Where at, FindingKind kind, const std::string &message) {
    int32_t begin = -1, end = -1;
    if (at.el && at.attribute) {
        for (int32_t i = 0; i < at.el->attribute_count; i++) {
            const resources::XmlAttribute &a = at.el->attributes[i];
            if (!a.name || std::strcmp(a.name, at.attribute) != 0) continue;
            begin = a.name_offset;
            end = a.value_offset >= 0 ? a.value_offset + int32_t(std::strlen(a.value ? a.value : "")) + 1
                                      : begin + int32_t(std::strlen(a.name));
            break;
        }
    }
    if (at.el && at.text && at.el->text_offset >= 0) {
        begin = at.el->text_offset;
        end = begin + int32_t(std::strlen(at.el->text ? at.el->text : ""));
    }
    if (at.el && begin < 0) source_start_tag(*c.src, at.el, &begin, &end);
    int32_t line = at.el ? at.el->line : 0;
    if (begin >= 0 && (at.attribute || at.text)) line = source_line_of(*c.src, begin);
    c.findings->push_back(Finding{c.src->file, line, begin, end, message, kind});
}

void flag(CheckContext &c, Where at, const char *f, ...) {
    va_list args;
    va_start(args, f);
    flag_at(c, at, FINDING_RULE, format_text(f, args));
    va_end(args);
}

const XmlNode *child_at(const XmlNode *parent, int n) {
    const XmlNode *c = parent ? parent->first_child : nullptr;
    for (int i = 0; c && i < n; i++)
        c = c->next;
    return c;
}

const char *name_of(const XmlNode *n) {
    return n && n->name ? n->name : "?";
}

bool reference(CheckContext &c, Where at, const std::string &who, const char *field, int64_t index,
               ListKind list) {
    uint32_t n = c.count[list];
    if (list == LIST_TEXTURE_LAYERS) {
        if (index >= 0 && index < int64_t(n)) return true;
        flag(c, at, "%s: %s names texture layer %lld, but %s%s", who.c_str(), field,
             static_cast<long long>(index), there_are(n, list).c_str(),
             n ? format(" (0 to %u)", n - 1).c_str() : "");
        return false;
    }
    if (index == 0) return false;
    if (index > 0 && index <= int64_t(n)) return true;
    flag(c, at, "%s: %s names %s %lld, but %s", who.c_str(), field, kListNames[list].one,
         static_cast<long long>(index), there_are(n, list).c_str());
    return false;
}

void unread_attributes(CheckContext &c, const XmlNode *el, scene::DocumentForm form, const std::string &who,
                       bool record) {
    for (int32_t i = 0; el && i < el->attribute_count; i++) {
        const char *name = el->attributes[i].name;
        if (scene::document_form_reads(form, name)) continue;
        if (record && name && std::strcmp(name, "name") == 0) continue;
        const scene::DocumentFormDescriptor &f = scene::kDocumentForms[form];
        std::string reads;
        for (uint8_t k = 0; k < f.attribute_count; k++)
            reads += std::string(k ? ", " : "") + f.attributes[k].name;
        flag(c, Where(el, name), "%s: attribute \"%s\" is not read (%s)", who.c_str(), name ? name : "",
             reads.empty() ? "it reads no attributes" : ("it reads " + reads).c_str());
    }
}

void unread_children(CheckContext &c, const XmlNode *el, const std::string &who) {
    for (const XmlNode *ch = el ? el->first_child : nullptr; ch; ch = ch->next)
        flag(c, ch, "%s: child <%s> is not read", who.c_str(), name_of(ch));
}

void byte_field(CheckContext &c, const XmlNode *el, const std::string &who, const char *attribute) {
    const char *text = xml_attribute(el, attribute);
    if (!text) return;
    int32_t v = resources::xml_to_int(text);
    if (v >= 0 && v <= 255) return;
    flag(c, Where(el, attribute), "%s: %s %d does not fit its byte and is read as %u", who.c_str(), attribute,
         v, static_cast<uint8_t>(v));
}

void format_and_filter(CheckContext &c, const XmlNode *el, const std::string &who, bool filter_matters) {
    byte_field(c, el, who, "texture_format");
    byte_field(c, el, who, "texture_filter");
    uint8_t f = static_cast<uint8_t>(xml_attribute_int(el, "texture_format"));
    if (f > 7)
        flag(c, Where(el, "texture_format"),
             "%s: texture_format %u is not in the format table (0..7): it is read as 0 (RGB)", who.c_str(),
             f);
    uint8_t filter = static_cast<uint8_t>(xml_attribute_int(el, "texture_filter"));
    if (filter_matters && filter > 2)
        flag(c, Where(el, "texture_filter"),
             "%s: texture_filter %u is not 0, 1 or 2: no filter is set, and the texture, which has no mip "
             "levels, draws blank",
             who.c_str(), filter);
}

void dynamic_value(CheckContext &c, const XmlNode *el, const std::string &who, const std::string &what,
                   functions::DynamicTest test) {
    if (!el) return;
    unread_attributes(c, el, scene::FORM_DYNAMIC_VALUE, who + " " + what);
    const char *type = xml_attribute(el, "type");
    uint32_t slot = 0;
    bool dynamic = functions::dynamic_read(el, test, &slot) != 0;
    bool plain = type && (std::strcmp(type, "static") == 0 || std::strcmp(type, "dynamic") == 0);
    if (!plain && (type || test == functions::DYNAMIC_UNLESS_STATIC))
        flag(c, Where(el, type ? "type" : nullptr),
             "%s: %s has %s, which is read as %s (only \"static\" and \"dynamic\" are meant)", who.c_str(),
             what.c_str(), type ? format("type \"%s\"", type).c_str() : "no type",
             dynamic ? format("dynamic, function %d", static_cast<int32_t>(slot)).c_str() : "static");
    if (!dynamic) return;
    if (slot == 0)
        flag(c, Where(el, "value"), "%s: %s is dynamic but names no function (0): it reads 0", who.c_str(),
             what.c_str());
    else
        reference(c, Where(el, "value"), who, what.c_str(), static_cast<int32_t>(slot), LIST_FUNCTIONS);
}

bool unresolved_name(const XmlNode *el, const char *attribute) {
    std::string name;
    return reference_name(xml_attribute(el, attribute), &name);
}

std::string join_and(const std::vector<std::string> &words) {
    std::string s;
    for (size_t i = 0; i < words.size(); i++)
        s += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return s;
}

std::string value_shown(const XmlNode *el) {
    if (!el) return "";
    const char *v = el->first_child ? nullptr : el->text;
    if (!v) v = xml_attribute(el, "value");
    if (!v) return "<" + std::string(name_of(el)) + ">";
    std::string s = v;
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::string seconds(uint32_t hundredths) {
    return format("%u.%02u s (%u)", hundredths / 100, hundredths % 100, hundredths);
}

static std::string ordinal(size_t n) {
    const char *suffix = "th";
    if (n % 100 < 11 || n % 100 > 13)
        suffix = n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    return std::to_string(n) + suffix;
}

void value_count(CheckContext &c, const XmlNode *record, const std::string &who, const std::string &reader,
                 const std::vector<const XmlNode *> &values, const std::vector<std::string> &place_names,
                 const char *missing_reads_as) {
    size_t given = values.size(), reads = place_names.size();
    if (given == reads) return;
    std::string head = format("%s: %u value%s, but %s reads %u", who.c_str(), unsigned(given),
                              given == 1 ? "" : "s", reader.c_str(), unsigned(reads));
    if (given < reads) {
        std::vector<std::string> missing(place_names.begin() + std::ptrdiff_t(given), place_names.end());
        flag(c, record, "%s: %s %s missing and read%s %s", head.c_str(), join_and(missing).c_str(),
             missing.size() == 1 ? "is" : "are", missing.size() == 1 ? "s" : "", missing_reads_as);
        return;
    }
    std::vector<std::string> unread;
    for (size_t i = reads; i < given; i++)
        unread.push_back(ordinal(i + 1) + " (" + value_shown(values[i]) + ")");
    std::string tail;
    if (reads > 0) {
        std::vector<std::string> landed;
        for (size_t i = reads >= 2 ? reads - 2 : 0; i < reads; i++)
            landed.push_back(place_names[i] + " is " + value_shown(values[i]));
        tail =
            "; a value added among them moves every later one a place, so that as read " + join_and(landed);
    }
    flag(c, values[reads], "%s: the %s %s not read%s", head.c_str(), join_and(unread).c_str(),
         unread.size() == 1 ? "is" : "are", tail.c_str());
}

} // namespace analysis
