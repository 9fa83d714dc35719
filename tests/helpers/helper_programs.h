// How the process tests put a helper program (write_args, sleep_ms) beside their files, and
// a sleeper that runs while a test looks for it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "os/process.h"
#include "support/test_support.h"

// Copies helper `name` into `dir` under `as` (default: its own name) and gives its script
// path there, so that the program's directory (its working directory) is the test's own.
inline std::string placeHelper(const TempDir& dir, const std::string& name, const std::string& as = "") {
    const std::string path = dir / ((as.empty() ? name : as) + UPDATER_HELPER_SUFFIX);
    std::filesystem::copy_file(std::filesystem::path(UPDATER_HELPER_DIR) / (name + UPDATER_HELPER_SUFFIX),
                               nativePath(path), std::filesystem::copy_options::overwrite_existing);
    return path;
}

// sleep_ms under the name `as`, started for `ms` without waiting; its id once the system
// lists it. The test waits for its end before the directory goes.
class Sleeper {
public:
    Sleeper(const TempDir& dir, const std::string& as, int ms) : path_(placeHelper(dir, "sleep_ms", as)) {
        (void)os::startProcess(path_, std::to_string(ms), dir.path(), false, false);
        // A process that has only just been created may not tell its modules yet.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (id_ == 0 && std::chrono::steady_clock::now() < deadline) {
            os::ProcessList list;
            while (id_ == 0 && list.next())
                if (os::sameExecutable(list.executable(), path_)) id_ = list.id();
        }
    }
    ~Sleeper() {
        if (id_) os::waitForProcess(id_, os::WaitForever);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    const std::string& path() const { return path_; }
    uint32_t id() const { return id_; }

private:
    std::string path_;
    uint32_t id_ = 0;
};
