// The name matching of a Windows directory search, for the POSIX layer: "*" and "?" with
// the old DOS rules that Windows still applies, ASCII letters compared without case.
#pragma once

#include <string_view>
#include <vector>

namespace os::detail {

// True when `element` holds "*" or "?", so that a search must list a directory.
bool hasWildcards(std::string_view element);

// The last element of a search, rewritten once and then tried on every name of a directory.
class Wildcard {
public:
    explicit Wildcard(std::string_view pattern);
    bool matches(std::string_view name);

private:
    enum class Token : unsigned char { Literal, AnyRun, RunBeforeDot, OneOrNone, DotOrEnd };
    struct Step {
        Token token;
        char literal;
    };
    std::vector<Step> steps_;
    bool everything_ = false;
    std::vector<char> live_, nextLive_;  // kept between names to spare an allocation each
};

}  // namespace os::detail
