#include "make/maker_cli.h"

#include <cstdio>

#include "make/update_maker.h"
#include "run/progress.h"

namespace {

constexpr const char* Usage =
    "usage: updater-make --old=DIR --new=DIR --target=PATH --out=DIR [--name=CAPTION] [--updater=EXE]\n"
    "  Makes in DIR an update (patch.ini and payload\\) that brings the version in --old,\n"
    "  installed where the script path PATH names, to the version in --new.\n";

// A path of the command line in the form every path of the updater takes: "\" between its
// elements (the Linux build turns them back into "/").
std::string scriptForm(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 1 && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace

int runMaker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    MakeOptions options;
    std::string outAsGiven;
    const struct {
        const char* name;
        std::string* value;
        bool path;
    } known[] = {{"--old=", &options.oldRoot, true},  {"--new=", &options.newRoot, true},
                 {"--target=", &options.target, false}, {"--out=", &options.out, true},
                 {"--name=", &options.caption, false},  {"--updater=", &options.updater, true}};
    for (const std::string& arg : args) {
        bool matched = false;
        for (const auto& option : known) {
            const std::string name = option.name;
            if (arg.compare(0, name.size(), name) != 0) continue;
            *option.value = option.path ? scriptForm(arg.substr(name.size())) : arg.substr(name.size());
            if (option.value == &options.out) outAsGiven = arg.substr(name.size());
            matched = true;
        }
        if (!matched) {
            err << "updater-make: unknown argument " << arg << "\n" << Usage;
            return 2;
        }
    }
    if (options.oldRoot.empty() || options.newRoot.empty() || options.target.empty() || options.out.empty()) {
        err << Usage;
        return 2;
    }
    MakeReport report;
    if (!makeUpdate(options, out, err, report)) return 1;
    char share[32];
    std::snprintf(share, sizeof share, "%.1f%%",
                  report.newBytes ? 100.0 * static_cast<double>(report.updateBytes) / static_cast<double>(report.newBytes)
                                  : 0.0);
    out << "made " << outAsGiven << ": " << report.patched << " patched, " << report.copied << " copied, "
        << report.deleted << " deleted, " << report.directories << " directories made; the update holds "
        << bytesText(report.updateBytes) << " of the new version's " << bytesText(report.newBytes) << " (" << share
        << ")\n";
    return 0;
}
