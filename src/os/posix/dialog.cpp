// Boxes on a terminal: each box goes to standard error, and a Yes/No box reads its answer
// as one line from standard input. Only POSIX code belongs here.
#include <cstdio>
#include <iostream>
#include <string>

#include "os/dialog.h"

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

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}
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
        const std::string answer = lowered(line);
        if (answer.empty()) return fallback;
        if (answer == "y" || answer == "yes") return AnswerYes;
        if (answer == "n" || answer == "no") return AnswerNo;
        std::cerr << "Please answer y or n." << std::endl;
    }
    return fallback;
}
}  // namespace detail

std::string scriptToUtf8(const std::string& scriptText) { return scriptText; }

std::string catalogueText(int id) {
    for (const CatalogueEntry& entry : catalogue)
        if (entry.id == id) return entry.text;
    return {};
}

// Same 255-byte limit as a string load into a 256-byte area.
std::string catalogueScriptText(int id) { return catalogueText(id).substr(0, 255); }

}  // namespace os
