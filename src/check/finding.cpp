// Findings: gathering without repeats, ordering by line, and the compiler-style line.
#include "check/finding.h"

#include <algorithm>

const char* severityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

void Findings::add(int line, Severity severity, std::string section, std::string key, std::string message) {
    Finding finding{line, severity, std::move(section), std::move(key), std::move(message)};
    for (const Finding& held : findings_) {
        if (held.line == finding.line && held.severity == finding.severity && held.section == finding.section &&
            held.key == finding.key && held.message == finding.message)
            return;
    }
    findings_.push_back(std::move(finding));
}

std::vector<Finding> Findings::sorted() const {
    std::vector<Finding> out = findings_;
    std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return out;
}

int Findings::count(Severity severity) const {
    return static_cast<int>(std::count_if(findings_.begin(), findings_.end(),
                                          [&](const Finding& f) { return f.severity == severity; }));
}

std::string formatFinding(const std::string& file, const Finding& finding) {
    std::string out = file;
    // Compilers leave the line out for what no single line holds.
    if (finding.line > 0) out += ":" + std::to_string(finding.line);
    out += std::string(": ") + severityName(finding.severity) + ": [" + finding.section + "]";
    if (!finding.key.empty()) out += " " + finding.key;
    out += ": " + finding.message;
    return out;
}
