// Completion: the names the readers read where the cursor is, the numbers a kind may take, and the
// records a reference may name.
#include "lsp/lsp_internal.h"

#include "render/material.h"
#include "resources/xml.h"

#include <cstring>

namespace lsp {

using resources::XmlNode;

namespace {

enum ItemKind : int { KIND_PROPERTY = 10, KIND_CLASS = 7, KIND_REFERENCE = 18, KIND_ENUM_MEMBER = 20 };

json item(const std::string &label, int kind, const std::string &detail, const std::string &insert = "") {
    json i = {{"label", label}, {"kind", kind}};
    if (!detail.empty()) i["detail"] = detail;
    if (!insert.empty()) i["insertText"] = insert;
    return i;
}

// The element names read inside an element in this role.
std::vector<std::string> child_names(const analysis::ElementRole &role) {
    std::vector<std::string> out;
    if (role.depth == 0) {
        for (const scene::SectionDescriptor &s : scene::kDocumentSections)
            out.push_back(s.name);
        return out;
    }
    int s = role.section;
    if (role.depth == 1) {
        if (s >= 1 && s < scene::kDocumentSectionCount)
            out.push_back(scene::kDocumentForms[scene::kDocumentSections[s - 1].record].element);
        return out;
    }
    if (role.depth == 2) {
        switch (s) {
        case 1:
        case 6:
        case 12: out = {scene::kParameterElement}; break;
        case 2: out = {"i", "input", "output", scene::kParameterElement}; break;
        case 4: out = {"s"}; break;
        case 5: out = {scene::kValueElement}; break;
        case 9: out = {"glyph"}; break;
        case 11:
            for (const char *n : render::kMaterialChildNames)
                out.push_back(n);
            break;
        case 13: out = {"item"}; break;
        case 14: out = {"layer"}; break;
        default: break;
        }
        return out;
    }
    if (role.depth == 3 && s == 4) out = {scene::kParameterElement};
    if (role.depth == 3 && s == 14) out = {scene::kValueElement};
    if (role.depth == 3 && s == 13) {
        out = {scene::kValueElement};
        for (int i = 9; i < scene::kItemChildCount; i++)
            out.push_back(scene::kItemChildElements[i]);
        out.push_back(scene::kManipulatorElement);
    }
    if (role.depth == 4 && s == 13) out = {"manipulator", scene::kValueElement};
    return out;
}

} // namespace

json completion(const Document &d, const json &params) {
    json items = json::array();
    int32_t offset = offset_of(d, params.value("position", json()));
    if (offset < 0) return items;
    const XmlNode *el = element_at(d, offset);
    // An element being typed ("<ma"): its parent is the one whose children are offered.
    size_t lt = d.text.rfind('<', offset > 0 ? size_t(offset - 1) : 0);
    bool typing_name = offset > 0 && lt != std::string::npos && lt < size_t(offset);
    for (size_t i = lt + 1; typing_name && i < size_t(offset); i++) {
        char c = d.text[i];
        typing_name = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    }
    if (typing_name) {
        const XmlNode *parent = el;
        if (el && el->offset == int32_t(lt)) parent = el->parent;
        analysis::ElementRole role;
        if (parent && parent != d.src.tree && analysis::element_role(d.src, parent, &role))
            for (const std::string &n : child_names(role))
                items.push_back(item(n, KIND_CLASS, role.title.empty() ? "" : "in " + role.title));
        return items;
    }
    if (!el) return items;
    analysis::ElementRole role;
    if (!analysis::element_role(d.src, el, &role)) return items;
    bool in_value = false;
    int32_t a = attribute_at(el, offset, &in_value);
    if (a >= 0 && in_value) {
        if (const analysis::ReferenceSite *s = site_at(d, offset)) {
            const XmlNode *section = d.src.section[analysis::list_section(s->target)];
            int32_t position = 1;
            for (const XmlNode *r = section ? section->first_child : nullptr; r; r = r->next, position++) {
                std::string summary = analysis::record_summary(d.src, analysis::list_section(s->target), r);
                std::string number = std::to_string(analysis::list_number(s->target, position));
                if (const char *name = resources::xml_attribute(r, "name"))
                    items.push_back(item("@" + std::string(name), KIND_REFERENCE, number + ": " + summary));
                items.push_back(item(number, KIND_REFERENCE,
                                     (resources::xml_attribute(r, "name")
                                          ? std::string(resources::xml_attribute(r, "name")) + ", "
                                          : "") +
                                         summary));
            }
            return items;
        }
        for (const analysis::KindChoice &k : analysis::kind_choices(role, el->attributes[a].name))
            items.push_back(item(std::to_string(k.number), KIND_ENUM_MEMBER, k.name));
        return items;
    }
    int32_t begin, end;
    analysis::source_start_tag(d.src, el, &begin, &end);
    if (offset > begin && offset < end) {
        for (const std::string &name : analysis::role_attributes(role)) {
            if (resources::xml_attribute(el, name.c_str())) continue;
            items.push_back(
                item(name, KIND_PROPERTY, analysis::attribute_meaning(role, name.c_str()), name + "=\"\""));
        }
        return items;
    }
    // A text value that refers to a record (a node's inputs and outputs, an effect's functions).
    if (const analysis::ReferenceSite *s = site_at(d, offset)) {
        const XmlNode *section = d.src.section[analysis::list_section(s->target)];
        int32_t position = 1;
        for (const XmlNode *r = section ? section->first_child : nullptr; r; r = r->next, position++) {
            std::string number = std::to_string(analysis::list_number(s->target, position));
            if (const char *name = resources::xml_attribute(r, "name"))
                items.push_back(item("@" + std::string(name), KIND_REFERENCE, number));
            items.push_back(item(number, KIND_REFERENCE,
                                 analysis::record_summary(d.src, analysis::list_section(s->target), r)));
        }
    }
    return items;
}

} // namespace lsp
