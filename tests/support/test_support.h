// Helpers shared by the unit tests: recording (and answering) every box, and temporary
// directories in the script's path form.
#pragma once

#include <string>
#include <vector>

#include "os/dialog.h"
#include "run/run_context.h"

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned style;
};

// While alive, every box is recorded instead of shown, and answered from `answers`
// in order (then with OK for OK boxes and Yes for Yes/No boxes).
class BoxRecorder {
public:
    explicit BoxRecorder(std::vector<int> answers = {});
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const { return boxes_; }

private:
    std::vector<RecordedBox> boxes_;
    std::vector<int> answers_;
    size_t nextAnswer_ = 0;
};

// A fresh, empty directory removed again (with everything in it) at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory in the script's form ("\" separators on both builds).
    const std::string& path() const { return path_; }
    // A path below it, `relative` written with "\" separators.
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// The catalogue message at the start of a box's text, without the lines a failure adds below
// it (the file that failed, the system's reason); `details` gets those lines.
std::string messagePart(const std::string& boxText, std::string* details = nullptr);

// Writes and reads whole files by script path.
void writeFile(const std::string& scriptPath, const std::string& content);
std::string readFile(const std::string& scriptPath);
bool fileExists(const std::string& scriptPath);

// The file system form of a script path on this build ("/" on POSIX).
std::string nativePath(const std::string& scriptPath);

// While alive, the user's local application data (where journals go) is `folder`, made here
// when missing, instead of the real one.
class LocalAppDataIn {
public:
    explicit LocalAppDataIn(std::string folder);
    ~LocalAppDataIn();
    LocalAppDataIn(const LocalAppDataIn&) = delete;
    LocalAppDataIn& operator=(const LocalAppDataIn&) = delete;

private:
    std::string folder_;
};

// The updater started on the script beside `executable` (script form), as its entry point
// starts it, with `arguments` as its command line; every box recorded and answered by
// default. Its outcome, its exit code and its boxes' messages (with `details` below each:
// the failed path and the reason).
struct Started {
    RunOutcome outcome;
    std::vector<std::string> boxes;
    int exitCode = 0;
    std::vector<std::string> details;
};
Started startUpdater(const std::string& executable, const std::string& arguments = "");

// A script beside a pretend executable in a fresh directory, with a run of its own: the
// run's paths point at it, its symbols are built and every command kind is known.
class ScriptFixture {
public:
    explicit ScriptFixture(const std::string& scriptText);
    const TempDir& dir() const { return dir_; }
    std::string path(const std::string& relative) const { return dir_ / relative; }
    RunContext& run() { return run_; }

private:
    TempDir dir_;
    RunContext run_;
};

// Records in `journal`, as a run does, that it made `name` of `dir` through a temporary, and
// makes it: a file, or a directory.
void makeAsARunDoes(Journal& journal, const TempDir& dir, const std::string& name, bool directory);
