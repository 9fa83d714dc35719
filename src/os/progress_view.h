// What shows a long command's progress to the user: a window on Windows, one line redrawn in
// place on a Linux terminal. The run decides what it says and when; the view only draws it.
// No platform type here.
#pragma once

#include <memory>
#include <string>

namespace os {

// The lines of one drawing, in UTF-8.
struct ProgressLines {
    std::string action;   // what is being done ("copying")
    std::string item;     // the file at hand, whole: the view shortens it to fit
    std::string amounts;  // done and whole, and the time left where it is known
    int percent = -1;     // 0 to 100; -1 where no whole is known
};

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void show(const ProgressLines& lines) = 0;
    // Takes the drawing away; the next show brings it back.
    virtual void hide() = 0;
    // Whether the drawing stays when a command ends, to be drawn on by the next at once: a
    // window does, until a box or the run's end; a terminal line goes, as output may follow.
    virtual bool keptBetweenCommands() const { return false; }
    // Whether the user pressed Cancel since this was last asked; a view without one: never.
    virtual bool cancelPressed() { return false; }
};

// The view this process can show under `caption`, or none where it can show nothing: on Linux
// when standard error is no terminal.
std::unique_ptr<ProgressView> openProgressView(const std::string& caption);

// The columns `text` takes on a terminal, drawn as shortenedInTheMiddle draws it: two for an
// East Asian wide character.
size_t columnsOf(const std::string& text);

// `text` as a terminal line may draw it: bytes that are not UTF-8 and control characters
// as "?", and cut to `width` columns by taking out its middle, where a path's least telling
// part is ("C:\Program Files\…\data\file.bin"); never inside a character.
std::string shortenedInTheMiddle(const std::string& text, size_t width);

}  // namespace os
