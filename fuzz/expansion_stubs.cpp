// What the expansion fuzz target needs of the system, answered without one: the DEFINE
// section comes from the fuzz input, the directories and catalogue are fixed.
#include "fuzz/expansion_stubs.h"

#include <string>

#include "os/dialog.h"
#include "os/system.h"
#include "run/script_file.h"

Text fuzzDefineSection;
int fuzzDefineCount = 0;

int readSection(const char*, const char*, Text& out) {
    if (fuzzDefineCount == 0) return 0;
    out.append(fuzzDefineSection);
    return fuzzDefineCount;
}

namespace os {
std::string windowsDirectory() { return "C:\\WINDOWS"; }
std::string systemDirectory() { return "C:\\WINDOWS\\system32"; }
bool isNtPlatform() { return true; }
std::string catalogueScriptText(int) { return "%s"; }

namespace detail {
// Never reached while the target's own lookups are installed through the seam.
bool platformSpecialFolderPath(int, std::string&) { return false; }
bool platformAppPathValue(const std::string&, const std::string&, std::string&) { return false; }
}  // namespace detail
}  // namespace os
