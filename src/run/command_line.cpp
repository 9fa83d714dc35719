// Reading the reserved switches off the front of a command line.
#include "run/command_line.h"

#include <string_view>

#include "text/ascii.h"

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ascii::equalNoCase(text.substr(0, prefix.size()), prefix);
}

bool endsWord(std::string_view text, size_t at) { return at == text.size() || text[at] == ' ' || text[at] == '\t'; }

}  // namespace

CommandLineSwitches takeSwitches(const Text& commandLine) {
    CommandLineSwitches found;
    const std::string_view line(commandLine.c_str());
    size_t at = 0;
    for (;;) {
        const std::string_view rest = line.substr(at);
        size_t end;
        if (startsWithNoCase(rest, "/UNATTENDED") && endsWord(rest, 11)) {
            found.unattended = true;
            end = 11;
        } else if (startsWithNoCase(rest, "/ELEVATED") && endsWord(rest, 9)) {
            found.elevated = true;
            end = 9;
        } else if (startsWithNoCase(rest, "/LOG=")) {
            end = 5;
            std::string path;
            if (end < rest.size() && rest[end] == '"') {
                const size_t close = rest.find('"', end + 1);
                if (close == std::string_view::npos) break;
                path = std::string(rest.substr(end + 1, close - end - 1));
                end = close + 1;
            } else {
                while (end < rest.size() && !endsWord(rest, end)) ++end;
                path = std::string(rest.substr(5, end - 5));
            }
            if (!endsWord(rest, end) || path.empty()) break;
            found.logged = true;
            found.logPath = path;
        } else {
            break;
        }
        at += end;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    }
    found.rest = Text(std::string(line.substr(at)));
    return found;
}
