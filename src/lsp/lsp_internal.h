// What the parts of the language service share: the open documents with their analysis, positions
// in the protocol's units, and the JSON helpers.
#pragma once

#include "lsp/language_service.h"

#include "analysis/references.h"
#include "analysis/roles.h"
#include "analysis/source_document.h"

#include <nlohmann/json.hpp>

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace lsp {

using json = nlohmann::json;

struct Document {
    std::string uri, path, folder, file; // file: the name in the folder ("demo.xml")
    std::string text;
    int64_t version;
    bool analysed; // a scene document of a demo folder (demo.xml or loading.xml), analysed
    bool demo;
    analysis::SourceDocument src; // the text as written (names unresolved), for places
    std::vector<analysis::ReferenceSite> sites;
    analysis::NameTable names;
    std::vector<analysis::Finding> fast, slow; // the document rules; the files, graph and programs
    int64_t slow_version;                      // the version the slow findings were made for
};

struct Service {
    ServiceHost host;
    std::string root; // the workspace folder, "" when the client named none
    std::map<std::string, Document> docs;
    std::deque<std::string> slow_due; // documents whose slow checks are due, oldest first
    bool shutdown;
};

// Positions: the protocol counts lines from 0 and columns in UTF-16 code units.
json position_json(const Document &d, int32_t offset);
json range_json(const Document &d, int32_t begin, int32_t end);
int32_t offset_of(const Document &d, const json &position); // -1 when the position is malformed

// The deepest element whose text holds the offset, or null.
const resources::XmlNode *element_at(const Document &d, int32_t offset);
// The attribute of el whose name or value holds the offset (-1 none); *in_value tells which.
int32_t attribute_at(const resources::XmlNode *el, int32_t offset, bool *in_value);
// Whether the offset lies in el's text.
bool in_text(const resources::XmlNode *el, int32_t offset);
// The reference site at an offset (its value's range holds it), or null.
const analysis::ReferenceSite *site_at(const Document &d, int32_t offset);
// The record element at a 1-based position of a list, and the position a reference's text names
// (0 when it names none: 0, an unknown name, not a number).
const resources::XmlNode *record_of(const Document &d, analysis::ListKind list, int32_t position);
int32_t site_target(const Document &d, const analysis::ReferenceSite &s);
// "model 3 `cube`" for a record of a list.
std::string record_label(const Document &d, analysis::ListKind list, int32_t position);

std::string uri_to_path(const std::string &uri);
std::string path_to_uri(const std::string &path);

// Analyses a document's text again (the fast rules) and returns its diagnostics notification.
json analyse(Service &s, Document &d);
json diagnostics_notification(const Document &d);

// The requests, each given the document and the request's parameters.
json hover(const Document &d, const json &params);
json inlay_hints(const Document &d, const json &params);
json definition(const Document &d, const json &params);
json references(const Document &d, const json &params);
json document_symbols(const Document &d);
json prepare_rename(const Document &d, const json &params);
json rename(const Document &d, const json &params, std::string *error);
json completion(const Document &d, const json &params);
json code_actions(const Document &d, const json &params);

} // namespace lsp
