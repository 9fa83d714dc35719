// Shortcut files of our encoder read back by readers that share nothing with it: Debian's
// lnkinfo and exiftool on POSIX, the system's shell-link object under Wine.
#include "os/shortcut.h"

#include <cstdio>

#include "os/files.h"
#include "os/system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/shell_link_format.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include <cstdio>
#endif

namespace {

struct Case {
    os::ShortcutFields fields;
    uint32_t storedShow;
};

std::vector<Case> cases(const TempDir& dir) {
    return {
        {{"C:\\Tools\\app.exe", "C:\\Tools", "/a \"b c\"", os::ShowMaximized}, 3},
        {{dir / "app", dir.path(), "", os::ShowUnset}, 1},
        {{dir / "sub\\tool.exe", dir / "sub", "--x", os::ShowMinimizedNoActive}, 7},
        {{dir / "tool.exe", dir.path(), "one two", os::ShowNormal}, 1},
    };
}

#ifndef _WIN32
std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// A field of lnkinfo's report: the text after the label's colon, up to the line's end.
std::string lnkinfoField(const std::string& report, const std::string& label) {
    const size_t line = report.find("\t" + label + "\t");
    if (line == std::string::npos) return "<missing>";
    const size_t start = report.find(": ", line) + 2;
    return report.substr(start, report.find('\n', start) - start);
}

TEST(Shortcut, IndependentReadersAgree) {
    TempDir dir;
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    for (const Case& c : cases(dir)) {
        (void)std::remove(nativePath(dir / "link.lnk").c_str());  // the last case's, when there is one
        ASSERT_TRUE(os::writeShortcut(c.fields, held, "link.lnk"));
        const std::string file = nativePath(dir / "link.lnk");
        const std::string report = commandOutput("lnkinfo '" + file + "'");
        EXPECT_EQ(lnkinfoField(report, "Local path"), c.fields.target) << report;
        EXPECT_EQ(lnkinfoField(report, "Working directory"), c.fields.workingDirectory) << report;
        if (!c.fields.arguments.empty()) {
            EXPECT_EQ(lnkinfoField(report, "Command line arguments"), c.fields.arguments) << report;
        }
        // lnkinfo's "Show Window value" is another field; exiftool reads the show command.
        EXPECT_EQ(commandOutput("exiftool -n -s3 -RunWindow '" + file + "'"), std::to_string(c.storedShow) + "\n");
    }
}
#else
// Our POSIX writer's bytes, given to the system's shell-link object to read.
TEST(Shortcut, SystemReaderLoadsOurEncoding) {
    TempDir dir;
    for (const Case& c : cases(dir)) {
        std::string bytes;
        ASSERT_TRUE(os::encodeShellLink(c.fields, bytes));
        writeFile(dir / "ours.lnk", bytes);
        IShellLinkA* link = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                               reinterpret_cast<void**>(&link))));
        IPersistFile* file = nullptr;
        ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
        wchar_t path[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, (dir / "ours.lnk").c_str(), -1, path, MAX_PATH);
        EXPECT_TRUE(SUCCEEDED(file->Load(path, STGM_READ)));
        char text[MAX_PATH] = {};
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        EXPECT_EQ(std::string(text), c.fields.target);
        link->GetWorkingDirectory(text, MAX_PATH);
        EXPECT_EQ(std::string(text), c.fields.workingDirectory);
        link->GetArguments(text, MAX_PATH);
        EXPECT_EQ(std::string(text), c.fields.arguments);
        // Wine's shell-link object does not take the show command from the file it loads
        // (it reports 1 even for a file it saved with 3 itself); the header check above covers it.
        file->Release();
        link->Release();
    }
}
#endif

}  // namespace
