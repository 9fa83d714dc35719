// The progress view: texts cut in the middle to a terminal's columns, never inside a
// character, and no view on Linux where standard error is no terminal (as under the test
// runner).
#include "os/progress_view.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

TEST(ProgressView, TextsAreShortenedInTheMiddleByCharacters) {
    const struct {
        const char* text;
        size_t width;
        const char* shortened;
    } cases[] = {
        {"C:\\app\\file.bin", 20, "C:\\app\\file.bin"},
        {"C:\\app\\file.bin", 15, "C:\\app\\file.bin"},
        {"C:\\app\\file.bin", 9, "C:\\a\xE2\x80\xA6.bin"},
        {"C:\\app\\file.bin", 1, "\xE2\x80\xA6"},
        {"C:\\app\\file.bin", 0, ""},
        // What a terminal would act on, or cannot draw, is drawn as "?": a file name may hold
        // any bytes.
        {"a\x1b[2Jb\rc\xE9.txt", 20, "a?[2Jb?c?.txt"},
        // Wide characters take two columns, and a cut falls between them: five of them (ten
        // columns) in seven columns keep one before the cut and two after it.
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D", 7,
         "\xE6\x97\xA5\xE2\x80\xA6\xE3\x81\xAE\xE5\x90\x8D"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D", 10,
         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D"},
    };
    for (const auto& c : cases) EXPECT_EQ(os::shortenedInTheMiddle(c.text, c.width), c.shortened) << c.text;
}

#ifndef _WIN32
TEST(ProgressView, NoneWhereStandardErrorIsNoTerminal) {
    if (isatty(STDERR_FILENO)) GTEST_SKIP() << "standard error is a terminal here";
    EXPECT_EQ(os::openProgressView("Caption"), nullptr);
}

// Standard error on a pseudo-terminal 40 columns wide: one line, drawn over itself, the file
// cut to what the rest leaves, and cleared when it hides.
TEST(ProgressView, OnATerminalOneLineIsRedrawnInPlaceAndCleared) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    winsize size{};
    size.ws_col = 40;
    size.ws_row = 10;
    ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
    // The terminal's own line handling would turn "\n" into "\r\n"; the view writes none.
    const int savedError = dup(STDERR_FILENO);
    ASSERT_EQ(dup2(terminal, STDERR_FILENO), STDERR_FILENO);
    {
        std::unique_ptr<os::ProgressView> view = os::openProgressView("Caption");
        if (view) {
            view->show({"copying", "\\opt\\application\\data\\files\\file.bin", "3 files", -1});
            view->hide();
        }
        dup2(savedError, STDERR_FILENO);
        close(savedError);
        ASSERT_NE(view, nullptr);
    }
    // 39 columns: "copying 3 files " leaves 23 for the file, 11 on each side of the cut.
    const std::string expected = "\rcopying 3 files \\opt\\applic\xE2\x80\xA6" "es\\file.bin\x1b[K\r\x1b[K";
    // The terminal hands the bytes on in its own time: read until all are there, or 5 s.
    std::string got;
    pollfd ready{master, POLLIN, 0};
    while (got.size() < expected.size() && poll(&ready, 1, 5000) == 1) {
        char buffer[512];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    close(terminal);
    close(master);
    EXPECT_EQ(got, expected);
}
#endif

}  // namespace
