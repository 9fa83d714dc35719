// Boxes on a terminal: each box goes to standard error, and a Yes/No box reads its answer
// as one line from standard input. Only POSIX code belongs here.
#include <cstdio>
#include <iostream>
#include <string>

#include "os/dialog.h"
#include "os/dialog_platform.h"
#include "text/ascii.h"

namespace os {
namespace {
struct CatalogueEntry {
    int id;
    const char* text;
};

constexpr CatalogueEntry catalogue[] = {
#define MESSAGE(id, text) {id, text},
#include "resources/messages.def"
#undef MESSAGE
};

}  // namespace

namespace detail {
int showPlatformBox(const std::string& text, const std::string& caption, unsigned style) {
    const bool yesNo = (style & 0x0F) == BoxYesNo;
    const bool defaultNo = (style & BoxDefaultSecond) != 0;
    std::cerr << '[' << caption << "]\n" << text << '\n';
    if (!yesNo) {
        std::cerr << "(OK)" << std::endl;
        return AnswerOk;
    }
    std::cerr << (defaultNo ? "(Yes/No, default No)" : "(Yes/No, default Yes)") << std::endl;
    const int fallback = defaultNo ? AnswerNo : AnswerYes;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string answer = ascii::lowerCase(line);
        if (answer.empty()) return fallback;
        if (answer == "y" || answer == "yes") return AnswerYes;
        if (answer == "n" || answer == "no") return AnswerNo;
        std::cerr << "Please answer y or n." << std::endl;
    }
    return fallback;
}
}  // namespace detail

std::string catalogueText(int id) {
    for (const CatalogueEntry& entry : catalogue)
        if (entry.id == id) return entry.text;
    return {};
}

}  // namespace os
