// The script checker: reads a script exactly as the updater would, runs nothing, shows
// nothing, changes nothing, and reports every fault it finds together with the plan of the run.
#pragma once

#include <string>

#include "check/finding.h"
#include "text/script_encoding.h"

struct CheckResult {
    bool readable = false;  // false when the script file cannot be read at all
    ScriptEncoding encoding = ScriptEncoding::Ansi;  // what its bytes were read as
    Findings findings;
    std::string plan;  // the run as a tree, in the script's encoding
};

// `scriptFile` is the script's path as the file system takes it. `exePath` is the full path
// the updater will have, which gives <Src>; empty places it beside the script. The check runs
// in a run context of its own.
CheckResult checkScript(const std::string& scriptFile, const std::string& exePath);
