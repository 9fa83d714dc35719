// Start-up and the run as a whole. Every stage that fails shows its message and skips the
// later stages up to the clean-up.
#include "run/startup.h"

#include "commands/file/path_tests.h"
#include "os/system.h"
#include "run/key_reader.h"
#include "run/messages.h"
#include "run/procedure.h"
#include "run/process_values.h"
#include "text/symbols.h"

bool captionFromCommandLine(const Text& line, Text& caption) {
    if (line.empty()) return false;
    Text first = line.word(0);
    first.trim("\"");
    if (first.empty()) return false;
    caption = first;
    return true;
}

// Only the file name's own extension is replaced: a dot in a directory name must never
// send the updater to a script outside its own directory.
Text scriptPathFor(const Text& executablePath) {
    const std::string& path = executablePath.str();
    const size_t nameStart = path.find_last_of('\\') == std::string::npos ? 0 : path.find_last_of('\\') + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return Text(path + ".ini");
    return Text(path.substr(0, dot + 1) + "ini");
}

bool readUpdaterSection() {
    freeAllProcedures();
    if (!readKey("UPDATER", "NAME", updaterName)) return false;
    if (!readKey("UPDATER", "PROC", mainProcList)) return false;
    if (!updaterName.empty()) setCaption(updaterName);
    return true;
}

bool startup(const char* arguments) {
    commandLine.assignText(arguments ? arguments : "");
    Text fromCommandLine;
    if (captionFromCommandLine(commandLine, fromCommandLine))
        setCaption(fromCommandLine);
    else
        useBuiltinCaption();

    modulePath.assign(os::modulePath().c_str());
    scriptPath = scriptPathFor(modulePath);
    if (!pathExists(scriptPath)) {
        showError(MessageId::FileNotFound, {scriptPath});
        return false;
    }
    buildSymbolTable();
    return readUpdaterSection();
}

void runUpdater(const char* arguments) {
    if (startup(arguments)) runMain();
    freeAllProcedures();
}
