#include "analysis/finding.h"

#include <algorithm>

namespace analysis {

std::string finding_format(const Finding &f) {
    if (f.line > 0) return f.file + ":" + std::to_string(f.line) + ": " + f.message;
    return f.file + ": " + f.message;
}

void findings_sort(std::vector<Finding> *findings) {
    auto rank = [](const std::string &file) {
        if (file.compare(0, 5, "demo.") == 0) return 0;
        if (file.compare(0, 8, "loading.") == 0) return 1;
        return 2;
    };
    std::stable_sort(findings->begin(), findings->end(), [&](const Finding &a, const Finding &b) {
        int ra = rank(a.file), rb = rank(b.file);
        if (ra != rb) return ra < rb;
        if (a.file != b.file) return a.file < b.file;
        return a.line < b.line;
    });
}

} // namespace analysis
