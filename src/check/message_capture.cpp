// The box seam turned into a recorder, and catalogue messages told apart by their fixed start.
#include "check/message_capture.h"

#include "os/dialog.h"

MessageCapture::MessageCapture() {
    os::setBoxHandler([this](const std::string& text, const std::string&, unsigned) {
        texts_.push_back(text);
        // OK ends every box a loader can show; a Yes/No box would take its default from none.
        return static_cast<int>(os::AnswerOk);
    });
}

MessageCapture::~MessageCapture() { os::setBoxHandler({}); }

std::vector<std::string> MessageCapture::take() {
    std::vector<std::string> out;
    out.swap(texts_);
    return out;
}

int messageNumberOf(const std::string& text) {
    // The catalogue's numbers run from 1 to 15 with gaps; a text is known by what its message
    // says before the first argument, which no two messages share.
    for (int id = 1; id <= 15; ++id) {
        const std::string pattern = os::catalogueText(id);
        const std::string fixed = pattern.substr(0, pattern.find('%'));
        if (!fixed.empty() && text.compare(0, fixed.size(), fixed) == 0) return id;
    }
    return 0;
}
