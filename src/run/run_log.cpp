// Writing the run's log.
#include "run/run_log.h"

#include <cstdio>

#include "os/system.h"

os::Result RunLog::open(const std::string& path) {
    const size_t separator = path.rfind('\\');
    const std::string directory = separator == std::string::npos ? "." : path.substr(0, separator);
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    os::Directory parent;
    if (os::Result opened = os::Directory::open(directory, parent); !opened) return opened;
    if (os::Result opened = parent.openForAppend(name, file_); !opened) return opened;
    path_ = path;
    return {};
}

void RunLog::write(std::string_view event) {
    if (!file_.isOpen()) return;
    const os::LocalTime now = os::localNow();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.year, now.month, now.day, now.hour,
                  now.minute, now.second, now.millisecond);
    std::string line = stamp;
    // One event is one line: the breaks of a box's text are shown, not made.
    for (const char c : event) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else
            line += c;
    }
    line += '\n';
    (void)file_.append(line);
}
