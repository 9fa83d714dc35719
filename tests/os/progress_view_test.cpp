// The progress view: texts cut in the middle to a terminal's columns, never inside a
// character, and no view on Linux where standard error is no terminal (as under the test
// runner).
#include "os/progress_view.h"

#include <gtest/gtest.h>

#include <unistd.h>

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
#endif

}  // namespace
