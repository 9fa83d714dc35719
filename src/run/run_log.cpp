// Writing the run's log.
#include "run/run_log.h"

#include <cstdio>

#include "os/system.h"
#include "text/script_path.h"

os::Result RunLog::open(const std::string& path) {
    os::Directory parent;
    if (os::Result opened = os::Directory::open(paths::directoryOf(path), parent); !opened) return opened;
    if (os::Result opened = parent.openForAppend(paths::lastElement(path), file_); !opened) return opened;
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
    (void)file_.append(line);  // a log that can no longer be written changes nothing of the update
}
