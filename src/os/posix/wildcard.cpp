// Wildcard matching as Windows does it for a directory search. Windows rewrites the pattern
// before it matches: "?" may also match nothing where the name has a dot or has ended; a "*"
// just before a dot may not swallow the name's last dot; a dot before "*", "?" or the
// pattern's end may also match the end of the name. Those three rules are why "*.*" lists
// names without a dot, "*." lists only them, and "a?.txt" finds "a.txt". Only POSIX code
// belongs here.
#include "os/posix/wildcard.h"

#include <algorithm>

#include "text/ascii.h"

namespace os::detail {

bool hasWildcards(std::string_view element) { return element.find_first_of("*?") != std::string_view::npos; }

Wildcard::Wildcard(std::string_view pattern) {
    // What every walk asks for, answered without running the pattern.
    everything_ = pattern == "*" || pattern == "*.*";
    steps_.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const char after = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '?')
            steps_.push_back({Token::OneOrNone, 0});
        else if (c == '*')
            steps_.push_back({after == '.' ? Token::RunBeforeDot : Token::AnyRun, 0});
        else if (c == '.' && (after == '*' || after == '?' || i + 1 == pattern.size()))
            steps_.push_back({Token::DotOrEnd, 0});
        else
            steps_.push_back({Token::Literal, ascii::upper(c)});
    }
    live_.resize(steps_.size() + 1);
    nextLive_.resize(steps_.size() + 1);
}

// Runs the pattern as a set of live positions over the name, one name byte at a time, so
// that a pattern of many stars costs name length times pattern length, never more.
bool Wildcard::matches(std::string_view name) {
    if (everything_) return true;
    const size_t lastDot = name.rfind('.');
    std::fill(live_.begin(), live_.end(), 0);
    live_[0] = 1;

    for (size_t at = 0;; ++at) {
        const bool ended = at == name.size();
        const char c = ended ? '\0' : name[at];
        // Steps that can match nothing here let the following step start at the same byte.
        for (size_t s = 0; s < steps_.size(); ++s) {
            if (!live_[s]) continue;
            const Token t = steps_[s].token;
            const bool empty = t == Token::AnyRun || t == Token::RunBeforeDot ||
                               (t == Token::OneOrNone && (ended || c == '.')) || (t == Token::DotOrEnd && ended);
            if (empty) live_[s + 1] = 1;
        }
        if (ended) return live_[steps_.size()] != 0;

        std::fill(nextLive_.begin(), nextLive_.end(), 0);
        for (size_t s = 0; s < steps_.size(); ++s) {
            if (!live_[s]) continue;
            const Step& step = steps_[s];
            switch (step.token) {
                case Token::AnyRun:
                    nextLive_[s] = 1;
                    break;
                case Token::RunBeforeDot:
                    if (at != lastDot) nextLive_[s] = 1;
                    break;
                case Token::OneOrNone:
                    if (c != '.') nextLive_[s + 1] = 1;
                    break;
                case Token::DotOrEnd:
                    if (c == '.') nextLive_[s + 1] = 1;
                    break;
                case Token::Literal:
                    if (ascii::upper(c) == step.literal) nextLive_[s + 1] = 1;
                    break;
            }
        }
        live_.swap(nextLive_);
    }
}

}  // namespace os::detail
