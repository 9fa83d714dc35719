// Storage of the process-wide values.
#include "run/process_values.h"

Text commandLine;
Text modulePath;
Text scriptPath;
Text updaterName;
Text mainProcList;
