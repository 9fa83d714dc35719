// The updater's own path, the Windows and system directories and the platform family, as
// the running system reports them.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "os/system.h"
#include "support/test_support.h"

namespace {

TEST(System, ModulePathIsThisTestInScriptForm) {
    const std::string path = os::modulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.find('/'), std::string::npos) << path;
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    EXPECT_TRUE(name == "os_tests" || name == "os_tests.exe") << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(nativePath(path))) << path;
}

TEST(System, DirectoriesAreRealAndInScriptForm) {
    for (const std::string& dir : {os::windowsDirectory(), os::systemDirectory()}) {
        SCOPED_TRACE(dir);
        ASSERT_FALSE(dir.empty());
        EXPECT_EQ(dir.find('/'), std::string::npos);
        EXPECT_NE(dir.back(), '\\');
        EXPECT_TRUE(std::filesystem::is_directory(nativePath(dir)));
    }
#ifdef _WIN32
    // On Windows the system directory lies inside the Windows directory.
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string win = lower(os::windowsDirectory()) + "\\";
    EXPECT_EQ(lower(os::systemDirectory()).substr(0, win.size()), win);
#endif
}

TEST(System, BothBuildsReportTheModernFamily) {
    // Wine reports the NT platform; Linux is treated as the modern family by decision.
    EXPECT_TRUE(os::isNtPlatform());
}

}  // namespace
