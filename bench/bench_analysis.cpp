// The language server's answer to an edit of the sample demo's demo.xml: the change applied, the
// document read again with the player's reader and expat, every document rule run, and the
// diagnostics made. The target (the floor): within 50 ms of an edit on this 2-core machine, so that
// findings follow typing; counters give the median and the worst over edits spread across the file.
// Measured on the quiet machine: median 5.3 ms, worst 6.8 ms (with other builds loading it to 10:
// median 9.6 ms, worst 24.7 ms).
#include "lsp/language_service.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kFloorMs = 50.0;

std::string json_string(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

void BM_LanguageServiceEdit(benchmark::State &state) {
    std::ifstream in(BV_SAMPLE_SOURCES "/demo.xml", std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    if (text.empty()) {
        state.SkipWithError("needs the sample demo's sources (build the sample first)");
        return;
    }
    lsp::Service *service = lsp::service_create(lsp::ServiceHost{nullptr, nullptr});
    std::vector<std::string> out;
    int status = 0;
    std::string uri = "file:///bench/sample/demo.xml";
    lsp::service_handle(service, "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\",\"params\":{}}",
                        &out, &status);
    lsp::service_handle(
        service,
        "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"" +
            uri + "\",\"version\":1,\"text\":" + json_string(text) + "}}}",
        &out, &status);
    int lines = int(std::count(text.begin(), text.end(), '\n'));
    std::vector<double> times;
    int version = 1, line = 0;
    for (auto _ : state) {
        // One character typed at the start of a line spread over the file, then taken back.
        line = (line + 37) % std::max(lines, 1);
        for (const char *typed : {" ", ""}) {
            std::string change =
                "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didChange\",\"params\":{\"textDocument\":"
                "{\"uri\":\"" +
                uri + "\",\"version\":" + std::to_string(++version) +
                "},\"contentChanges\":[{\"range\":{\"start\":{\"line\":" + std::to_string(line) +
                ",\"character\":0},\"end\":{\"line\":" + std::to_string(line) +
                ",\"character\":" + (typed[0] ? "0" : "1") + "}},\"text\":\"" + typed + "\"}]}}";
            out.clear();
            auto start = std::chrono::steady_clock::now();
            lsp::service_handle(service, change, &out, &status);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            benchmark::DoNotOptimize(out.data());
        }
    }
    lsp::service_destroy(service);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.back();
        state.counters["floor_ms"] = kFloorMs;
    }
}
BENCHMARK(BM_LanguageServiceEdit)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
