// The package of a demo folder, made from what the host reads: the same bytes wherever it is made
// (bvtool build, the preview, the browser's studio).
#include "analysis/analysis.h"

#include "resources/package.h"
#include "resources/packed.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace analysis {

namespace {

void store_u32be(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

} // namespace

bool analysis_build(const AnalysisHost &host, std::vector<uint8_t> *package, BuildReport *report) {
    *report = BuildReport{};
    package->clear();
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    std::vector<std::string> named;
    for (const char *document : {"demo.xml", "loading.xml"}) {
        std::vector<uint8_t> raw;
        if (!host.read || !host.read(host.user, document, &raw)) {
            if (std::strcmp(document, "demo.xml") == 0) {
                report->error = "there is no demo.xml";
                return false;
            }
            continue;
        }
        AnalysisDocument doc = {document, reinterpret_cast<const char *>(raw.data()), raw.size(),
                                std::strcmp(document, "demo.xml") == 0};
        std::string text;
        if (!analysis_package_text(doc, &text, &report->findings)) {
            report->error = std::string(document) + " names records that do not resolve";
            return false;
        }
        uint32_t packed_size = 0;
        uint8_t *packed = resources::packed_compress(reinterpret_cast<const uint8_t *>(text.data()),
                                                     uint32_t(text.size()), &packed_size);
        if (!packed) {
            report->error = std::string("cannot compress ") + document;
            return false;
        }
        entries.push_back({std::string(document) + "z", std::vector<uint8_t>(packed, packed + packed_size)});
        std::free(packed);
        analysis_named_files(doc, host, &named);
    }
    for (const std::string &name : named) {
        std::vector<uint8_t> bytes;
        if (!host.read(host.user, name.c_str(), &bytes)) {
            report->missing.push_back(name);
            continue;
        }
        entries.push_back({name, std::move(bytes)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::pair<std::string, std::vector<uint8_t>> &a,
                 const std::pair<std::string, std::vector<uint8_t>> &b) { return a.first < b.first; });
    for (const auto &e : entries)
        if (e.first.empty() || e.first.size() >= resources::kPackageNameSize) {
            report->error = "entry name \"" + e.first + "\" must be 1 to 31 bytes long";
            return false;
        }
    uint64_t data_start = resources::kPackageHeaderSize +
                          uint64_t(entries.size()) * resources::kPackageEntrySize +
                          resources::kPackageTerminatorSize;
    package->assign(data_start, 0);
    std::memcpy(package->data(), resources::kPackageHeader, resources::kPackageHeaderSize);
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string &name = entries[i].first;
        const std::vector<uint8_t> &data = entries[i].second;
        uint64_t first = package->size();
        if (first + data.size() > 0xFFFFFFFFull) {
            report->error = "the package would exceed 4 GiB";
            package->clear();
            return false;
        }
        uint8_t *index = package->data() + resources::kPackageHeaderSize + i * resources::kPackageEntrySize;
        std::memcpy(index, name.data(), name.size());
        store_u32be(index + 32, static_cast<uint32_t>(first));
        store_u32be(index + 36, static_cast<uint32_t>(first + data.size() - 1));
        package->insert(package->end(), data.begin(), data.end());
        report->packed.push_back(name);
    }
    report->entries = int32_t(entries.size());
    return true;
}

} // namespace analysis
