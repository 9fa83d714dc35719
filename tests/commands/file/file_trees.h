// Helpers of the file command tests: trees written and read back as one map, scripts run
// whole with their boxes, and directory links made where the system allows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "os/files.h"
#include "run/messages.h"
#include "run/procedure.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace file_trees {

namespace fs = std::filesystem;

// Relative path ("\" separators) to contents; a link reads "-> " and where it leads. A
// directory (ending in "\", no contents) is listed only when empty: the others are implied by
// what is in them.
using Tree = std::map<std::string, std::string>;

inline std::string scriptForm(std::string p) {
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

inline void writeTree(const std::string& root, const Tree& tree) {
    fs::create_directories(nativePath(root));
    for (const auto& [relative, contents] : tree) {
        const std::string path = root + "\\" + relative;
        if (relative.back() == '\\') {
            fs::create_directories(nativePath(path));
        } else {
            fs::create_directories(fs::path(nativePath(path)).parent_path());
            writeFile(path, contents);
        }
    }
}

// Everything below `root`, links not followed; empty when `root` is not there.
inline Tree readTree(const std::string& root) {
    Tree tree;
    std::error_code ec;
    const fs::path base = nativePath(root);
    for (auto it = fs::recursive_directory_iterator(base, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string relative = scriptForm(it->path().lexically_relative(base).string());
        std::error_code unreadable;
        if (it->is_symlink())
            tree[relative] = "-> " + scriptForm(fs::read_symlink(it->path(), unreadable).string());
        else if (it->is_directory())
            tree[relative + "\\"] = "";
        else
            tree[relative] = readFile(root + "\\" + relative);
    }
    for (auto it = tree.begin(); it != tree.end();) {
        const auto next = std::next(it);
        const bool holdsSomething = next != tree.end() && next->first.rfind(it->first, 0) == 0;
        it = it->first.back() == '\\' && holdsSomething ? tree.erase(it) : next;
    }
    return tree;
}

inline bool readOnly(const std::string& path) {
    return (fs::status(nativePath(path)).permissions() & fs::perms::owner_write) == fs::perms::none;
}

inline void makeReadOnly(const std::string& path) {
    fs::permissions(nativePath(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// One section of a script: "[name]", MODE, then the keys in order.
inline std::string section(const std::string& name, const std::string& mode,
                           const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[" + name + "]\nMODE=" + mode + "\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
    return text;
}

struct Run {
    bool completed;                    // runMain's answer: false once a command stopped the run
    std::vector<std::string> boxes;    // every box's message, in order
    std::vector<std::string> details;  // the lines a failure adds below each message
};

// Runs `proc` of the script that `fixture` holds, every box recorded.
inline Run runScript(ScriptFixture& fixture, const char* proc) {
    BoxRecorder recorder;
    RunContext& context = fixture.run();
    context.mainProcList.assign(proc);
    Run run{runMain(context), {}, {}};
    for (const RecordedBox& box : recorder.boxes()) {
        std::string details;
        run.boxes.push_back(messagePart(box.text, &details));
        run.details.push_back(details);
    }
    context.procedures.freeAll();
    return run;
}

inline std::vector<std::string> message(MessageId id, std::initializer_list<MessageArg> args) {
    return {formatMessage(id, args)};
}

struct Outcome {
    bool completed;
    std::vector<std::string> boxes;  // the test directory written as "<Src>"
    Tree after;                      // the test directory, without the script
    bool operator==(const Outcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    out << (o.completed ? "completed" : "stopped") << "\n";
    for (const std::string& box : o.boxes) out << "box: " << box << "\n";
    for (const auto& [path, contents] : o.after) out << path << " = " << contents << "\n";
    return out;
}

// Box texts with the test directory written as "<Src>", as the script names it.
inline std::vector<std::string> asScriptWrites(std::vector<std::string> boxes, const std::string& dir) {
    for (std::string& box : boxes)
        for (size_t at = box.find(dir); at != std::string::npos; at = box.find(dir, at)) box.replace(at, dir.size(), "<Src>");
    return boxes;
}

// The script run in a fresh directory that holds `before` (and the entries of `readOnly`
// made read-only); "<Src>" in the script is that directory.
inline Outcome runIn(const Tree& before, const std::string& script, const std::vector<std::string>& readOnly = {},
                     const char* proc = "Step") {
    ScriptFixture fixture(script);
    const std::string& dir = fixture.dir().path();
    writeTree(dir, before);
    for (const std::string& path : readOnly) makeReadOnly(dir + "\\" + path);
    const Run run = runScript(fixture, proc);
    Outcome outcome{run.completed, asScriptWrites(run.boxes, dir), readTree(dir)};
    outcome.after.erase("patch.ini");
    return outcome;
}

#ifdef _WIN32
// Wine 8 accepts CreateSymbolicLinkA without making anything, and follows a link in every
// call that could remove one: there the host's own ln and rm make and remove links, at the
// host path of each side. Wine can start host programs.
inline std::string hostPath(const std::string& windowsPath) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return {};
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* name = unixName(wide.c_str());
    if (!name) return {};
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// The handle of a host program may be signalled before the program has run, so it is what
// the program does that is waited for, up to ten seconds.
template <class Done>
bool runOnHost(const char* program, std::string commandLine, Done done) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (const DWORD deadline = GetTickCount() + 10000; GetTickCount() < deadline; Sleep(10))
        if (done()) return true;
    return false;
}

inline bool makeLink(const std::string& target, const std::string& link) {
    const std::string hostTarget = hostPath(target);
    const std::string hostLink = hostPath(link);
    return !hostTarget.empty() && !hostLink.empty() &&
           runOnHost("Z:\\bin\\ln", "/bin/ln -s \"" + hostTarget + "\" \"" + hostLink + "\"",
                     [&] { return os::attributesOf(link) != os::InvalidAttributes; }) &&
           (os::attributesOf(link) & os::AttributeReparsePoint);
}

inline void removeLink(const std::string& link) {
    runOnHost("Z:\\bin\\rm", "/bin/rm -f \"" + hostPath(link) + "\"",
              [&] { return os::attributesOf(link) == os::InvalidAttributes; });
}
#else
inline bool makeLink(const std::string& target, const std::string& link) {
    std::error_code ec;
    fs::create_symlink(nativePath(target), nativePath(link), ec);
    return !ec;
}

// std::filesystem here removes a link as itself.
inline void removeLink(const std::string&) {}
#endif

// The links a test makes, removed again before its directory is: std::filesystem under Wine
// takes a link for the directory it leads to, and would empty that too, or go round a loop.
class Links {
public:
    Links() = default;
    Links(const Links&) = delete;
    Links& operator=(const Links&) = delete;
    ~Links() {
        for (const std::string& link : made_) removeLink(link);
    }
    bool make(const std::string& target, const std::string& link) {
        if (!makeLink(target, link)) return false;
        made_.push_back(link);
        return true;
    }

private:
    std::vector<std::string> made_;
};

// A link, or the test is skipped where the system cannot make one that a search reports as a
// link (Wine reports links to directories only).
#define MAKE_LINK_OR_SKIP(links, target, link) \
    if (!(links).make(target, link)) GTEST_SKIP() << "no such link on this system"

}  // namespace file_trees
