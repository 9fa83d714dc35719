// Processes through kernel32, user32 and the process-status library loaded at run time,
// every call on a process through the table of system_calls.h. Only Win32 code belongs here.
#include "os/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "os/rights.h"
#include "os/system.h"
#include "os/win32/handle.h"
#include "os/win32/process_wait.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {
using detail::Handle;
namespace sys = detail::sys;

namespace {

using EnumProcessModulesFn = sys::EnumProcessModulesEntry;
using GetModuleFileNameExFn = sys::GetModuleFileNameExEntry;

template <class Fn>
Fn entryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

struct ProcessList::Impl {
    HANDLE snapshot = INVALID_HANDLE_VALUE;
    HMODULE psapi = nullptr;
    EnumProcessModulesFn enumModules = nullptr;
    GetModuleFileNameExFn moduleFileName = nullptr;
    bool usable = false;
    bool started = false;
    PROCESSENTRY32W entry;
};

ProcessList::ProcessList() : impl_(std::make_unique<Impl>()) {
    Impl& p = *impl_;
    p.snapshot = sys::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (p.snapshot == INVALID_HANDLE_VALUE) return;
    // The older family lists executable names only; the NT family tells full paths
    // through its process-status library, which older systems may lack.
    if (isNtPlatform()) {
        // From the system folder only: a library of that name beside the updater is not ours.
        p.psapi = LoadLibraryExW(L"PSAPI.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!p.psapi) return;
        p.enumModules = entryPoint<EnumProcessModulesFn>(p.psapi, "EnumProcessModules");
        if (!p.enumModules) return;
        p.moduleFileName = entryPoint<GetModuleFileNameExFn>(p.psapi, "GetModuleFileNameExW");
        if (!p.moduleFileName) return;
    }
    p.usable = true;
}

ProcessList::~ProcessList() {
    if (impl_->psapi) FreeLibrary(impl_->psapi);
    if (impl_->snapshot != INVALID_HANDLE_VALUE) CloseHandle(impl_->snapshot);
}

bool ProcessList::ok() const { return impl_->usable; }

bool ProcessList::next() {
    Impl& p = *impl_;
    if (!p.usable) return false;
    if (!p.started) {
        std::memset(&p.entry, 0, sizeof p.entry);
        p.entry.dwSize = sizeof p.entry;
        p.started = true;
        return sys::Process32FirstW(p.snapshot, &p.entry) != FALSE;
    }
    return sys::Process32NextW(p.snapshot, &p.entry) != FALSE;
}

uint32_t ProcessList::id() const { return impl_->entry.th32ProcessID; }

std::string ProcessList::executable() const {
    const Impl& p = *impl_;
    const std::string name = detail::narrow(p.entry.szExeFile, wcsnlen(p.entry.szExeFile, MAX_PATH));
    if (!p.enumModules) return name;
    // A process that cannot be opened (a service, another user's program) keeps the bare
    // name from the snapshot.
    const Handle process(sys::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, p.entry.th32ProcessID));
    if (!process.valid()) return name;
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!sys::EnumProcessModules(p.enumModules, process.get(), modules, sizeof modules, &needed)) return name;
    // The first module is the program's own executable; its path may pass the old limit.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = sys::GetModuleFileNameExW(p.moduleFileName, process.get(), modules[0], path.data(),
                                                  static_cast<DWORD>(path.size()));
        if (n == 0) return name;
        if (n < path.size() - 1 || path.size() >= 32768) return detail::scriptForm(path.substr(0, n));
        path.resize(path.size() * 2);
    }
}

uint32_t currentProcessId() { return GetCurrentProcessId(); }

bool sameExecutable(const std::string& a, const std::string& b) {
    return lstrcmpiW(detail::widen(a).c_str(), detail::widen(b).c_str()) == 0;
}

WaitOutcome waitForProcess(uint32_t id, uint32_t limitMs, const std::function<void()>& stillWaiting) {
    const Handle process(sys::OpenProcess(SYNCHRONIZE | STANDARD_RIGHTS_REQUIRED, FALSE, id));
    if (!process.valid()) return WaitOutcome::NotOpened;
    switch (detail::waitInSlices(process.get(), limitMs, stillWaiting)) {
        case WAIT_OBJECT_0: return WaitOutcome::Ended;
        case WAIT_TIMEOUT: return WaitOutcome::TimedOut;
        default: return WaitOutcome::Failed;
    }
}

Result startProcess(const std::string& program, const std::string& parameters, const std::string& directory,
                    bool untilEnd, bool mayAskForRights, const std::function<void()>& stillWaiting) {
    // A process's current directory keeps the old length limit on every Windows: a program in
    // a deeper folder cannot be started in its own folder, and is not started elsewhere.
    const std::wstring workingDirectory = detail::widen(directory);
    if (workingDirectory.size() >= MAX_PATH - 1)
        return Result::fail(Operation::Start, program, ERROR_FILENAME_EXCED_RANGE);
    // The program is quoted, so that a path with spaces can only ever name that program and
    // never a shorter one ("C:\My Game\game.exe" is not "C:\My.exe" with parameters). An
    // existing file is also named as the application itself; a name without its ".exe" is
    // left to the system to complete, as it always was.
    const bool quoted = program.find('"') == std::string::npos;
    std::wstring commandLine = detail::widen((quoted ? "\"" + program + "\"" : program) + " " + parameters);
    const DWORD attributes = sys::GetFileAttributesW(detail::systemPath(program).c_str());
    const bool existing = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    const std::wstring application = existing ? detail::systemPath(program) : std::wstring();
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    std::memset(&started, 0, sizeof started);
    if (!sys::CreateProcessW(existing ? application.c_str() : nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, workingDirectory.c_str(), &startup, &started)) {
        // A program whose manifest asks for administrator rights starts only through the
        // shell, which asks the user for consent; it is waited for as any other. The elevated
        // session does not see the user's mapped drives.
        if (::GetLastError() == detail::ErrorElevationRequired && mayAskForRights)
            return startElevated(pathSeenElevated(program), parameters, pathSeenElevated(directory), untilEnd, nullptr,
                                 stillWaiting);
        return detail::lastFailure(Operation::Start, program, "CreateProcessW");
    }
    // Declared so that the thread handle is closed first, then the process handle.
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);
    const DWORD waited = untilEnd ? detail::waitInSlices(process.get(), INFINITE, stillWaiting)
                                  : sys::WaitForInputIdle(process.get(), INFINITE);
    if (waited == WAIT_FAILED)
        return detail::lastFailure(Operation::Wait, program, untilEnd ? "WaitForSingleObject" : "WaitForInputIdle");
    return {};
}

}  // namespace os
