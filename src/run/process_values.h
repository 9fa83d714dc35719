// The values that start-up fills once and the rest of the run reads: one of each, for the
// life of the process.
#pragma once

#include "text/text.h"

extern Text commandLine;   // the argument part of the command line
extern Text modulePath;    // the executable's full path, script form
extern Text scriptPath;    // the script's full path
extern Text updaterName;   // NAME of UPDATER, expanded
extern Text mainProcList;  // PROC of UPDATER, expanded
