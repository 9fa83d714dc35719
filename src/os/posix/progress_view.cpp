// The progress view on Linux: one line on the terminal of standard error, redrawn in place
// and cleared when it hides. Nothing where standard error is a file or a pipe: a log there
// must not fill with redrawn lines. Only POSIX code belongs here.
#include <sys/ioctl.h>
#include <unistd.h>

#include "os/posix/system_calls.h"
#include "os/progress_view.h"

namespace os {

namespace {

class TerminalLine : public ProgressView {
public:
    void show(const ProgressLines& lines) override {
        std::string line = lines.action;
        if (lines.percent >= 0) line += " " + std::to_string(lines.percent) + "%";
        if (!lines.amounts.empty()) line += " " + lines.amounts;
        // The file takes what the rest leaves of the terminal's width, less the last column,
        // where a terminal would wrap.
        const size_t terminal = columns();
        const size_t width = terminal > 1 ? terminal - 1 : 0;
        const size_t taken = columnsOf(line) + 1;
        if (!lines.item.empty() && width > taken) line += " " + shortenedInTheMiddle(lines.item, width - taken);
        draw("\r" + shortenedInTheMiddle(line, width) + "\x1b[K");
        shown_ = true;
    }

    void hide() override {
        if (shown_) draw("\r\x1b[K");
        shown_ = false;
    }

    ~TerminalLine() override { hide(); }

private:
    static size_t columns() {
        winsize size{};
        if (detail::sys::ioctlWindowSize(STDERR_FILENO, &size) != 0 || size.ws_col == 0) return 80;
        return size.ws_col;
    }

    static void draw(const std::string& text) {
        (void)detail::sys::write(STDERR_FILENO, text.data(), text.size());  // a line less; the work goes on
    }

    bool shown_ = false;
};

}  // namespace

std::unique_ptr<ProgressView> openProgressView(const std::string&) {
    if (!detail::sys::isTerminal(STDERR_FILENO)) return nullptr;
    return std::make_unique<TerminalLine>();
}

}  // namespace os
