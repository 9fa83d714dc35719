// Fuzz target for the symbol table and the three expansion passes: the input is a DEFINE
// section and a script value, separated by the first zero byte; the table is built from it
// and the value expanded, with what each pass promises checked on the way.
// sources: src/run/symbols.cpp src/text/text.cpp src/run/app_paths.cpp src/os/shell.cpp src/run/script_file.cpp src/text/ini_file.cpp src/text/script_encoding.cpp src/text/script_path.cpp fuzz/expansion_stubs.cpp
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "os/shell.h"
#include "run/run_context.h"
#include "run/symbols.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Lookups whose answers bring in more groups, separators and ".." steps, so that the
// passes meet their own output.
void installLookups() {
    os::setShellLookups({
        [](int folder, std::string& out) {
            if (folder % 3 == 0) return false;
            if (folder % 3 == 1) {
                out.clear();  // a folder without a directory
                return false;
            }
            out = "C:\\F" + std::to_string(folder) + "\\..\\\\";
            return true;
        },
        [](const std::string& program, const std::string& valueName, std::string& out) {
            if (program == "loop") out = "{?App\\loop}";
            else if (program == "sym") out = "<Win>\\..\\..\\<Src>";
            else if (program == "x" && valueName == "PATH") out = "C:\\x\\;\\;\\";
            else if (program == "x") out = "C:\\x\\x.exe";
            else return false;
            return true;
        },
    });
}

size_t count(std::string_view text, std::string_view what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string_view::npos; p = text.find(what, p + what.size())) ++n;
    return n;
}

template <class Pass>
void checkPass(Pass pass, const Text& before) {
    Text value = before;
    const bool changed = pass(value);
    if (!changed) require(value.str() == before.str());
    require(value.length() <= std::max(before.length(), MaxExpandedLength));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool installed = (installLookups(), true);
    (void)installed;

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');
    const std::string_view define = zero == std::string_view::npos ? std::string_view() : input.substr(0, zero);
    std::string_view rest = zero == std::string_view::npos ? input : input.substr(zero + 1);
    rest = rest.substr(0, rest.find('\0'));

    RunContext run;
    run.script.parse("[DEFINE]\n" + std::string(define));
    run.modulePath = Text("C:\\Tools\\Upd\\upd.exe");
    run.scriptPath = Text("C:\\Tools\\Upd\\upd.ini");
    Text lines;
    const int defined = run.script.readSection("DEFINE", lines);

    require(buildSymbolTable(run));
    // Every DEFINE line stays one entry; the built-ins come after them or in their place.
    require(run.symbols.count() >= defined && run.symbols.count() <= defined + 5);
    Text found;
    for (const char* name : {"<Win>", "<Sys>", "<Src>"}) require(run.symbols.lookupSymbol(name, found));

    const Text value{std::string(rest)};
    checkPass([&run](Text& v) { return expandSymbols(run.symbols, v); }, value);
    checkPass(expandOperators, value);
    checkPass(collapseDotDot, value);

    Text collapsed = value;
    if (collapseDotDot(collapsed)) {
        // Each removal takes away two elements and their separators.
        require(collapsed.length() < value.length());
        require(count(collapsed.str(), "\\") < count(value.str(), "\\"));
    }

    Text expanded = value;
    expandValue(run.symbols, expanded);
    require(expanded.length() <= std::max(value.length(), MaxExpandedLength));
    return 0;
}
