// XML parsing of hostile shapes: a great many siblings under one element, siblings behind stray end
// tags, and one tag with a great many attributes. Each must cost time in proportion to the text (the
// floor is a plain allocation and copy per node); a quadratic parser shows as a time per byte that
// grows with the argument.
#include "resources/xml.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string shape(int kind, int n) {
    std::string text = "<a>";
    for (int i = 0; i < n; i++)
        text += kind == 0 ? "<b/>" : kind == 1 ? "<b/></x>" : "";
    if (kind == 2) {
        text = "<a";
        for (int i = 0; i < n; i++)
            text += " k=\"v\"";
        text += ">";
    }
    return text + "</a>";
}

void BM_XmlParse(benchmark::State &state) {
    std::string text = shape(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        resources::XmlNode *doc = resources::xml_parse(text.c_str());
        benchmark::DoNotOptimize(doc);
        resources::xml_free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
// Shapes: 0 siblings, 1 siblings behind stray end tags, 2 attributes; 10 thousand and 1 million.
BENCHMARK(BM_XmlParse)->ArgsProduct({{0, 1, 2}, {10000, 1000000}})->Unit(benchmark::kMillisecond);

} // namespace
