#include "analysis/analysis.h"

#include "analysis/rules.h"
#include "analysis/well_formed.h"

#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_release.h"
#include "textures/texture_definitions.h"

#include <algorithm>
#include <cstring>

namespace analysis {

void analysis_check(const AnalysisDocument &doc, const AnalysisHost &host, uint8_t scope,
                    std::vector<Finding> *findings) {
    size_t first = findings->size();
    SourceDocument src;
    if (!source_document_open(&src, doc.file, doc.demo, doc.text, doc.size)) {
        findings->push_back(
            Finding{doc.file, 0, -1, -1, "is too large to read in memory", FINDING_STRUCTURE});
        return;
    }
    if (!well_formed(src.file, src.text, src.line_starts, findings)) {
        source_document_close(&src);
        std::stable_sort(findings->begin() + std::ptrdiff_t(first), findings->end(),
                         [](const Finding &a, const Finding &b) { return a.line < b.line; });
        return;
    }
    CheckContext c;
    c.src = &src;
    c.host = &host;
    c.findings = findings;
    c.sc = nullptr;
    std::fill(c.count, c.count + kListCount, 0u);
    names_resolve(&src, findings, nullptr);
    c.sc = scene::scene_create();
    bool files = (scope & CHECK_FILES) != 0;
    if (c.sc && rules_structure(c)) {
        rules_read_records(c);
        names_collect(src, &c.names);
        if (scope & CHECK_DOCUMENTS) {
            rules_texture_layers(c);
            rules_nodes(c);
            rules_graph_links(c);
            rules_models(c);
            rules_functions(c);
            rules_lights(c);
            rules_effects2d(c);
            rules_bitmaps(c);
            rules_cube_maps(c);
            rules_fonts(c);
            rules_texture_slots(c);
            rules_materials(c);
            rules_mesh_effects(c);
            rules_objects(c);
            rules_timeline(c, files);
            rules_numbers(c);
        }
        rules_music(c, files);
        if (files) {
            rules_model_files(c);
            rules_image_files(c);
        }
        if (scope & CHECK_GRAPH) rules_graph_run(c);
        if (scope & CHECK_GLSL) rules_glsl(c);
    }
    scene::scene_release(c.sc);
    source_document_close(&src);
    std::vector<Finding> mine(findings->begin() + std::ptrdiff_t(first), findings->end());
    findings->resize(first);
    std::stable_sort(mine.begin(), mine.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    findings->insert(findings->end(), mine.begin(), mine.end());
}

bool analysis_package_text(const AnalysisDocument &doc, std::string *out, std::vector<Finding> *findings) {
    SourceDocument src;
    if (!source_document_open(&src, doc.file, doc.demo, doc.text, doc.size)) return false;
    size_t before = findings->size();
    std::vector<TextEdit> edits;
    names_resolve(&src, findings, &edits);
    bool ok = findings->size() == before;
    names_strip_edits(src, &edits);
    *out = text_apply_edits(src.text, edits);
    source_document_close(&src);
    return ok;
}

void analysis_named_files(const AnalysisDocument &doc, const AnalysisHost &host,
                          std::vector<std::string> *out) {
    SourceDocument src;
    if (!source_document_open(&src, doc.file, doc.demo, doc.text, doc.size)) return;
    auto add = [&](const char *name) {
        if (name && name[0] && std::find(out->begin(), out->end(), name) == out->end()) out->push_back(name);
    };
    for (const XmlNode *el : source_records(src, 3))
        add(resources::xml_attribute(el, "filename"));
    for (const XmlNode *el : source_records(src, 7)) {
        const char *name = resources::xml_attribute(el, "filename");
        add(name);
        for (int level = 1; name && level <= 2; level++) {
            char level_name[512];
            textures::bitmap_level_name(name, level, level_name, sizeof level_name);
            std::vector<uint8_t> bytes;
            if (host.read && host.read(host.user, level_name, &bytes)) add(level_name);
        }
    }
    for (const XmlNode *el : source_records(src, 8))
        for (const char *face : {"xp", "xn", "yp", "yn", "zp", "zn"})
            add(resources::xml_attribute(el, face));
    source_document_close(&src);
}

} // namespace analysis
