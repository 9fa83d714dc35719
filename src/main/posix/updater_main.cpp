// The POSIX entry point: the arguments are joined back into one command line, an argument
// holding a space quoted, so that its first word means what it means on Windows. The Linux
// spellings of the reserved switches (--unattended, --log=FILE, --elevated) stand for the
// Windows ones.
#include <string>

#include "commands/command_kinds.h"
#include "os/system.h"
#include "run/run_context.h"
#include "run/startup.h"
#include "text/ascii.h"

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const std::string_view want(prefix);
    return text.size() >= want.size() && ascii::equalNoCase(std::string_view(text).substr(0, want.size()), want);
}

std::string quotedIfSpaced(const std::string& text) {
    return text.find(' ') != std::string::npos ? '"' + text + '"' : text;
}

// A switch at the front, in its Windows spelling, a log path with spaces in quotes after
// "/LOG="; an empty text for anything else.
std::string asSwitch(const std::string& argument) {
    for (const char* prefix : {"/LOG=", "--log="})
        if (startsWithNoCase(argument, prefix))
            return "/LOG=" + quotedIfSpaced(argument.substr(std::string_view(prefix).size()));
    if (ascii::equalNoCase(argument, "--unattended") || ascii::equalNoCase(argument, "/UNATTENDED"))
        return "/UNATTENDED";
    if (ascii::equalNoCase(argument, "--elevated") || ascii::equalNoCase(argument, "/ELEVATED")) return "/ELEVATED";
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    std::string arguments;
    // Only switches at the front are switches; later words keep their spelling.
    bool atFront = true;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += ' ';
        const std::string argument = argv[i];
        const std::string asFound = atFront ? asSwitch(argument) : std::string();
        atFront = !asFound.empty();
        arguments += atFront ? asFound : quotedIfSpaced(argument);
    }
    RunContext run;
    run.kinds = commandKinds();
    try {
        runUpdater(run, arguments.c_str(), os::modulePath());
    } catch (...) {
        // Only the run's own clean-up can get here; it told what it could in the log.
        run.outcome = RunOutcome::CommandFailed;
    }
    return run.exitCode();
}
