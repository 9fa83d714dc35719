// Processes through kernel32, user32 and the process-status library loaded at run time.
// Only Win32 code belongs here.
#include "os/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "os/system.h"
#include "os/win32/handle.h"

namespace os {
using detail::Handle;

namespace {

using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

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
    PROCESSENTRY32 entry;
};

ProcessList::ProcessList() : impl_(std::make_unique<Impl>()) {
    Impl& p = *impl_;
    p.snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (p.snapshot == INVALID_HANDLE_VALUE) return;
    // The older family lists executable names only; the NT family tells full paths
    // through its process-status library, which older systems may lack.
    if (isNtPlatform()) {
        p.psapi = LoadLibraryA("PSAPI.DLL");
        if (!p.psapi) return;
        p.enumModules = entryPoint<EnumProcessModulesFn>(p.psapi, "EnumProcessModules");
        if (!p.enumModules) return;
        p.moduleFileName = entryPoint<GetModuleFileNameExFn>(p.psapi, "GetModuleFileNameExA");
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
        return Process32First(p.snapshot, &p.entry) != FALSE;
    }
    return Process32Next(p.snapshot, &p.entry) != FALSE;
}

uint32_t ProcessList::id() const { return impl_->entry.th32ProcessID; }

std::string ProcessList::executable() const {
    const Impl& p = *impl_;
    std::string name(p.entry.szExeFile, strnlen(p.entry.szExeFile, MAX_PATH));
    if (!p.enumModules) return name;
    // A process that cannot be opened (a service, another user's program) keeps the bare
    // name from the snapshot.
    const Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, p.entry.th32ProcessID));
    if (!process.valid()) return name;
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!p.enumModules(process.get(), modules, sizeof modules, &needed)) return name;
    char path[MAX_PATH] = {};
    // The first module is the program's own executable.
    const DWORD n = p.moduleFileName(process.get(), modules[0], path, MAX_PATH);
    return n > 0 ? std::string(path, strnlen(path, MAX_PATH)) : name;
}

uint32_t currentProcessId() { return GetCurrentProcessId(); }

bool sameExecutable(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

WaitOutcome waitForProcess(uint32_t id, uint32_t limitMs) {
    const Handle process(OpenProcess(SYNCHRONIZE | STANDARD_RIGHTS_REQUIRED, FALSE, id));
    if (!process.valid()) return WaitOutcome::NotOpened;
    switch (WaitForSingleObject(process.get(), limitMs)) {
        case WAIT_OBJECT_0: return WaitOutcome::Ended;
        case WAIT_TIMEOUT: return WaitOutcome::TimedOut;
        default: return WaitOutcome::Failed;
    }
}

StartOutcome startProcess(const std::string& program, const std::string& parameters, const std::string& directory,
                          bool untilEnd) {
    std::string commandLine = program + " " + parameters;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    std::memset(&started, 0, sizeof started);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                        &started))
        return StartOutcome::NotStarted;
    // Declared so that the thread handle is closed first, then the process handle.
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);
    const DWORD waited =
        untilEnd ? WaitForSingleObject(process.get(), INFINITE) : WaitForInputIdle(process.get(), INFINITE);
    return waited == WAIT_FAILED ? StartOutcome::WaitFailed : StartOutcome::Waited;
}

}  // namespace os
