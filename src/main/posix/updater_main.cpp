// The POSIX entry point: the arguments are joined back into one command line, an argument
// holding a space quoted, so that its first word means what it means on Windows.
#include <string>

#include "commands/command_kinds.h"
#include "run/run_context.h"
#include "run/startup.h"

int main(int argc, char** argv) {
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += ' ';
        const std::string argument = argv[i];
        if (argument.find(' ') != std::string::npos)
            arguments += '"' + argument + '"';
        else
            arguments += argument;
    }
    RunContext run;
    run.kinds = commandKinds();
    runUpdater(run, arguments.c_str());
    return 0;
}
