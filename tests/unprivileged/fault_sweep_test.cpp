// The fault sweep: every system call of a reference update made to fail in turn, one failure a
// run, with each error that call really gives back, and what each run left checked: the
// updater ends with one of its own exit codes; it reports success only for the new version
// and "undone" only for the old one; with ROLLBACK=1 the next start leaves exactly the old
// version (or the new one, where the run said it succeeded) and no temporary name; without it
// every file is whole, and the next complete run leaves the new version; nothing outside the
// trees the script names changes. Then runs whose calls all fail from some point on (a disk
// that goes bad, the next best thing to a crash in one process) are followed by a start whose
// recovery meets a failure of its own, and a clean start that must leave the old version.
//
// It runs as an unprivileged user in folders only that user owns (unprivileged.cmake):
// a fault in an undo must never reach anything of the machine's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_kinds.h"
#include "make/patch_make.h"
#include "os/fault_injection.h"
#include "os/sha256.h"
#include "os/shell.h"
#include "run/run_context.h"
#include "run/startup.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using os::faults::Fault;

// ---- The trees the sweep writes and compares -------------------------------------------

// Relative path ("\" separators) to contents; a name ending in "\" is an empty directory.
using Tree = std::map<std::string, std::string>;

struct Entry {
    bool directory;
    bool readOnly;
    std::string content;
    bool operator==(const Entry&) const = default;
};
// Every entry below a case's folders, by "root\relative" or "other\relative".
using State = std::map<std::string, Entry>;

std::string scriptForm(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool isShortcut(const std::string& path) {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".LNK") == 0;
}

void readInto(const fs::path& base, const std::string& label, State& state) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(base, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string relative = scriptForm(it->path().lexically_relative(base).string());
        if (relative == "appdata" || relative.rfind("appdata\\", 0) == 0) continue;
        const bool directory = it->is_directory() && !it->is_symlink();
        const bool readOnly = (it->symlink_status().permissions() & fs::perms::owner_write) == fs::perms::none;
        std::string content;
        if (!directory) {
            content = readFile(scriptForm(it->path().string()));
            // A shortcut holds the times of its target, which each case writes anew: what
            // counts is that it is one.
            if (isShortcut(relative)) content = content.substr(0, 4);
        }
        state[label + "\\" + relative] = {directory, readOnly, content};
    }
}

void writeTree(const std::string& root, const Tree& tree) {
    for (const auto& [relative, contents] : tree) {
        const std::string path = root + "\\" + relative;
        if (relative.back() == '\\') {
            fs::create_directories(nativePath(path));
            continue;
        }
        fs::create_directories(fs::path(nativePath(path)).parent_path());
        writeFile(path, contents);
    }
}

bool hasTemporaryName(const std::string& path) { return path.find("~upd") != std::string::npos; }

// The state without the run's backup folders and what they hold.
State withoutBackups(State state) {
    for (auto it = state.begin(); it != state.end();) {
        const size_t at = it->first.find("~upd");
        const size_t end = at == std::string::npos ? at : it->first.find('\\', at);
        const std::string element = at == std::string::npos ? "" : it->first.substr(at, end - at);
        const bool backup = element.size() > 4 && element.compare(element.size() - 4, 4, ".bak") == 0;
        it = backup ? state.erase(it) : std::next(it);
    }
    return state;
}

// ---- The reference updates ---------------------------------------------------------------

struct Scenario {
    const char* name;
    std::string sections;  // "{other}" stands for the folder on the other volume
    std::string proc;
    Tree installed;        // below the updater's folder
    Tree other;            // below the folder on the other volume
    std::vector<std::string> readOnly;  // below the updater's folder
};

std::string section(const std::string& name, const std::string& mode,
                    const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "[" + name + "]\nMODE=" + mode + "\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
    return text;
}

