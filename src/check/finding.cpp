// Findings: gathering without repeats, ordering by line, and the compiler-style line.
#include "check/finding.h"

#include <algorithm>

const char* severityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "";
}

void Findings::add(int line, Severity severity, std::string section, std::string key, std::string message) {
    // One text stands for the whole finding: a set of them finds a repeat at once, however
    // many findings a large script has.
    std::string identity = std::to_string(line) + '\0' + severityName(severity) + '\0' + section + '\0' + key +
                           '\0' + message;
    if (!held_.insert(std::move(identity)).second) return;
    findings_.push_back({line, severity, std::move(section), std::move(key), std::move(message)});
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
