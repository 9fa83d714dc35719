// The portable half of the dialog: the test seam in front of the platform's boxes.
#include "os/dialog.h"

#include "os/dialog_platform.h"

namespace os {

namespace {
BoxHandler& handler() {
    static BoxHandler current;
    return current;
}
}  // namespace

void setBoxHandler(BoxHandler newHandler) { handler() = std::move(newHandler); }

int showBox(const std::string& text, const std::string& caption, unsigned style) {
    if (handler()) return handler()(text, caption, style);
    return detail::showPlatformBox(text, caption, style);
}

}  // namespace os