Tree installedApplication() {
    return {
        {"app\\bin\\tool.exe", "old tool"},
        {"app\\bin\\lib.dll", "old library"},
        {"app\\data\\kept.dat", "kept as it is"},
        {"app\\old\\a.txt", "to delete"},
        {"app\\old\\deeper\\b.txt", "to delete too"},
        {"app\\single.txt", "to delete alone"},
        {"app\\move\\m1.txt", "to move"},
        {"app\\move\\sub\\m2.txt", "to move too"},
        {"app\\keep\\k1.txt", "made read-only"},
        {"app\\keep\\k2.txt", "made read-only too"},
        {"new\\bin\\tool.exe", "new tool, longer than the old one"},
        {"new\\bin\\lib.dll", "new library"},
        {"new\\bin\\added.dll", "added"},
        {"new\\bin\\readonly.cfg", "read-only in the new version"},
        {"new\\plugins\\p1.dll", "a new folder"},
        {"new\\plugins\\empty\\", ""},
    };
}

// The patch from `from` to `to`, as updater-make writes it.
std::string patchOf(const std::string& from, const std::string& to) {
    const auto bytes = [](const std::string& s) {
        return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    std::string patch;
    const Digest fromHash = os::sha256Of(from.data(), from.size());
    if (!delta::makePatch(bytes(from), bytes(to), fromHash, os::sha256Of(to.data(), to.size()), patch)) patch.clear();
    return patch;
}

// The installed application with the patches that bring two of its files to their new version.
Tree patchableApplication() {
    Tree tree = installedApplication();
    tree["payload\\tool.patch"] = patchOf(tree["app\\bin\\tool.exe"], tree["new\\bin\\tool.exe"]);
    tree["payload\\lib.patch"] = patchOf(tree["app\\bin\\lib.dll"], tree["new\\bin\\lib.dll"]);
    return tree;
}

std::vector<Scenario> scenarios() {
    return {
        {"copy_delete_move_makedir",
         section("Copy", "COPY", {{"FROM", "<Src>\\new"}, {"TO", "<Src>\\app"}}) +
             // A file the run replaced, replaced again: set aside a second time under its name.
             section("Again", "COPY", {{"FROM", "<Src>\\new\\bin\\lib.dll"}, {"TO", "<Src>\\app\\bin\\lib.dll"}}) +
             section("Delete", "DELETE", {{"FILE", "<Src>\\app\\old,<Src>\\app\\single.txt"}}) +
             section("Move", "MOVE", {{"FROM", "<Src>\\app\\move"}, {"TO", "<Src>\\app\\moved"}}) +
             section("Make", "MAKEDIR", {{"DIR", "<Src>\\app\\logs\\2024"}}),
         "Copy,Again,Delete,Move,Make", installedApplication(), {}, {"new\\bin\\readonly.cfg"}},
        {"move_across_volumes",
         section("One", "MOVE", {{"FROM", "{other}\\stage\\one.dat"}, {"TO", "<Src>\\app\\data\\one.dat"}}) +
             section("Over", "MOVE", {{"FROM", "{other}\\stage\\*.txt"}, {"TO", "<Src>\\app\\docs\\"}}) +
             section("Tree", "MOVE", {{"FROM", "{other}\\tree"}, {"TO", "<Src>\\app\\tree"}}) +
             section("Here", "MOVE", {{"FROM", "<Src>\\app\\single.txt"}, {"TO", "<Src>\\app\\data\\single.txt"}}),
         "One,Over,Tree,Here",
         {{"app\\data\\kept.dat", "kept"}, {"app\\docs\\b.txt", "old b"}, {"app\\single.txt", "moved within"}},
         {{"stage\\one.dat", "one"}, {"stage\\b.txt", "new b"}, {"stage\\c.txt", "new c"},
          {"tree\\t1.txt", "tree one"}, {"tree\\sub\\t2.txt", "tree two"}},
         {}},
        {"hash_and_patch",
         section("Check", "HASH",
                 {{"FILE", "<Src>\\app\\bin\\tool.exe,<Src>\\app\\bin\\lib.dll"},
                  {"TYPE", "AND"},
                  {"HASH", digestHex(os::sha256Of("old tool", 8)) + "," + digestHex(os::sha256Of("old library", 11))}}) +
             section("Patch", "PATCH",
                     {{"FILE", "<Src>\\app\\bin\\tool.exe,<Src>\\app\\bin\\lib.dll"},
                      {"DIFF", "<Src>\\payload\\tool.patch,<Src>\\payload\\lib.patch"}}),
         "Check,Patch", patchableApplication(), {}, {}},
        {"attr_and_link",
         section("Attr", "ATTR", {{"FILE", "<Src>\\app\\keep\\*.txt"}, {"ARG", "0x1"}}) +
             section("Link", "LINK", {{"SRC", "<Src>\\app\\bin\\tool.exe"}, {"PARAM", "-x"}, {"SHOWCMD", "1"},
                                      {"DST", "<Src>\\app\\menu\\Tool"}}) +
             section("Again", "LINK", {{"SRC", "<Src>\\app\\bin\\lib.dll"}, {"PARAM", ""}, {"SHOWCMD", "3"},
                                       {"DST", "<Src>\\app\\Old"}}),
         "Attr,Link,Again", installedApplication(), {}, {}},
    };
}

// ---- One case: a fresh copy of a scenario's folders, and the updater run on it ---------

// The folder on the other volume, where the set-up names one (the same volume elsewhere).
std::string otherVolumeBase() {
    const char* other = std::getenv("SWEEP_OTHER_VOLUME");
    return other && *other ? scriptForm(other) : "";
}

class Case {
public:
    Case(const Scenario& scenario, bool rollback) : scenario_(scenario), rollback_(rollback) {
        static unsigned counter = 0;
        const std::string otherBase = otherVolumeBase();
        other_ = otherBase.empty() ? root_ / "elsewhere" : otherBase + "\\case-" + std::to_string(counter++);
        writeFile(root_ / "above.txt", "outside the named trees");
        writeFile(root_ / "level\\beside.txt", "beside the updater's folder");
        writeTree(folder(), scenario.installed);
        writeTree(other_, scenario.other);
        if (scenario.other.empty()) fs::create_directories(nativePath(other_));
        writeFile(root_ / "other-volume\\outside.txt", "outside too");
        fs::create_directories(nativePath(root_ / "appdata"));
        for (const std::string& name : scenario.readOnly)
            fs::permissions(nativePath(folder() + "\\" + name), fs::perms::owner_write | fs::perms::group_write |
                                                                    fs::perms::others_write,
                            fs::perm_options::remove);
        writeScript(update());
    }
    ~Case() {
        std::error_code ec;
        if (!otherVolumeBase().empty()) {
            for (auto it = fs::recursive_directory_iterator(nativePath(other_), ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            fs::remove_all(nativePath(other_), ec);
        }
    }

    std::string folder() const { return root_ / "level\\updater"; }
    std::string update() const {
        std::string text = "[UPDATER]\nNAME=Sweep\nPROC=" + scenario_.proc + "\n" + (rollback_ ? "ROLLBACK=1\n" : "") +
                           scenario_.sections;
        for (size_t at = text.find("{other}"); at != std::string::npos; at = text.find("{other}", at))
            text.replace(at, 7, other_);
        return text;
    }
    static std::string nothing() { return "[UPDATER]\nNAME=Sweep\nPROC=Nothing\n[Nothing]\nMODE=OSVER\n"; }
    // SWEEP_LOG names a file every start appends its log to, for a look at one case.
    static std::string commandLine() {
        const char* log = std::getenv("SWEEP_LOG");
        return log && *log ? "/UNATTENDED /LOG=" + scriptForm(log) : "/UNATTENDED";
    }
    void writeScript(const std::string& text) const { writeFile(folder() + "\\patch.ini", text); }

    State state() const {
        State state;
        readInto(nativePath(root_.path()), "root", state);
        if (!otherVolumeBase().empty()) readInto(nativePath(other_), "other", state);
        state.erase("root\\level\\updater\\patch.ini");
        return state;
    }
    // The journals left in the user's application data.
    std::vector<std::string> journals() const {
        std::vector<std::string> left;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(nativePath(root_ / "appdata"), ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file()) left.push_back(it->path().filename().string());
        return left;
    }

    // One start of the updater on the script as it stands, unattended; its exit code.
    int start(const os::faults::Injector& injector = {}) const {
        os::setShellLookups({[this](int folder, std::string& out) {
                                 if (folder != 0x1C) return false;
                                 out = root_ / "appdata";
                                 return true;
                             },
                             {}});
        BoxRecorder boxes;
        int exitCode = -1;
        {
            RunContext run;
            run.kinds = commandKinds();
            os::faults::setInjector(injector);
            runUpdater(run, commandLine().c_str(), folder() + "\\patch.exe");
            os::faults::setInjector({});
            exitCode = run.exitCode();
        }
        os::setShellLookups({});
        return exitCode;
    }

private:
    const Scenario& scenario_;
    bool rollback_;
    TempDir root_;
    std::string other_;
};

// ---- Injection plans -------------------------------------------------------------------

// Fails the `at`-th call with `fault` (a call the plan did not expect there gets the first
// fault it really gives back), or with `fromThenOn` every call from there on; counts calls
// and keeps their names.
struct Plan {
    size_t at = 0;
    Fault fault = Fault::IoError;
    bool fromThenOn = false;
    size_t count = 0;
    std::vector<std::string> calls;
    bool injected = false;

    os::faults::Injector injector() {
        return [this](const char* call) -> std::optional<Fault> {
            ++count;
            calls.emplace_back(call);
            if (at == 0 || count < at || (count > at && !fromThenOn)) return std::nullopt;
            const std::span<const Fault> real = os::faults::faultsOf(call);
            if (real.empty()) return std::nullopt;
            injected = true;
            return std::find(real.begin(), real.end(), fault) != real.end() ? fault : real.front();
        };
    }
};

bool isOwnExitCode(int code) { return code >= 0 && code <= 6; }

std::string describe(const State& expected, const State& found) {
    std::ostringstream out;
    int shown = 0;
    for (const auto& [path, entry] : expected)
        if (!found.count(path) && shown++ < 6) out << "\n      gone: " << path;
    for (const auto& [path, entry] : found)
        if (!expected.count(path) && shown++ < 6) out << "\n      new: " << path;
    for (const auto& [path, entry] : found)
        if (expected.count(path) && !(expected.at(path) == entry) && shown++ < 6) out << "\n      changed: " << path;
    return out.str();
}

// The whole sweep of one scenario, with or without ROLLBACK; its violations.
class Sweep {
public:
    Sweep(const Scenario& scenario, bool rollback) : scenario_(scenario), rollback_(rollback) {
        Case reference(scenario, rollback);
        old_ = reference.state();
        Plan recording;
        const int code = reference.start(recording.injector());
        calls_ = recording.calls;
        new_ = reference.state();
        if (code != 0) violation("the run without a fault ended with " + std::to_string(code));
        if (new_ == old_) violation("the run without a fault changed nothing");
        for (const auto& [path, entry] : new_)
            if (hasTemporaryName(path)) violation("the run without a fault left " + path);
    }

    size_t calls() const { return calls_.size(); }
    const std::string& call(size_t at) const { return calls_[at - 1]; }
    int runs() const { return runs_; }
    const std::vector<std::string>& violations() const { return violations_; }

    // The `at`-th call failed with `fault`.
    void failOnce(size_t at, Fault fault) {
        Case c(scenario_, rollback_);
        Plan plan;
        plan.at = at;
        plan.fault = fault;
        const int code = c.start(plan.injector());
        ++runs_;
        const std::string what = "call " + std::to_string(at) + " (" + calls_[at - 1] + ") failing with " +
                                 os::faults::faultName(fault) + ": ";
        // A run makes the same calls as the reference run, or the position means nothing.
        if (!plan.injected) violation(what + "no call was failed: the run made other calls than the reference run");
        // "Not found" tells the updater an entry is gone when it is not: acting on that is right,
        // so the tree need not be the new version where it says it succeeded.
        const bool toldWrongly = fault == Fault::NotFound;
        checkStart(what + "the run", code, c.state(), toldWrongly);
        if (!rollback_) checkWhole(what + "the run", c.state());
        // The next start of the same script finishes what the run left: with ROLLBACK=1 its
        // undo, without it the removal of its temporaries.
        c.writeScript(Case::nothing());
        const int next = c.start();
        const State after = c.state();
        if (next != 0) violation(what + "the next start ended with " + std::to_string(next));
        if (rollback_ && code == 0 && !toldWrongly && after != new_)
            violation(what + "after a reported success the next start did not leave the new version:" + describe(new_, after));
        if (rollback_ && code != 0 && after != old_)
            violation(what + "the next start did not leave the old version:" + describe(old_, after));
        if (!rollback_) checkWhole(what + "after the next start", after);
        // Told that an entry is gone, a run may have left a backup folder it thinks it removed.
        checkClean(what + "after the next start", c, toldWrongly && code == 0 ? withoutBackups(after) : after);
    }

    // Every call from the `from`-th on fails; the next start's recovery meets a failure at its
    // `at`-th call; a clean start then must leave the old version (or the new one, where the
    // first run said it succeeded).
    void failRecovery(size_t from, size_t at) {
        Case c(scenario_, rollback_);
        Plan dying;
        dying.at = from;
        dying.fromThenOn = true;
        const int first = c.start(dying.injector());
        c.writeScript(Case::nothing());
        Plan recovering;
        recovering.at = at;
        const int second = c.start(recovering.injector());
        const int third = c.start();
        runs_ += 1;
        const std::string what = "every call from " + std::to_string(from) + " failing, then recovery call " +
                                 std::to_string(at) + ": ";
        if (!isOwnExitCode(first) || !isOwnExitCode(second))
            violation(what + "exit codes " + std::to_string(first) + ", " + std::to_string(second));
        const State after = c.state();
        if (third != 0) violation(what + "the clean start ended with " + std::to_string(third));
        const State& expected = first == 0 ? new_ : old_;
        if (after != expected) violation(what + "the clean start did not leave the " + (first == 0 ? "new" : "old") +
                                         " version:" + describe(expected, after));
        checkClean(what + "after the clean start", c, after);
    }

private:
    void violation(std::string text) { violations_.push_back(std::move(text)); }

    void checkStart(const std::string& what, int code, const State& state, bool toldWrongly) {
        if (!isOwnExitCode(code)) violation(what + " ended with " + std::to_string(code));
        // A backup folder that cannot be removed yet at the run's end (on Windows, the old
        // executable of a program still running) is the next start's to remove.
        if (code == 0 && !toldWrongly && withoutBackups(state) != new_)
            violation(what + " reported success for a tree that is not the new version:" + describe(new_, state));
        if (code == 4 && state != old_) violation(what + " reported \"undone\" for a tree that is not the old version:" +
                                                  describe(old_, state));
        // A check of the rights that fails counts as rights lacking: nothing may have changed.
        if (code == 6 && state != old_)
            violation(what + " reported that it needs rights and did nothing, for a tree that is not the old version:" +
                      describe(old_, state));
        checkOutside(what, state);
    }

    // Nothing but the trees the script names may change: the files around the updater's folder
    // and above it, and whatever both versions hold alike, stay as they were.
    void checkOutside(const std::string& what, const State& state) {
        for (const auto& [path, entry] : old_) {
            const auto inNew = new_.find(path);
            if (inNew == new_.end() || !(inNew->second == entry)) continue;
            const auto found = state.find(path);
            if (found == state.end() || !(found->second == entry)) {
                violation(what + " changed " + path + ", which the update leaves alone");
                return;
            }
        }
    }

    // Without ROLLBACK a failed run may leave the update part-way, but every file holds a
    // whole old or a whole new content, and nothing else stands but its temporaries.
    void checkWhole(const std::string& what, const State& state) {
        for (const auto& [path, entry] : state) {
            const auto inOld = old_.find(path);
            const auto inNew = new_.find(path);
            const bool asOld = inOld != old_.end() && inOld->second.content == entry.content &&
                               inOld->second.directory == entry.directory;
            const bool asNew = inNew != new_.end() && inNew->second.content == entry.content &&
                               inNew->second.directory == entry.directory;
            if (!asOld && !asNew && !hasTemporaryName(path)) {
                violation(what + " left " + path + " neither old nor new");
                return;
            }
        }
    }

    void checkClean(const std::string& what, const Case& c, const State& state) {
        for (const auto& [path, entry] : state)
            if (hasTemporaryName(path)) {
                violation(what + ": " + path + " is left");
                break;
            }
        if (!c.journals().empty()) violation(what + ": a journal is left (" + c.journals().front() + ")");
    }

    const Scenario& scenario_;
    bool rollback_;
    State old_, new_;
    std::vector<std::string> calls_;
    int runs_ = 0;
    std::vector<std::string> violations_;
};

// Under Wine every run costs far more than natively (and each flush the journal asks is one on
// the real disk): the Windows builds try every fifth call position, each with every fault it
// really gives back, which still meets every kind of call.
constexpr size_t positionStep =
#ifdef _WIN32
    5;
#else
    1;
#endif

// Where the test script runs both Windows builds (UPDATER_SWEEP_SHARED set), they share that
// work: the 64-bit one takes the first of every two such positions, the 32-bit one the
// second, so that together they cover it in the time one took. A build tested on its own
// takes every position.
struct Share {
    size_t part, parts;
};
Share thisBuildsShare() {
    const char* shared = std::getenv("UPDATER_SWEEP_SHARED");
    if (!shared || !*shared) return {0, 1};
#if !defined(_WIN32)
    return {0, 1};
#elif defined(_WIN64)
    return {0, 2};
#else
    return {1, 2};
#endif
}

// Every `step`th position of 1..last, this build's share of them.
std::vector<size_t> sharedPositions(size_t last, size_t step) {
    const Share share = thisBuildsShare();
    std::vector<size_t> positions;
    for (size_t at = 1 + share.part * step; at <= last; at += share.parts * step) positions.push_back(at);
    return positions;
}

void report(const Sweep& sweep, const std::string& name) {
    std::printf("[ sweep    ] %s: %zu calls, %d runs, %zu violations\n", name.c_str(), sweep.calls(), sweep.runs(),
                sweep.violations().size());
    for (size_t i = 0; i < sweep.violations().size() && i < 25; ++i)
        ADD_FAILURE() << name << ": " << sweep.violations()[i];
}

class FaultSweep : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(FaultSweep, EveryCallFailedInTurn) {
    const std::vector<Scenario> all = scenarios();
    const Scenario& scenario = all[std::get<0>(GetParam())];
    const bool rollback = std::get<1>(GetParam());
    Sweep sweep(scenario, rollback);
    ASSERT_TRUE(sweep.violations().empty()) << sweep.violations().front();
    // SWEEP_AT: that one call position alone, for a look at one case.
    const char* only = std::getenv("SWEEP_AT");
    const std::vector<size_t> positions = only && *only ? std::vector<size_t>{std::strtoul(only, nullptr, 10)}
                                                        : sharedPositions(sweep.calls(), positionStep);
    for (const size_t at : positions)
        for (const Fault fault : os::faults::faultsOf(sweep.call(at).c_str())) sweep.failOnce(at, fault);
    report(sweep, std::string(scenario.name) + (rollback ? " with ROLLBACK=1" : ""));
}

TEST_P(FaultSweep, ARecoveryThatFailsIsFinishedByTheNextStart) {
    const std::vector<Scenario> all = scenarios();
    const Scenario& scenario = all[std::get<0>(GetParam())];
    if (!std::get<1>(GetParam())) GTEST_SKIP() << "only a run that can be undone is recovered";
    Sweep sweep(scenario, true);
    ASSERT_TRUE(sweep.violations().empty()) << sweep.violations().front();
    // A fixed, spread sample: the points where the run starts to fail, and the recovery's own.
    const size_t step = std::max<size_t>(1, sweep.calls() / (positionStep == 1 ? 60 : 15));
    // SWEEP_AT: that one point alone, for a look at one case.
    const char* only = std::getenv("SWEEP_AT");
    const std::vector<size_t> points = only && *only ? std::vector<size_t>{std::strtoul(only, nullptr, 10)}
                                                     : sharedPositions(sweep.calls(), step);
    for (const size_t from : points)
        for (const size_t at : {1, 2, 3, 5, 8, 13, 21, 34})
            sweep.failRecovery(from, at);
    report(sweep, std::string(scenario.name) + " recovery");
}

INSTANTIATE_TEST_SUITE_P(References, FaultSweep,
                         testing::Combine(testing::Values(0, 1, 2), testing::Values(false, true)),
                         [](const testing::TestParamInfo<FaultSweep::ParamType>& info) {
                             return std::string(scenarios()[std::get<0>(info.param)].name) +
                                    (std::get<1>(info.param) ? "_rollback" : "_plain");
                         });

}  // namespace
