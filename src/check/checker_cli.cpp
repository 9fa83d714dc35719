// Options, output and exit status of updater-check. Faults go to standard output, one line
// each; notes and the count go to standard error, so that the output holds faults and nothing
// else: what reads it (an editor, the check of the examples) sees a correct script as clean.
#include "check/checker_cli.h"

#include "check/json_text.h"
#include "check/script_check.h"

namespace {

constexpr int ExitClean = 0;
constexpr int ExitErrors = 1;
constexpr int ExitUnreadable = 2;

const char* const usage =
    "usage: updater-check [--exe PATH] [--plan] [--json] SCRIPT.ini\n"
    "Reads SCRIPT.ini exactly as the updater would, runs nothing, and reports every fault.\n"
    "  --exe PATH  the full path the updater will have there (gives <Src>); default: beside the script\n"
    "  --plan      print the run as a tree: every command with its values as loaded\n"
    "  --json      print the findings (and the plan) as JSON\n"
    "Exit status: 0 no error, 1 errors found, 2 the script cannot be read.\n";

struct Options {
    std::string script;
    std::string exe;
    bool plan = false;
    bool json = false;
    bool help = false;
};

bool parse(const std::vector<std::string>& args, Options& options, std::string& problem) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--plan") {
            options.plan = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--exe") {
            if (i + 1 == args.size()) {
                problem = "--exe needs the path the updater will have";
                return false;
            }
            options.exe = args[++i];
        } else if (arg.rfind("--exe=", 0) == 0) {
            options.exe = arg.substr(6);
        } else if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else if (options.script.empty()) {
            options.script = arg;
        } else {
            problem = "one script at a time";
            return false;
        }
    }
    if (options.script.empty() && !options.help) {
        problem = "no script named";
        return false;
    }
    return true;
}

void writeJson(const Options& options, const CheckResult& result, std::ostream& out) {
    out << "{\n  \"script\": " << jsonString(options.script) << ",\n";
    out << "  \"encoding\": " << jsonString(encodingName(result.encoding)) << ",\n";
    out << "  \"errors\": " << result.findings.count(Severity::Error) << ",\n";
    out << "  \"warnings\": " << result.findings.count(Severity::Warning) << ",\n";
    out << "  \"notes\": " << result.findings.count(Severity::Note) << ",\n";
    out << "  \"findings\": [";
    const std::vector<Finding> findings = result.findings.sorted();
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"line\": " << f.line << ", \"severity\": \""
            << severityName(f.severity) << "\", \"section\": " << jsonString(f.section) << ", \"key\": " << jsonString(f.key)
            << ", \"message\": " << jsonString(f.message) << "}";
    }
    out << (findings.empty() ? "]" : "\n  ]");
    if (options.plan) out << ",\n  \"plan\": " << jsonString(result.plan);
    out << "\n}\n";
}

}  // namespace

int runChecker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    std::string problem;
    if (!parse(args, options, problem)) {
        err << "updater-check: " << problem << "\n" << usage;
        return ExitUnreadable;
    }
    if (options.help) {
        out << usage;
        return ExitClean;
    }
    const CheckResult result = checkScript(options.script, options.exe);
    if (!result.readable) {
        err << "updater-check: cannot read " << options.script << "\n";
        return ExitUnreadable;
    }
    const int errors = result.findings.count(Severity::Error);
    const int warnings = result.findings.count(Severity::Warning);
    if (options.json) {
        writeJson(options, result, out);
    } else {
        if (options.plan) out << result.plan;
        for (const Finding& finding : result.findings.sorted())
            (finding.severity == Severity::Note ? err : out) << formatFinding(options.script, finding) << "\n";
        if (errors + warnings > 0)
            err << errors << (errors == 1 ? " error, " : " errors, ") << warnings
                << (warnings == 1 ? " warning\n" : " warnings\n");
    }
    out.flush();
    return errors > 0 ? ExitErrors : ExitClean;
}
