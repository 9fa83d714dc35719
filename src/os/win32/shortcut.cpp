// Shortcut files through the shell's COM shell-link object and its persist-file interface,
// on the thread where start-up initialised COM; its making and its saving go through the
// table of system_calls.h. Only Win32 code belongs here.
#include "os/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "os/files.h"
#include "os/win32/system_calls.h"
#include "os/win32/wide.h"

namespace os {
namespace sys = detail::sys;

namespace {

// {00021401-0000-0000-C000-000000000046}, {000214F9-...} and {0000010B-...}, spelled out so
// that the calls name exactly the objects they ask for.
constexpr CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID shellLinkWide = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID persistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Releases a COM interface when it goes out of use.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    Interface* p_ = nullptr;
};

}  // namespace

Result writeShortcut(const ShortcutFields& fields, const Directory& directory, const std::string& name) {
    const std::string path = directory.pathOf(name);
    const auto fail = [&path](ErrorCode error, const char* call) {
        return Result::fail(Operation::SaveShortcut, path, error, call);
    };
    // A shell link stores its target in an area of the old size: a longer one would be cut.
    const std::wstring target = detail::widen(fields.target);
    if (target.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE, "");
    ComRef<IShellLinkW> link;
    HRESULT status = sys::CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkWide, link.out());
    if (FAILED(status)) return fail(static_cast<ErrorCode>(status), "CoCreateInstance");
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(detail::widen(fields.workingDirectory).c_str());
    link->SetArguments(detail::widen(fields.arguments).c_str());
    if (fields.showCommand != ShowUnset) link->SetShowCmd(static_cast<int>(fields.showCommand));
    // Declared after the link so that it is released first.
    ComRef<IPersistFile> file;
    status = link->QueryInterface(persistFile, file.out());
    if (FAILED(status)) return fail(static_cast<ErrorCode>(status), "QueryInterface");
    status = sys::PersistFileSave(file.get(), detail::systemPath(path).c_str(), TRUE);
    if (FAILED(status))
        return fail(HRESULT_FACILITY(status) == FACILITY_WIN32 ? HRESULT_CODE(status) : status, "IPersistFile::Save");
    return {};
}

}  // namespace os
