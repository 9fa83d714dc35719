// Shortcut files through the shell's COM shell-link object and its persist-file interface,
// on the thread where start-up initialised COM. Only Win32 code belongs here.
#include "os/shortcut.h"

#include <windows.h>
#include <shlobj.h>

namespace os {

namespace {

// {00021401-0000-0000-C000-000000000046}, {000214EE-...} and {0000010B-...}, spelled out so
// that the calls name exactly the objects they ask for.
constexpr CLSID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID shellLinkAnsi = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
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
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    Interface* p_ = nullptr;
};

}  // namespace

bool saveShortcut(const ShortcutFields& fields, const std::string& linkPath) {
    ComRef<IShellLinkA> link;
    if (FAILED(CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkAnsi, link.out())))
        return false;
    link->SetPath(fields.target.c_str());
    link->SetWorkingDirectory(fields.workingDirectory.c_str());
    link->SetArguments(fields.arguments.c_str());
    if (fields.showCommand != ShowUnset) link->SetShowCmd(static_cast<int>(fields.showCommand));
    // Declared after the link so that it is released first.
    ComRef<IPersistFile> file;
    if (FAILED(link->QueryInterface(persistFile, file.out()))) return false;
    wchar_t widePath[MAX_PATH];
    // A path that does not fit is refused rather than saved under a name cut short.
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0) return false;
    return SUCCEEDED(file->Save(widePath, TRUE));
}

}  // namespace os
