// Shared test helpers; file access goes through the standard library so that the tests do
// not depend on the layer they check.
#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "commands/command_kinds.h"
#include "os/files.h"
#include "run/messages.h"
#include "os/shell.h"
#include "run/startup.h"
#include "run/symbols.h"

namespace fs = std::filesystem;

BoxRecorder::BoxRecorder(std::vector<int> answers) : answers_(std::move(answers)) {
    os::setBoxHandler([this](const std::string& text, const std::string& caption, unsigned style) {
        boxes_.push_back({text, caption, style});
        if (nextAnswer_ < answers_.size()) return answers_[nextAnswer_++];
        return (style & 0x0F) == os::BoxYesNo ? int(os::AnswerYes) : int(os::AnswerOk);
    });
}

BoxRecorder::~BoxRecorder() { os::setBoxHandler({}); }

std::string nativePath(const std::string& scriptPath) {
#ifdef _WIN32
    return scriptPath;
#else
    std::string p = scriptPath;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
#endif
}

static std::string scriptForm(std::string p) {
#ifndef _WIN32
    for (char& c : p)
        if (c == '/') c = '\\';
#endif
    return p;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() /
                   ("updater-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(dir);
    path_ = scriptForm(dir.string());
    while (path_.size() > 1 && path_.back() == '\\') path_.pop_back();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only entries left by a test would stop the removal on Windows.
    for (auto it = fs::recursive_directory_iterator(nativePath(path_), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(nativePath(path_), ec);
}

std::string messagePart(const std::string& boxText, std::string* details) {
    size_t cut = std::string::npos;
    for (const MessageId below : {MessageId::FailedPath, MessageId::FailureReason}) {
        const std::string label = formatMessage(below, {""});
        const size_t at = boxText.find("\n\n" + label.substr(0, label.find('"') == std::string::npos
                                                                       ? label.size()
                                                                       : label.find('"')));
        if (at < cut) cut = at;
    }
    if (details) *details = cut == std::string::npos ? "" : boxText.substr(cut + 2);
    return boxText.substr(0, cut);
}

void writeFile(const std::string& scriptPath, const std::string& content) {
    std::ofstream out(nativePath(scriptPath), std::ios::binary);
    out << content;
}

std::string readFile(const std::string& scriptPath) {
    std::ifstream in(nativePath(scriptPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& scriptPath) { return fs::exists(nativePath(scriptPath)); }

LocalAppDataIn::LocalAppDataIn(std::string folder) : folder_(std::move(folder)) {
    fs::create_directories(nativePath(folder_));
    os::setShellLookups({[this](int id, std::string& out) {
                             out = folder_;
                             return id == 0x1C;
                         },
                         {}});
}

LocalAppDataIn::~LocalAppDataIn() { os::setShellLookups({}); }

Started startUpdater(const std::string& executable, const std::string& arguments) {
    BoxRecorder recorder;
    RunContext run;
    run.kinds = commandKinds();
    runUpdater(run, arguments.c_str(), executable);
    Started started{run.outcome, {}, run.exitCode(), {}};
    for (const RecordedBox& box : recorder.boxes()) {
        std::string details;
        started.boxes.push_back(messagePart(box.text, &details));
        started.details.push_back(details);
    }
    return started;
}

ScriptFixture::ScriptFixture(const std::string& scriptText) {
    writeFile(dir_ / "patch.ini", scriptText);
    run_.kinds = commandKinds();
    run_.modulePath.assign((dir_ / "patch.exe").c_str());
    run_.scriptPath.assign((dir_ / "patch.ini").c_str());
    (void)run_.script.load(run_.scriptPath.str());
    buildSymbolTable(run_);
}

void makeAsARunDoes(Journal& journal, const TempDir& dir, const std::string& name, bool directory) {
    os::Directory held;
    ASSERT_TRUE(os::Directory::open(dir.path(), held));
    std::string temporary;
    ASSERT_TRUE(journal.temporary(dir.path(), temporary));
    if (directory)
        ASSERT_TRUE(held.createChild(temporary));
    else
        ASSERT_TRUE(held.writeNewFile(temporary, "made by the run"));
    os::FileIdentity identity;
    ASSERT_TRUE(held.identify(temporary, identity));
    ASSERT_TRUE(journal.made(dir / name, dir / temporary, identity));
    ASSERT_TRUE(held.moveTo(temporary, held, name, false));
}
