// The Windows entry point: COM for the shortcut writer around the run. The exit code is 0
// whatever happened in an interactive run, since everything the user needs to know was shown
// in a box; an unattended run tells how it ended.
#include <windows.h>

#include <string>

#include "commands/command_kinds.h"
#include "os/system.h"
#include "run/run_context.h"
#include "run/startup.h"

namespace {

// The command line without the program's name and the blanks after it, as the system hands
// it to WinMain, but in UTF-8: a caption in any language arrives intact.
std::string arguments() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line == L'"') ++line;
    } else {
        while (*line > L' ') ++line;
    }
    while (*line && *line <= L' ') ++line;
    const std::wstring wide(line);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// Libraries are looked for in the system folder only, before anything can load one: the
// updater is run from folders anybody can put a DLL into. Every library but kernel32, ntdll
// and the C runtime is delay-loaded, so none was loaded before this point.
void loadLibrariesFromTheSystemOnly() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    loadLibrariesFromTheSystemOnly();
    const HRESULT com = CoInitialize(nullptr);
    int exitCode = 0;
    {
        RunContext run;
        run.kinds = commandKinds();
        try {
            runUpdater(run, arguments().c_str(), os::modulePath());
        } catch (...) {
            // Only the run's own clean-up can get here; it told what it could in the log.
            run.outcome = RunOutcome::CommandFailed;
        }
        exitCode = run.exitCode();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
