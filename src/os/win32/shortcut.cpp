// Shortcut files through the shell's COM shell-link object and its persist-file interface,
// on the thread where start-up initialised COM. The link is saved beside its place and moved
// there in one step. Only Win32 code belongs here.
#include "os/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "os/files.h"
#include "os/system.h"
#include "os/win32/wide.h"

namespace os {

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
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    Interface* p_ = nullptr;
};

Result saveAs(const ShortcutFields& fields, const std::string& path) {
    const auto fail = [&path](ErrorCode error) { return Result::fail(Operation::SaveShortcut, path, error); };
    // A shell link stores its target in an area of the old size: a longer one would be cut.
    const std::wstring target = detail::widen(fields.target);
    if (target.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);
    ComRef<IShellLinkW> link;
    HRESULT status = CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkWide, link.out());
    if (FAILED(status)) return fail(static_cast<ErrorCode>(status));
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(detail::widen(fields.workingDirectory).c_str());
    link->SetArguments(detail::widen(fields.arguments).c_str());
    if (fields.showCommand != ShowUnset) link->SetShowCmd(static_cast<int>(fields.showCommand));
    // Declared after the link so that it is released first.
    ComRef<IPersistFile> file;
    status = link->QueryInterface(persistFile, file.out());
    if (FAILED(status)) return fail(static_cast<ErrorCode>(status));
    status = file->Save(detail::systemPath(path).c_str(), TRUE);
    if (FAILED(status)) return fail(HRESULT_FACILITY(status) == FACILITY_WIN32 ? HRESULT_CODE(status) : status);
    return {};
}

}  // namespace

Result saveShortcut(const ShortcutFields& fields, const std::string& linkPath) {
    const size_t separator = linkPath.rfind('\\');
    const std::string directory = separator == std::string::npos ? "." : linkPath.substr(0, separator);
    const std::string name = separator == std::string::npos ? linkPath : linkPath.substr(separator + 1);
    Directory parent;
    if (Result opened = Directory::open(directory, parent); !opened)
        return Result::fail(Operation::SaveShortcut, linkPath, opened.error());
    uint64_t random = 0;
    randomBytes(&random, sizeof random);
    char temporary[32];
    std::snprintf(temporary, sizeof temporary, "~upd%016llx.tmp", static_cast<unsigned long long>(random));
    if (Result saved = saveAs(fields, parent.pathOf(temporary)); !saved) {
        (void)parent.removeFile(temporary);
        return saved;
    }
    Result moved = parent.moveTo(temporary, parent, name, true);
    if (!moved) (void)parent.removeFile(temporary);
    return moved;
}

}  // namespace os
