// Fuzz target for updater-check on whole scripts: the input is written as a script and
// checked as the checker's command line would check it. Whatever the bytes, the check ends,
// every finding stands at a line of the file (or at none), and the JSON report is UTF-8.
// sources: src/check/*.cpp src/commands/*.cpp src/commands/file/*.cpp src/commands/system/*.cpp src/run/*.cpp src/text/*.cpp src/os/*.cpp src/os/posix/*.cpp
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "check/checker_cli.h"
#include "check/script_check.h"
#include "text/script_encoding.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/check-fuzz-" + std::to_string(::getpid()) + ".ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const CheckResult result = checkScript(path, "C:\\Tools\\patch.exe");
    require(result.readable);
    int lines = 1;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n' || data[i] == '\r';
    for (const Finding& finding : result.findings.sorted()) require(finding.line >= 0 && finding.line <= lines);

    std::ostringstream out, err;
    const int status = runChecker({"--json", "--plan", path}, out, err);
    require(status == 0 || status == 1);
    require(isValidUtf8(out.str()));
    return 0;
}
