// The log of a run: one line for each event, with the local time to the millisecond, each
// line handed to the system as it is written, so that a crash keeps every line before it.
#pragma once

#include <string>
#include <string_view>

#include "os/files.h"

class RunLog {
public:
    // Opens the log at `path` (script form) for appending, made when missing. The run goes
    // on without a log when it cannot be opened; the failure is given back.
    os::Result open(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return path_; }

    // One event; a failed write stops nothing.
    void write(std::string_view event);

private:
    os::AppendFile file_;
    std::string path_;
};
