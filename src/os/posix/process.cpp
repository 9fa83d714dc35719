// Processes on Linux: the list from /proc, waits through process file descriptors, and
// the start of programs by the Windows rules for their parameters. Only POSIX code here.
#include "os/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "os/posix/descriptor.h"
#include "os/posix/native_path.h"
#include "os/posix/process_wait.h"
#include "os/posix/system_calls.h"
#include "text/ascii.h"

namespace os {

namespace {

std::string procFile(uint32_t id, const char* name) { return "/proc/" + std::to_string(id) + "/" + name; }

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A zombie has ended; only its parent has not collected it yet. Windows lists no such
// process, and a script asking whether a program still runs means the living ones.
bool hasEnded(uint32_t id) {
    const std::string stat = readSmallFile(procFile(id, "stat"));
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return true;
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X';
}

bool readLink(const std::string& path, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = detail::sys::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The kernel marks the executable of a program that was replaced while it ran. An updater
// meets exactly that program, so it must still be found under its path.
std::string withoutDeletedMark(const std::string& target) {
    static const std::string mark = " (deleted)";
    struct stat info;
    if (target.size() > mark.size() && target.compare(target.size() - mark.size(), mark.size(), mark) == 0 &&
        detail::sys::lstat(target.c_str(), &info) != 0)
        return target.substr(0, target.size() - mark.size());
    return target;
}

class Deadline {
public:
    explicit Deadline(uint32_t limitMs) : forever_(limitMs == WaitForever), end_(nowMs() + limitMs) {}
    bool forever() const { return forever_; }
    long long remainingMs() const {
        const long long left = end_ - nowMs();
        return left > 0 ? left : 0;
    }

private:
    static long long nowMs() {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }
    bool forever_;
    long long end_;
};

int pollTimeout(const Deadline& deadline) {
    if (deadline.forever()) return -1;
    const long long left = deadline.remainingMs();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

bool processGone(uint32_t id) {
    return (detail::sys::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH) || hasEnded(id);
}

WaitOutcome waitOnDescriptor(int fd, uint32_t limitMs, const std::function<void()>& stillWaiting) {
    const Deadline deadline(limitMs);
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        int timeout = pollTimeout(deadline);
        if (stillWaiting && (timeout < 0 || timeout > static_cast<int>(StillWaitingEveryMs)))
            timeout = static_cast<int>(StillWaitingEveryMs);
        const int ready = detail::sys::poll(&entry, 1, timeout);
        if (ready > 0) return WaitOutcome::Ended;
        if (ready < 0 && errno != EINTR) return WaitOutcome::Failed;
        if (ready == 0 && !deadline.forever() && deadline.remainingMs() == 0) return WaitOutcome::TimedOut;
        if (ready == 0 && stillWaiting) stillWaiting();
    }
}

// The parameter text split into arguments as a Windows program's start-up code splits its
// command line, so that a script's PARAM means the same to a program on either build.
std::vector<std::string> splitParameters(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            size_t end = i;
            while (end < text.size() && text[end] == '\\') ++end;
            const size_t count = end - i;
            if (end < text.size() && text[end] == '"') {
                // Backslashes count only before a quote: pairs stand for one each, and an
                // odd one left over makes the quote a literal one.
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    i = end;
                } else {
                    i = end - 1;
                }
            } else {
                current.append(count, '\\');
                i = end - 1;
            }
        } else if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else {
            current += c;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

// Called in the child of a fork, where nothing but async-signal-safe calls may run.
[[noreturn]] void reportAndExit(int pipeFd) {
    const int error = errno;
    ssize_t ignored = write(pipeFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

bool waitForChild(pid_t child, const std::function<void()>& stillWaiting = nullptr) {
    int status = 0;
    pid_t r;
    if (stillWaiting) {
        // Looked at between pauses, so that the wait can tell it still waits.
        const timespec pause{0, static_cast<long>(StillWaitingEveryMs) * 1000000};
        while ((r = detail::sys::waitpid(child, &status, WNOHANG)) == 0 || (r < 0 && errno == EINTR)) {
            if (r == 0) {
                nanosleep(&pause, nullptr);
                stillWaiting();
            }
        }
        return r == child;
    }
    do r = detail::sys::waitpid(child, &status, 0);
    while (r < 0 && errno == EINTR);
    return r == child;
}

}  // namespace

struct ProcessList::Impl {
    DIR* proc = nullptr;
    uint32_t current = 0;
};

ProcessList::ProcessList() : impl_(std::make_unique<Impl>()) { impl_->proc = detail::sys::opendir("/proc"); }

ProcessList::~ProcessList() {
    if (impl_->proc) closedir(impl_->proc);
}

bool ProcessList::ok() const { return impl_->proc != nullptr; }

bool ProcessList::next() {
    if (!impl_->proc) return false;
    // A listing of /proc that fails part-way ends the list where it is: what is running can
    // only be told as far as the system tells it.
    while (const dirent* entry = detail::sys::readdir(impl_->proc)) {
        const char* name = entry->d_name;
        if (*name == '\0' || std::strspn(name, "0123456789") != std::strlen(name)) continue;
        const unsigned long id = std::strtoul(name, nullptr, 10);
        if (hasEnded(static_cast<uint32_t>(id))) continue;
        impl_->current = static_cast<uint32_t>(id);
        return true;
    }
    return false;
}

uint32_t ProcessList::id() const { return impl_->current; }

std::string ProcessList::executable() const {
    std::string target;
    if (readLink(procFile(impl_->current, "exe"), target)) return detail::scriptForm(withoutDeletedMark(target));
    // Kernel threads have no executable, and another user's process may not be looked
    // into: like Windows with a process it cannot open, take the name the system lists.
    std::string name = readSmallFile(procFile(impl_->current, "comm"));
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

uint32_t currentProcessId() { return static_cast<uint32_t>(getpid()); }

bool sameExecutable(const std::string& a, const std::string& b) { return ascii::equalNoCase(a, b); }

namespace detail {

WaitOutcome waitByLooking(uint32_t id, uint32_t limitMs, const std::function<void()>& stillWaiting) {
    if (processGone(id)) return WaitOutcome::NotOpened;
    const Deadline deadline(limitMs);
    long long step = 1;
    for (long long waited = 0;; waited += step) {
        if (processGone(id)) return WaitOutcome::Ended;
        if (!deadline.forever() && deadline.remainingMs() == 0) return WaitOutcome::TimedOut;
        // The pauses, not a clock, count the time to tell: near enough for a progress line.
        if (stillWaiting && waited >= StillWaitingEveryMs) {
            waited = 0;
            stillWaiting();
        }
        const long long pause = deadline.forever() ? step : std::min(step, deadline.remainingMs());
        const timespec delay{static_cast<time_t>(pause / 1000), static_cast<long>(pause % 1000) * 1000000};
        nanosleep(&delay, nullptr);
        step = std::min(step * 2, 50LL);
    }
}

}  // namespace detail

WaitOutcome waitForProcess(uint32_t id, uint32_t limitMs, const std::function<void()>& stillWaiting) {
    detail::Descriptor fd(detail::sys::pidfdOpen(static_cast<pid_t>(id)));
    if (!fd.valid()) return errno == ENOSYS ? detail::waitByLooking(id, limitMs, stillWaiting) : WaitOutcome::NotOpened;
    return waitOnDescriptor(fd.get(), limitMs, stillWaiting);
}

Result startProcess(const std::string& program, const std::string& parameters, const std::string& directory,
                    bool untilEnd, bool /*mayAskForRights: POSIX asks nobody*/,
                    const std::function<void()>& stillWaiting) {
    const auto notStarted = [&program](int error, const char* call) {
        return Result::fail(Operation::Start, program, static_cast<ErrorCode>(error), call);
    };
    const std::string path = detail::nativePath(program);
    const std::string workingDirectory = detail::nativePath(directory);
    std::vector<std::string> arguments = splitParameters(parameters);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The pipe closes by itself when exec succeeds; a child that cannot run the program
    // sends its errno through it instead, so a failure to start is not taken for a
    // program that exits with 127.
    int report[2];
    if (detail::sys::pipe2(report, O_CLOEXEC) != 0) return notStarted(errno, "pipe2");
    // With a standard handle closed the pipe could take its number, and the child's own
    // standard handles would then overwrite it.
    for (int& end : report) {
        if (end > STDERR_FILENO) continue;
        const int moved = detail::sys::fcntl(end, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        const int error = errno;
        (void)close(end);  // a pipe that was only made: nothing to lose
        errno = error;
        end = moved;
    }
    if (report[0] < 0 || report[1] < 0) {
        const int error = errno;
        for (const int end : report)
            if (end >= 0) (void)close(end);  // nothing was written to it
        return notStarted(error, "fcntl");
    }
    const pid_t child = detail::sys::fork();
    if (child < 0) {
        const int error = errno;
        (void)close(report[0]);  // neither end was used
        (void)close(report[1]);  // nor this one
        return notStarted(error, "fork");
    }
    if (child == 0) {
        close(report[0]);
        // A program not waited for is started from a grandchild that nobody waits for
        // either, so that none of ours stays behind unreaped once it ends.
        if (!untilEnd) {
            const pid_t grandchild = fork();
            if (grandchild < 0) reportAndExit(report[1]);
            if (grandchild > 0) _exit(0);
        }
        // Windows hands a started program none of our handles and ties it to nothing of
        // ours: it must not read the answers meant for our boxes, write between them, hold
        // open the pipes of whoever reads our output, or end with our terminal.
        const int nothing = open("/dev/null", O_RDWR);
        if (nothing < 0) reportAndExit(report[1]);
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            if (dup2(nothing, fd) < 0) reportAndExit(report[1]);
        if (nothing > STDERR_FILENO) close(nothing);
        setsid();
        if (chdir(workingDirectory.c_str()) != 0) reportAndExit(report[1]);
        execv(path.c_str(), argv.data());
        reportAndExit(report[1]);
    }
    (void)close(report[1]);  // the child's end; ours is only read
    int error = 0;
    ssize_t n;
    do n = detail::sys::read(report[0], &error, sizeof error);
    while (n < 0 && errno == EINTR);
    const int readError = errno;
    (void)close(report[0]);  // only read from

    if (n != 0) {
        // The program did not start; what its child's end shows is the failure to report,
        // whether or not the child can still be collected.
        (void)waitForChild(child);  // collected if it can be: the failure to start is what counts
        return n > 0 ? notStarted(error, "execv") : notStarted(readError, "read");
    }
    // Without the wait for the end, this only collects the short-lived middle process.
    if (!waitForChild(child, untilEnd ? stillWaiting : nullptr))
        return Result::fail(Operation::Wait, program, static_cast<ErrorCode>(errno), "waitpid");
    return {};
}

}  // namespace os
