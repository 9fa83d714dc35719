// Special folders and App Paths against the real system: under Wine the shell and a
// registration made in the test prefix's registry, natively the Linux folder table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "os/shell.h"
#include "os/system.h"
#include "support/test_support.h"
#include "run/app_paths.h"
#include "run/symbols.h"

#ifdef _WIN32
#include <windows.h>

#include "os/win32/registry_key.h"
#else
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#endif

namespace {

bool isDirectory(const std::string& scriptPath) { return std::filesystem::is_directory(nativePath(scriptPath)); }

TEST(SpecialFolder, ExpandsToTheFolderWithoutTrailingSeparator) {
    struct Case {
        int number;
        const char* group;
    };
    const Case cases[] = {{0x05, "{?SpFolder\\0x5}"}, {0x28, "{?SpFolder\\0x28}"}, {0x19, "{?SpFolder\\0x19}"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        Text path("before");
        ASSERT_TRUE(specialFolderPath(path, c.number));
        EXPECT_EQ(path.str().find('/'), std::string::npos);
        // The shell may report a folder with a trailing separator (Wine does for Documents);
        // the expansion never has one.
        Text value(c.group);
        EXPECT_TRUE(expandOperators(value));
        ASSERT_FALSE(value.empty());
        EXPECT_NE(value.str().back(), '\\');
        path.trim("", "\\");
        EXPECT_EQ(value.str(), path.str());
    }
    Text profile;
    ASSERT_TRUE(specialFolderPath(profile, 0x28));
    EXPECT_TRUE(isDirectory(profile.str())) << profile.str();
#ifdef _WIN32
    // The prefix has its documents folder; a Linux home need not have one.
    Text documents("{?SpFolder\\0x5}");
    expandValue(SymbolTable(), documents);
    EXPECT_TRUE(isDirectory(documents.str())) << documents.str();
#endif
}

TEST(SpecialFolder, AnUnknownNumberLeavesTheTextAndTheGroup) {
    Text path("before");
    EXPECT_FALSE(specialFolderPath(path, 0x7F));
    EXPECT_EQ(path.str(), "before");
    Text value("{?SpFolder\\0x7f}\\x");
    EXPECT_FALSE(expandOperators(value));
    EXPECT_EQ(value.str(), "{?SpFolder\\0x7f}\\x");
}

TEST(AppPaths, AnUnregisteredProgramStaysAsWritten) {
    Text out("before");
    EXPECT_FALSE(appPathLookup("updater-test-never-registered.exe", out, true));
    EXPECT_FALSE(appPathLookup("updater-test-never-registered.exe", out, false));
    EXPECT_EQ(out.str(), "before");
    Text value("{?App\\updater-test-never-registered.exe};{?AppPath\\updater-test-never-registered.exe}");
    EXPECT_FALSE(expandOperators(value));
    EXPECT_EQ(value.str(), "{?App\\updater-test-never-registered.exe};{?AppPath\\updater-test-never-registered.exe}");
}

#ifdef _WIN32

// A registration of its own in the test prefix, removed again at the end.
class Registration {
public:
    explicit Registration(const std::string& program) : subKey_(std::string(appPaths) + program) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
    }
    ~Registration() {
        if (key_) RegCloseKey(key_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey_.c_str());
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    bool created() const { return key_ != nullptr; }
    // Strings are stored with their terminator, as a setup program would store them.
    void setString(const char* name, DWORD type, const std::string& text) { set(name, type, text + '\0'); }
    void set(const char* name, DWORD type, const std::string& bytes) {
        RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    }

    static constexpr const char* appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

private:
    std::string subKey_;
    HKEY key_ = nullptr;
};

TEST(AppPaths, RegisteredValuesExpandThroughTheRealRegistry) {
    Registration reg("updater-test-editor.exe");
    ASSERT_TRUE(reg.created());
    reg.setString(nullptr, REG_SZ, "C:\\Program Files\\Editor\\editor.exe");
    reg.setString("PATH", REG_SZ, "C:\\A\\;C:\\B\\;");

    Text value("{?App\\updater-test-editor.exe}|{?AppPath\\UPDATER-TEST-EDITOR.EXE}");
    EXPECT_TRUE(expandOperators(value));
    EXPECT_EQ(value.str(), "C:\\Program Files\\Editor\\editor.exe|C:\\A\\;C:\\B\\");
}

TEST(AppPaths, ValuesAreReadAsStoredAndEmptyOnesFail) {
    Registration reg("updater-test-values.exe");
    ASSERT_TRUE(reg.created());
    reg.setString(nullptr, REG_SZ, "C:\\Only\\only.exe");
    reg.set("Raw", REG_BINARY, "abc");  // no terminator stored
    reg.set("Empty", REG_BINARY, "");
    reg.setString("Expand", REG_EXPAND_SZ, "%ProgramFiles%\\x");

    os::detail::RegistryKey key(HKEY_LOCAL_MACHINE,
                                (std::string(Registration::appPaths) + "updater-test-values.exe").c_str());
    struct Case {
        const char* name;
        bool ok;
        std::string value;
    };
    const Case cases[] = {
        {"", true, "C:\\Only\\only.exe"},
        {"Raw", true, "abc"},
        {"Expand", true, "%ProgramFiles%\\x"},  // not expanded
        {"Empty", false, ""},
        {"PATH", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "before";
        EXPECT_EQ(key.readValue(c.name, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.value);
        }
        // readValue closes again: a closed key reports no size.
        EXPECT_EQ(key.valueSize(c.name), 0u);
    }

    // An empty program name asks for the App Paths key's own default value, which it has not.
    Text none("before");
    EXPECT_FALSE(appPathLookup("", none, true));

    // Registered without "PATH": the full path expands, the search path stays as written.
    Text value("{?App\\updater-test-values.exe};{?AppPath\\updater-test-values.exe}");
    expandOperators(value);
    EXPECT_EQ(value.str(), "C:\\Only\\only.exe;{?AppPath\\updater-test-values.exe}");
}

#else

// Sets environment variables for one test and puts the earlier values back.
class Environment {
public:
    Environment() = default;
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    void set(const char* name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::string folder(int number) {
    std::string out = "<none>";
    return os::specialFolderPath(number, out) ? out : "<none>";
}

TEST(LinuxFolders, FolderNumbersMapToTheXdgPlaces) {
    TempDir dir;
    const std::string home = dir / "home";
    const std::string config = dir / "cfg";
    const std::string data = dir / "data";
    Environment env;
    env.set("HOME", nativePath(home));
    env.set("XDG_CONFIG_HOME", nativePath(config));
    env.set("XDG_DATA_HOME", nativePath(data) + "/");
    env.set("XDG_CACHE_HOME", std::nullopt);
    std::filesystem::create_directories(nativePath(config));
    writeFile(config + "\\user-dirs.dirs",
              "# written by the desktop\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
              "  XDG_DOCUMENTS_DIR=\"/srv/docs\"\n"
              "XDG_MUSIC_DIR=\"$HOME/\"\n"
              "XDG_PICTURES_DIR=\"$HOME/Old\"\n"
              "XDG_PICTURES_DIR=\"$HOME/New Pictures\"\n"
              "XDG_VIDEOS_DIR=relative/path\n"
              "XDG_TEMPLATES_DIR=\"$HOMEx/t\"\n"
              "#XDG_PUBLICSHARE_DIR=\"$HOME/Public\"\n");
    struct Case {
        int number;
        std::string path;
    };
    const Case cases[] = {
        {0x00, home + "\\Schreibtisch"},
        {0x10, home + "\\Schreibtisch"},
        {0x19, home + "\\Schreibtisch"},
        {0x05, "\\srv\\docs"},
        {0x2E, "\\srv\\docs"},
        {0x0D, home},                         // "$HOME/": the home directory itself
        {0x27, home + "\\New Pictures"},      // the last assignment counts
        {0x0E, home + "\\Videos"},            // unusable values fall back to the usual name
        {0x15, home + "\\Templates"},
        {0x02, data + "\\applications"},      // trailing "/" of the variable dropped
        {0x0B, data + "\\applications"},
        {0x16, data + "\\applications"},
        {0x17, data + "\\applications"},
        {0x07, config + "\\autostart"},
        {0x18, config + "\\autostart"},
        {0x1A, config},
        {0x1C, data},
        {0x14, data + "\\fonts"},
        {0x20, home + "\\.cache"},
        {0x28, home},
        {0x24, os::windowsDirectory()},
        {0x25, os::systemDirectory()},
        {0x26, "\\opt"},
        {0x8005, "\\srv\\docs"},              // the create flag names the same folder
        {0x01, "<none>"},                     // virtual folders have no place
        {0x03, "<none>"},
        {0x0A, "<none>"},
        {0x11, "<none>"},
        {0x7F, "<none>"},
        {-1, "<none>"},
        {0x10005, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(folder(c.number), c.path);
    }
}

TEST(LinuxFolders, WithoutUserDirsOrVariablesTheHomeNamesServe) {
    TempDir dir;
    const std::string home = dir / "home";
    Environment env;
    env.set("HOME", nativePath(home));
    env.set("XDG_CONFIG_HOME", "relative/config");  // relative: to be ignored
    env.set("XDG_DATA_HOME", std::nullopt);
    env.set("XDG_CACHE_HOME", "");
    struct Case {
        int number;
        std::string path;
    };
    const Case cases[] = {
        {0x10, home + "\\Desktop"},
        {0x05, home + "\\Documents"},
        {0x0D, home + "\\Music"},
        {0x0E, home + "\\Videos"},
        {0x27, home + "\\Pictures"},
        {0x15, home + "\\Templates"},
        {0x17, home + "\\.local\\share\\applications"},
        {0x07, home + "\\.config\\autostart"},
        {0x20, home + "\\.cache"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(folder(c.number), c.path);
    }
}

TEST(LinuxFolders, WithoutHomeVariableTheAccountsHomeServes) {
    TempDir emptyConfig;
    Environment env;
    env.set("HOME", std::nullopt);
    env.set("XDG_CONFIG_HOME", nativePath(emptyConfig.path()));
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    std::string expected = account->pw_dir;
    for (char& c : expected)
        if (c == '/') c = '\\';
    EXPECT_EQ(folder(0x28), expected);
    EXPECT_EQ(folder(0x10), expected + "\\Desktop");
}

#endif

}  // namespace
