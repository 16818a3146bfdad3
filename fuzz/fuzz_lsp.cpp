// The language service driven as an editor drives it, with random documents and random edits: the
// input's text up to its first zero byte is the document (at most 8 KiB of it); every 8 bytes after
// it are one step (an edit of a range, a request at a place, an action taken and applied, a message
// that is not JSON), each answered before the next, at most 24 steps: every step reads the whole
// document again, and more would only slow the search. The slow checks run too, without files or
// programs.
#include "lsp/language_service.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using json = nlohmann::json;

const char *const kUri = "file:///fuzz/demo.xml";

struct Driver {
    lsp::Service *service;
    std::vector<std::string> out;
    int status;
    int64_t version;
};

void send(Driver &d, const json &m) {
    d.out.clear();
    lsp::service_handle(d.service, m.dump(-1, ' ', false, json::error_handler_t::replace), &d.out, &d.status);
}

json place(uint32_t line, uint32_t column) {
    return json{{"line", line}, {"character", column}};
}

json request(const char *method, const json &params) {
    return json{{"jsonrpc", "2.0"}, {"id", 7}, {"method", method}, {"params", params}};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const uint8_t *zero = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    size_t text_size = zero ? size_t(zero - data) : size;
    std::string text(reinterpret_cast<const char *>(data), std::min<size_t>(text_size, 8192));
    Driver d = {lsp::service_create(lsp::ServiceHost{nullptr, nullptr}), {}, 0, 1};
    send(d, request("initialize", json::object()));
    send(d, json{{"jsonrpc", "2.0"},
                 {"method", "textDocument/didOpen"},
                 {"params", {{"textDocument", {{"uri", kUri}, {"version", 1}, {"text", text}}}}}});
    json doc = {{"uri", kUri}};
    size_t last = std::min(size, text_size + 1 + 24 * 8);
    for (size_t at = text_size + 1; at + 8 <= last; at += 8) {
        const uint8_t *s = data + at;
        uint32_t line = s[1] % 64 + (s[2] & 1 ? s[3] * 4u : 0u), column = s[4] % 160;
        uint32_t line2 = line + s[5] % 4, column2 = s[6] % 160;
        json range = {{"start", place(line, column)}, {"end", place(line2, column2)}};
        switch (s[0] % 12) {
        case 0: { // an edit: a range replaced by a few bytes of the input
            std::string typed(reinterpret_cast<const char *>(s + 5), s[7] % 4);
            send(d, json{{"jsonrpc", "2.0"},
                         {"method", "textDocument/didChange"},
                         {"params",
                          {{"textDocument", {{"uri", kUri}, {"version", ++d.version}}},
                           {"contentChanges", json::array({{{"range", range}, {"text", typed}}})}}}});
            break;
        }
        case 1:
            send(d,
                 request("textDocument/hover", {{"textDocument", doc}, {"position", place(line, column)}}));
            break;
        case 2:
            send(d, request("textDocument/completion",
                            {{"textDocument", doc}, {"position", place(line, column)}}));
            break;
        case 3: send(d, request("textDocument/inlayHint", {{"textDocument", doc}, {"range", range}})); break;
        case 4:
            send(d, request("textDocument/definition",
                            {{"textDocument", doc}, {"position", place(line, column)}}));
            break;
        case 5:
            send(d, request("textDocument/references", {{"textDocument", doc},
                                                        {"position", place(line, column)},
                                                        {"context", {{"includeDeclaration", true}}}}));
            break;
        case 6: send(d, request("textDocument/documentSymbol", {{"textDocument", doc}})); break;
        case 7:
            send(d, request("textDocument/rename", {{"textDocument", doc},
                                                    {"position", place(line, column)},
                                                    {"newName", std::string("n") + char('a' + s[7] % 26)}}));
            break;
        case 8: { // an action taken: its edit applied as the whole new text
            send(d, request("textDocument/codeAction",
                            {{"textDocument", doc}, {"range", range}, {"context", json::object()}}));
            if (d.out.empty()) break;
            json reply = json::parse(d.out[0], nullptr, false);
            if (reply.is_discarded() || !reply.contains("result") || !reply["result"].is_array() ||
                reply["result"].empty())
                break;
            const json &chosen = reply["result"][s[7] % reply["result"].size()];
            const json &edits = chosen["edit"]["changes"][kUri];
            if (edits.is_array() && edits.size() == 1 && edits[0].contains("newText"))
                send(d, json{{"jsonrpc", "2.0"},
                             {"method", "textDocument/didChange"},
                             {"params",
                              {{"textDocument", {{"uri", kUri}, {"version", ++d.version}}},
                               {"contentChanges", json::array({{{"range", edits[0]["range"]},
                                                                {"text", edits[0]["newText"]}}})}}}});
            break;
        }
        case 9: { // a message that is not JSON-RPC
            std::string junk(reinterpret_cast<const char *>(s + 1), 7);
            d.out.clear();
            lsp::service_handle(d.service, junk, &d.out, &d.status);
            break;
        }
        case 10: { // the slow checks of the text as it stands
            lsp::SlowJob job;
            while (lsp::service_take_slow_job(d.service, &job)) {
                analysis::AnalysisHost none = {};
                lsp::service_run_slow_job(&job, none);
                d.out.clear();
                lsp::service_finish_slow_job(d.service, job, &d.out);
            }
            break;
        }
        default:
            send(d, request("textDocument/prepareRename",
                            {{"textDocument", doc}, {"position", place(line, column)}}));
            break;
        }
    }
    lsp::service_destroy(d.service);
    return 0;
}
