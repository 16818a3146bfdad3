// The session: JSON-RPC messages dispatched, documents opened, changed and closed, diagnostics
// published, and the slow checks handed to the face.
#include "lsp/lsp_internal.h"

#include "resources/xml.h"

#include <algorithm>

namespace lsp {

namespace {

enum ErrorCode : int {
    PARSE_ERROR = -32700,
    INVALID_REQUEST = -32600,
    METHOD_NOT_FOUND = -32601,
    INVALID_PARAMS = -32602,
    SERVER_NOT_INITIALIZED = -32002,
    REQUEST_FAILED = -32803,
};

json error_response(const json &id, int code, const std::string &message) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

json result_response(const json &id, const json &result) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}};
}

std::string base_name(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_of(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void close_analysis(Document &d) {
    analysis::source_document_close(&d.src);
    d.sites.clear();
}

json capabilities() {
    return json{
        {"positionEncoding", "utf-16"},
        {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
        {"hoverProvider", true},
        {"inlayHintProvider", true},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"documentSymbolProvider", true},
        {"renameProvider", {{"prepareProvider", true}}},
        {"completionProvider", {{"triggerCharacters", {"@", "\"", "<", " "}}}},
        {"codeActionProvider", true},
    };
}

// Applies one content change of didChange: a range replaced, or the whole text.
bool apply_change(Document &d, const json &change) {
    if (!change.is_object() || !change.contains("text") || !change["text"].is_string()) return false;
    const std::string &text = change["text"].get_ref<const std::string &>();
    if (!change.contains("range")) {
        d.text = text;
    } else {
        const json &range = change["range"];
        if (!range.is_object()) return false;
        int32_t begin = offset_of(d, range.value("start", json())),
                end = offset_of(d, range.value("end", json()));
        if (begin < 0 || end < 0 || end < begin) return false;
        d.text.replace(size_t(begin), size_t(end - begin), text);
    }
    // Every change is placed against the text as it stands after the one before.
    close_analysis(d);
    analysis::source_document_open(&d.src, d.file.c_str(), d.demo, d.text.data(), d.text.size());
    return true;
}

const std::string *text_document_uri(const json &params) {
    if (!params.is_object() || !params.contains("textDocument")) return nullptr;
    const json &td = params["textDocument"];
    if (!td.is_object() || !td.contains("uri") || !td["uri"].is_string()) return nullptr;
    return &td["uri"].get_ref<const std::string &>();
}

void tell_unsaved(Service &s, const Document &d, const std::string *text) {
    if (d.analysed && s.host.unsaved) s.host.unsaved(s.host.user, d.folder, d.file, text);
}

void due(Service &s, const std::string &uri) {
    if (std::find(s.slow_due.begin(), s.slow_due.end(), uri) == s.slow_due.end()) s.slow_due.push_back(uri);
}

void open_document(Service &s, const json &params, std::vector<std::string> *out) {
    const std::string *uri = text_document_uri(params);
    if (!uri) return;
    const json &td = params["textDocument"];
    if (!td.contains("text") || !td["text"].is_string()) return;
    const std::string &text = td["text"].get_ref<const std::string &>();
    if (text.size() > kMaxDocumentBytes || (s.docs.size() >= kMaxDocuments && !s.docs.count(*uri))) {
        json message = {
            {"type", 1},
            {"message", "bvtool lsp: " + *uri + " is not analysed (too large, or too many open)"}};
        out->push_back(
            json{{"jsonrpc", "2.0"}, {"method", "window/showMessage"}, {"params", message}}.dump());
        return;
    }
    Document &d = s.docs[*uri];
    close_analysis(d);
    d.uri = *uri;
    d.path = uri_to_path(*uri);
    d.folder = folder_of(d.path);
    d.file = base_name(d.path);
    d.text = text;
    d.version = td.value("version", int64_t(0));
    d.demo = d.file == "demo.xml";
    d.analysed = d.demo || d.file == "loading.xml";
    d.slow.clear();
    d.slow_version = -1;
    analysis::source_document_open(&d.src, d.file.c_str(), d.demo, d.text.data(), d.text.size());
    if (!d.analysed) return;
    out->push_back(analyse(s, d).dump());
    due(s, d.uri);
}

} // namespace

Service *service_create(const ServiceHost &host) {
    Service *s = new Service();
    s->host = host;
    s->shutdown = false;
    return s;
}

void service_destroy(Service *s) {
    if (!s) return;
    for (auto &entry : s->docs)
        close_analysis(entry.second);
    delete s;
}

json analyse(Service &s, Document &d) {
    (void)s;
    d.sites.clear();
    analysis::reference_sites(d.src, &d.sites);
    analysis::names_collect(d.src, &d.names);
    d.fast.clear();
    analysis::AnalysisHost none = {};
    analysis::AnalysisDocument doc = {d.file.c_str(), d.text.data(), d.text.size(), d.demo};
    analysis::analysis_check(doc, none, analysis::CHECK_DOCUMENTS, &d.fast);
    return diagnostics_notification(d);
}

json diagnostics_notification(const Document &d) {
    json list = json::array();
    for (const std::vector<analysis::Finding> *set : {&d.fast, &d.slow})
        for (const analysis::Finding &f : *set) {
            json range;
            if (f.begin >= 0) {
                range = range_json(d, f.begin, f.end);
            } else if (f.line > 0 && size_t(f.line) <= d.src.line_starts.size()) {
                int32_t start = d.src.line_starts[size_t(f.line) - 1];
                size_t stop = d.text.find('\n', size_t(start));
                range =
                    range_json(d, start, stop == std::string::npos ? int32_t(d.text.size()) : int32_t(stop));
            } else {
                range = range_json(d, 0, 0);
            }
            int severity = f.kind == analysis::FINDING_RULE ? 2 : 1;
            list.push_back(json{{"range", range},
                                {"severity", severity},
                                {"source", "bvtool check"},
                                {"message", f.message}});
        }
    return json{{"jsonrpc", "2.0"},
                {"method", "textDocument/publishDiagnostics"},
                {"params", {{"uri", d.uri}, {"version", d.version}, {"diagnostics", list}}}};
}

bool service_handle(Service *s, const std::string &message, std::vector<std::string> *out, int *exit_status) {
    json m = json::parse(message, nullptr, false);
    if (m.is_discarded()) {
        out->push_back(error_response(nullptr, PARSE_ERROR, "the message is not JSON").dump());
        return true;
    }
    if (!m.is_object() || !m.contains("method") || !m["method"].is_string()) {
        // A response to something we never ask, or not a message at all.
        if (m.is_object() && (m.contains("result") || m.contains("error"))) return true;
        out->push_back(error_response(m.is_object() && m.contains("id") ? m["id"] : json(nullptr),
                                      INVALID_REQUEST, "not a JSON-RPC request or notification")
                           .dump());
        return true;
    }
    const std::string &method = m["method"].get_ref<const std::string &>();
    bool request = m.contains("id") && (m["id"].is_number_integer() || m["id"].is_string());
    json id = request ? m["id"] : json(nullptr);
    json params = m.contains("params") ? m["params"] : json::object();
    auto reply = [&](const json &result) {
        if (request) out->push_back(result_response(id, result).dump());
    };
    auto fail = [&](int code, const std::string &why) {
        if (request) out->push_back(error_response(id, code, why).dump());
    };

    if (method == "exit") {
        *exit_status = s->shutdown ? 0 : 1;
        return false;
    }
    if (method == "initialize") {
        if (params.is_object()) {
            if (params.contains("rootUri") && params["rootUri"].is_string())
                s->root = uri_to_path(params["rootUri"].get<std::string>());
            else if (params.contains("rootPath") && params["rootPath"].is_string())
                s->root = params["rootPath"].get<std::string>();
        }
        reply(json{{"capabilities", capabilities()},
                   {"serverInfo", {{"name", "bvtool lsp"}, {"version", "1.2"}}}});
        return true;
    }
    if (method == "shutdown") {
        s->shutdown = true;
        reply(nullptr);
        return true;
    }
    if (method == "initialized" || method.compare(0, 2, "$/") == 0 ||
        method.compare(0, 10, "workspace/") == 0) {
        if (request) fail(METHOD_NOT_FOUND, "not handled: " + method);
        return true;
    }
    if (method == "textDocument/didOpen") {
        open_document(*s, params, out);
        return true;
    }
    const std::string *uri = text_document_uri(params);
    auto found = uri ? s->docs.find(*uri) : s->docs.end();
    if (method == "textDocument/didChange") {
        if (found == s->docs.end()) return true;
        Document &d = found->second;
        const json &changes = params.value("contentChanges", json::array());
        if (!changes.is_array()) return true;
        for (const json &change : changes) {
            if (!apply_change(d, change)) break;
            if (d.text.size() > kMaxDocumentBytes) {
                // Beyond the bound the document is no longer held: the client sees it go quiet.
                tell_unsaved(*s, d, nullptr);
                close_analysis(d);
                s->docs.erase(found);
                return true;
            }
        }
        if (params["textDocument"].contains("version") &&
            params["textDocument"]["version"].is_number_integer())
            d.version = params["textDocument"]["version"].get<int64_t>();
        if (!d.analysed) return true;
        tell_unsaved(*s, d, &d.text);
        out->push_back(analyse(*s, d).dump());
        due(*s, d.uri);
        return true;
    }
    if (method == "textDocument/didSave") {
        if (found != s->docs.end()) {
            tell_unsaved(*s, found->second, nullptr);
            due(*s, found->first);
        }
        return true;
    }
    if (method == "textDocument/didClose") {
        if (found != s->docs.end()) {
            tell_unsaved(*s, found->second, nullptr);
            close_analysis(found->second);
            out->push_back(json{{"jsonrpc", "2.0"},
                                {"method", "textDocument/publishDiagnostics"},
                                {"params", {{"uri", found->first}, {"diagnostics", json::array()}}}}
                               .dump());
            s->docs.erase(found);
        }
        return true;
    }
    if (!request) return true; // an unknown notification is ignored, as the protocol asks
    if (method.compare(0, 13, "textDocument/") != 0) {
        fail(METHOD_NOT_FOUND, "not handled: " + method);
        return true;
    }
    if (!uri) {
        fail(INVALID_PARAMS, "no textDocument.uri");
        return true;
    }
    if (found == s->docs.end() || !found->second.analysed) {
        // Not a scene document: nothing to say about it.
        reply(method == "textDocument/documentSymbol" || method == "textDocument/inlayHint" ||
                      method == "textDocument/references" || method == "textDocument/codeAction"
                  ? json::array()
                  : json(nullptr));
        return true;
    }
    const Document &d = found->second;
    if (method == "textDocument/hover")
        reply(hover(d, params));
    else if (method == "textDocument/inlayHint")
        reply(inlay_hints(d, params));
    else if (method == "textDocument/definition")
        reply(definition(d, params));
    else if (method == "textDocument/references")
        reply(references(d, params));
    else if (method == "textDocument/documentSymbol")
        reply(document_symbols(d));
    else if (method == "textDocument/prepareRename")
        reply(prepare_rename(d, params));
    else if (method == "textDocument/rename") {
        std::string why;
        json edit = rename(d, params, &why);
        if (why.empty())
            reply(edit);
        else
            fail(REQUEST_FAILED, why);
    } else if (method == "textDocument/completion")
        reply(completion(d, params));
    else if (method == "textDocument/codeAction")
        reply(code_actions(d, params));
    else
        fail(METHOD_NOT_FOUND, "not handled: " + method);
    return true;
}

bool service_take_slow_job(Service *s, SlowJob *job) {
    while (!s->slow_due.empty()) {
        std::string uri = s->slow_due.front();
        s->slow_due.pop_front();
        auto it = s->docs.find(uri);
        if (it == s->docs.end() || !it->second.analysed) continue;
        const Document &d = it->second;
        *job = SlowJob{d.uri, d.folder, d.file, d.text, d.version, d.demo, {}};
        return true;
    }
    return false;
}

void service_run_slow_job(SlowJob *job, const analysis::AnalysisHost &host) {
    job->findings.clear();
    analysis::AnalysisDocument doc = {job->file.c_str(), job->text.data(), job->text.size(), job->demo};
    uint8_t scope = analysis::CHECK_FILES | analysis::CHECK_GRAPH | (host.compile ? analysis::CHECK_GLSL : 0);
    analysis::analysis_check(doc, host, scope, &job->findings);
}

void service_finish_slow_job(Service *s, const SlowJob &job, std::vector<std::string> *out) {
    auto it = s->docs.find(job.uri);
    if (it == s->docs.end() || it->second.text != job.text) return;
    Document &d = it->second;
    d.slow = job.findings;
    d.slow_version = job.version;
    out->push_back(diagnostics_notification(d).dump());
}

} // namespace lsp
