// Keeps the updater's boxes as data while the checker runs the updater's own reading code:
// nothing is shown, and each text is matched afterwards with the message it stands for.
#pragma once

#include <string>
#include <vector>

class MessageCapture {
public:
    MessageCapture();   // from now on every box is kept, none is shown
    ~MessageCapture();  // boxes go to the screen again
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    // The texts kept since the last call, oldest first.
    std::vector<std::string> take();

private:
    std::vector<std::string> texts_;
};

// The number of the catalogue message that `text` is a filled-in copy of; 0 when none.
int messageNumberOf(const std::string& text);
