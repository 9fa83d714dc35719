// A test build of the updater whose rights come from a file beside it, "rights-seam.txt":
// under Wine every program runs elevated and may write everywhere, so the end-to-end tests of
// asking for rights say there what a standard user's would be. A line "not elevated" makes
// the process unelevated; each line "refused <path>" (script form) refuses every directory
// within that path. Starting a program with rights stays the system's own.
#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "os/rights.h"
#include "os/system.h"
#include "tests/e2e/seam_file.h"
#include "text/script_path.h"

namespace {

#ifdef _WIN32
constexpr os::ErrorCode accessDenied = 5;  // ERROR_ACCESS_DENIED
#else
constexpr os::ErrorCode accessDenied = EACCES;
#endif

struct RightsFromFile {
    RightsFromFile() {
        std::ifstream in(seamFile("rights-seam.txt"));
        if (!in) return;
        bool elevated = true;
        std::vector<std::string> refused;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line == "not elevated") elevated = false;
            if (line.rfind("refused ", 0) == 0) refused.push_back(line.substr(8));
        }
        os::setRightsSeam({[elevated] { return elevated; },
                           [refused](const std::string& directory, os::DirectoryChange) {
                               for (const std::string& path : refused)
                                   if (paths::isWithin(directory, path))
                                       return os::Result::fail(os::Operation::Look, directory, accessDenied);
                               return os::Result{};
                           },
                           {},
                           {}});
    }
} fromFile;

}  // namespace
