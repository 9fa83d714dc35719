// Message boxes and the text encodings around them. The only portable surface for
// anything the user sees; no platform type may appear here.
#pragma once

#include <functional>
#include <string>

namespace os {

// Box styles, with the values the Windows message box takes.
enum BoxStyle : unsigned {
    BoxOk = 0x00,
    BoxYesNo = 0x04,
    BoxIconError = 0x10,
    BoxIconQuestion = 0x20,
    BoxIconWarning = 0x30,
    BoxIconInformation = 0x40,
    BoxDefaultSecond = 0x100,
};

// Answers, with the values the Windows message box returns. 0 means the box failed.
enum BoxAnswer : int { AnswerNone = 0, AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

// Shows a modal box and returns the button chosen. Text and caption are UTF-8.
int showBox(const std::string& text, const std::string& caption, unsigned style);

// The seam for tests: while a handler is set, every box goes to it instead of the screen.
// An empty handler restores the real boxes.
using BoxHandler = std::function<int(const std::string& text, const std::string& caption, unsigned style)>;
void setBoxHandler(BoxHandler handler);

// Message `id` of the program's own catalogue, in UTF-8; empty when there is none.
std::string catalogueText(int id);

}  // namespace os
