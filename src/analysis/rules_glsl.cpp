// Every program, generated or the document's own, through the host's GLSL compiler.
#include "analysis/rules.h"

#include "render/material.h"
#include "render/shader_text.h"
#include "resources/object_list.h"
#include "scene/scene.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace analysis {

namespace {

// The driver's messages, one finding each. A message that names a line of a shader that stands in
// the document ("0:5(12): error ..." or "0(5) : error ...") is placed on that line.
void report_log(CheckContext &c, const XmlNode *at, const std::string &who, const std::string &stage,
                const std::string &log, bool in_document) {
    size_t start = 0;
    bool any = false;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty()) continue;
        any = true;
        int source_line = 0, consumed = 0;
        if (std::sscanf(line.c_str(), "0:%d(%*d):%n", &source_line, &consumed) != 1 || consumed == 0) {
            consumed = 0;
            if (std::sscanf(line.c_str(), "0(%d) :%n", &source_line, &consumed) != 1 || consumed == 0)
                source_line = 0;
        }
        std::string text = consumed ? line.substr(size_t(consumed)) : line;
        while (!text.empty() && text[0] == ' ')
            text.erase(0, 1);
        if (in_document && at && source_line > 0) {
            // The text starts on the element's own line when it follows the start tag there.
            int32_t first = at->text_offset >= 0 ? source_line_of(*c.src, at->text_offset) : at->line;
            int32_t line_number = first + source_line - 1;
            int32_t begin = line_number - 1 < int32_t(c.src->line_starts.size())
                                ? c.src->line_starts[size_t(line_number - 1)]
                                : -1;
            c.findings->push_back(
                Finding{c.src->file, line_number, begin, begin,
                        format("%s: %s line %d: %s", who.c_str(), stage.c_str(), source_line, text.c_str()),
                        FINDING_RULE});
        } else {
            flag(c, at, "%s: %s%s: %s", who.c_str(), stage.c_str(),
                 source_line > 0 ? format(" line %d", source_line).c_str() : "", text.c_str());
        }
    }
    if (!any) flag(c, at, "%s: %s fails, and the driver says nothing", who.c_str(), stage.c_str());
}

} // namespace

void rules_glsl(CheckContext &c) {
    if (!c.host->compile) return;
    // Identical generated programs are compiled once, as the loader shares them.
    std::map<std::string, bool> compiled;
    int position = 1;
    for (const XmlNode *el = c.src->section[11]->first_child; el; el = el->next, position++) {
        render::Material *m = resources::object_at<render::Material>(c.sc->materials, uint32_t(position));
        if (!m) break;
        std::string who = format("material %d", position);
        render::ShaderProgram generated = {};
        const render::ShaderProgram *p = &m->custom;
        if (m->enable_glsl && (!p->vertex_length || !p->fragment_length)) continue; // reported already
        if (!m->enable_glsl) {
            render::ShaderInputs inputs = render::shader_inputs_of(m, c.sc->lights, c.sc->texture_slots);
            render::shader_generate(m, inputs, &generated);
            p = &generated;
        }
        std::string key = std::string(p->vertex_text ? p->vertex_text : "") + '\0' +
                          (p->fragment_text ? p->fragment_text : "");
        if (!m->enable_glsl && compiled.count(key)) {
            std::free(generated.vertex_text);
            std::free(generated.fragment_text);
            continue;
        }
        const XmlNode *vs_el = el, *fs_el = el;
        for (const XmlNode *ch = el->first_child; ch; ch = ch->next) {
            int row = render::material_child_of(ch);
            if (row == render::MATERIAL_VERTEX_SHADER) vs_el = ch;
            if (row == render::MATERIAL_FRAGMENT_SHADER) fs_el = ch;
        }
        bool in_document = m->enable_glsl != 0;
        std::string kind = in_document ? "" : "generated ";
        GlslResult r = {};
        c.host->compile(c.host->user, p->vertex_text ? p->vertex_text : "", p->vertex_length,
                        p->fragment_text ? p->fragment_text : "", p->fragment_length, &r);
        if (!r.vertex_ok) report_log(c, vs_el, who, kind + "vertex shader", r.vertex_log, in_document);
        if (!r.fragment_ok) report_log(c, fs_el, who, kind + "fragment shader", r.fragment_log, in_document);
        if (r.vertex_ok && r.fragment_ok && !r.linked)
            report_log(c, el, who, kind + "program link", r.link_log, false);
        if (!m->enable_glsl) compiled[key] = true;
        std::free(generated.vertex_text);
        std::free(generated.fragment_text);
    }
}

} // namespace analysis
