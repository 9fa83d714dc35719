// Text: storage, the item families (words, fields, groups) with their index rules,
// trimming, formatting and number parsing. Byte-wise; nothing here knows the platform.
#include "text/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "text/ascii.h"

namespace {

// What every operation sees: a text ends at its first zero byte, as every text a script or
// the platform hands over does.
std::string_view visible(const std::string& s) { return std::string_view(s.c_str()); }

std::string_view argument(const char* s) { return s ? std::string_view(s) : std::string_view(); }


struct Separator {
    int pos;
    int len;
};

struct Span {
    int first;
    int last;
};

std::vector<Separator> fieldSeparators(std::string_view text, std::string_view delim) {
    std::vector<Separator> seps;
    if (delim.empty()) return seps;  // an empty delimiter would match everywhere and never advance
    for (size_t p = text.find(delim); p != std::string_view::npos; p = text.find(delim, p + delim.size())) {
        seps.push_back({static_cast<int>(p), static_cast<int>(delim.size())});
    }
    return seps;
}

// A quoted word keeps its spaces until one follows a double quote; the opening quote itself
// counts, so «" x» ends the quoted word right after the quote.
std::vector<Separator> wordSeparators(std::string_view text) {
    std::vector<Separator> seps;
    bool quoted = !text.empty() && text[0] == '"';
    for (size_t p = 0; p < text.size(); ++p) {
        if (text[p] != ' ') continue;
        if (quoted && text[p - 1] != '"') continue;
        seps.push_back({static_cast<int>(p), 1});
        quoted = p + 1 < text.size() && text[p + 1] == '"';
    }
    return seps;
}

int itemCount(std::string_view text, const std::vector<Separator>& seps) {
    return text.empty() ? 0 : static_cast<int>(seps.size()) + 1;
}

// Negative indices count from the end; with no items there is nothing to count from.
bool adjustIndices(int count, int& i, int& j) {
    if (i >= 0 && j >= 0) return true;
    if (count == 0) return false;
    if (i < 0) i += count;
    if (j < 0) j += count;
    return true;
}

// The scan stops at the end of item j, so a start beyond the end (or one still negative)
// is never reached, and an end still negative stops at the end of item 0.
std::optional<Span> locateItems(std::string_view text, const std::vector<Separator>& seps, int i, int j) {
    bool found = i == 0;
    Span span{0, static_cast<int>(text.size()) - 1};
    for (size_t k = 0; k < seps.size(); ++k) {
        const int index = static_cast<int>(k);
        if (index >= j) {
            span.last = seps[k].pos - 1;
            break;
        }
        if (index + 1 == i) {
            span.first = seps[k].pos + seps[k].len;
            found = true;
        }
    }
    if (!found) return std::nullopt;
    return span;
}

std::optional<Span> locateSeparated(std::string_view text, const std::vector<Separator>& seps, int i, int j) {
    if (!adjustIndices(itemCount(text, seps), i, j)) return std::nullopt;
    return locateItems(text, seps, i, j);
}

// Walks the markers of nested groups. Each step takes the next opening marker if it comes
// before the next closing one, else the closing one; with no closing marker left the walk
// ends, so an opening marker without a partner never starts a group.
class GroupScan {
public:
    GroupScan(std::string_view text, std::string_view open, std::string_view close)
        : text_(text), open_(open), close_(close) {}

    enum class Event { End, GroupOpened, GroupClosed, Other };

    Event next() {
        if (open_.empty() || close_.empty()) return Event::End;
        const size_t c = nextOf(close_, nextClose_);
        if (c == std::string_view::npos) return Event::End;
        const size_t o = nextOf(open_, nextOpen_);
        if (o != std::string_view::npos && o < c) {
            markerPos_ = o;
            pos_ = o + open_.size();
            // Below depth 0 an opening marker only pays back a stray closing one.
            return depth_++ == 0 ? Event::GroupOpened : Event::Other;
        }
        markerPos_ = c;
        pos_ = c + close_.size();
        return --depth_ == 0 ? Event::GroupClosed : Event::Other;
    }

    int markerFirst() const { return static_cast<int>(markerPos_); }
    int markerLast() const { return static_cast<int>(pos_) - 1; }

private:
    // Remembers the last hit so that long runs of one marker do not rescan the text.
    size_t nextOf(std::string_view marker, size_t& cached) {
        if (cached == std::string_view::npos) return cached;
        if (cached == kUnknown || cached < pos_) cached = text_.find(marker, pos_);
        return cached;
    }

    static constexpr size_t kUnknown = std::string_view::npos - 1;

    std::string_view text_;
    std::string_view open_;
    std::string_view close_;
    size_t pos_ = 0;
    size_t markerPos_ = 0;
    int depth_ = 0;
    size_t nextOpen_ = kUnknown;
    size_t nextClose_ = kUnknown;
};

int countGroups(std::string_view text, std::string_view open, std::string_view close) {
    GroupScan scan(text, open, close);
    int count = 0;
    for (auto e = scan.next(); e != GroupScan::Event::End; e = scan.next()) {
        if (e == GroupScan::Event::GroupClosed) ++count;
    }
    return count;
}

std::optional<Span> locateGroups(std::string_view text, std::string_view open, std::string_view close, int i,
                                 int j) {
    if (i < 0 || j < 0) {
        if (!adjustIndices(countGroups(text, open, close), i, j)) return std::nullopt;
    }
    // Unlike words and fields, group 0 is not known before the scan, so an end index that
    // is still negative cannot end anywhere.
    if (j < 0) return std::nullopt;
    GroupScan scan(text, open, close);
    bool found = false;
    Span span{0, static_cast<int>(text.size()) - 1};
    int index = 0;
    for (auto e = scan.next(); e != GroupScan::Event::End; e = scan.next()) {
        if (e == GroupScan::Event::GroupOpened && index == i) {
            span.first = scan.markerFirst();
            found = true;
        } else if (e == GroupScan::Event::GroupClosed) {
            if (index == j) {
                span.last = scan.markerLast();
                break;
            }
            ++index;
        }
    }
    if (!found) return std::nullopt;
    return span;
}

bool isDecimal(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

Text::Text(const char* s) : content_(argument(s)) {}

int Text::length() const { return static_cast<int>(std::strlen(content_.c_str())); }

Text& Text::assign(const Text& other) { return assign(other.c_str()); }

Text& Text::assign(const char* s) {
    try {
        content_ = std::string(argument(s));
    } catch (const std::bad_alloc&) {
        // Callers do not look further; the old content is still a valid text.
    }
    return *this;
}

Text& Text::append(const Text& other) { return append(other.c_str()); }

Text& Text::append(const char* s) {
    try {
        // Built aside, so that appending a text to itself reads the old content intact.
        const std::string_view head = visible(content_);
        const std::string_view tail = argument(s);
        std::string joined;
        joined.reserve(head.size() + tail.size());
        joined.append(head).append(tail);
        content_ = std::move(joined);
    } catch (const std::bad_alloc&) {
    }
    return *this;
}

Text Text::concat(const Text& other) const { return concat(other.c_str()); }

Text Text::concat(const char* s) const {
    Text joined(*this);
    joined.append(s);
    return joined;
}

void Text::assignText(const char* s) { assign(s); }

bool Text::equalsNoCase(const Text& other) const { return equalsNoCase(other.c_str()); }

bool Text::equalsNoCase(const char* s) const { return ascii::equalNoCase(visible(content_), argument(s)); }

Text Text::span(int first, int last) const {
    const std::string_view text = visible(content_);
    if (first < 0) first = 0;
    if (last >= static_cast<int>(text.size())) last = static_cast<int>(text.size()) - 1;
    if (last < first) return Text();
    return Text(std::string(text.substr(static_cast<size_t>(first), static_cast<size_t>(last - first) + 1)));
}

bool Text::replaceSpan(int first, int last, const char* s) {
    const std::string_view text = visible(content_);
    const long long size = static_cast<long long>(text.size());
    const long long head = std::clamp<long long>(first, 0, size);
    // A span that ends before it begins removes nothing: s goes in before first.
    const long long tail = std::clamp<long long>(static_cast<long long>(last) + 1, head, size);
    std::string result;
    result.append(text.substr(0, static_cast<size_t>(head)));
    result.append(argument(s));
    result.append(text.substr(static_cast<size_t>(tail)));
    content_ = std::move(result);
    return true;
}

int Text::wordCount() const {
    const std::string_view text = visible(content_);
    return itemCount(text, wordSeparators(text));
}

Text Text::words(int i, int j) const {
    const std::string_view text = visible(content_);
    const auto found = locateSeparated(text, wordSeparators(text), i, j);
    return found ? span(found->first, found->last) : Text();
}

bool Text::replaceWords(int i, int j, const char* s) {
    const std::string_view text = visible(content_);
    const auto found = locateSeparated(text, wordSeparators(text), i, j);
    return found && replaceSpan(found->first, found->last, s);
}

int Text::fieldCount(const char* delim) const {
    const std::string_view text = visible(content_);
    return itemCount(text, fieldSeparators(text, argument(delim)));
}

Text Text::fields(int i, int j, const char* delim) const {
    const std::string_view text = visible(content_);
    const auto found = locateSeparated(text, fieldSeparators(text, argument(delim)), i, j);
    return found ? span(found->first, found->last) : Text();
}

bool Text::replaceFields(int i, int j, const char* delim, const char* s) {
    const std::string_view text = visible(content_);
    const auto found = locateSeparated(text, fieldSeparators(text, argument(delim)), i, j);
    return found && replaceSpan(found->first, found->last, s);
}

int Text::groupCount(const char* open, const char* close) const {
    return countGroups(visible(content_), argument(open), argument(close));
}

Text Text::groups(int i, int j, const char* open, const char* close) const {
    const auto found = locateGroups(visible(content_), argument(open), argument(close), i, j);
    return found ? span(found->first, found->last) : Text();
}

bool Text::replaceGroups(int i, int j, const char* open, const char* close, const char* s) {
    const auto found = locateGroups(visible(content_), argument(open), argument(close), i, j);
    return found && replaceSpan(found->first, found->last, s);
}

void Text::trim(const char* leading, const char* trailing) {
    const std::string_view text = visible(content_);
    const std::string_view lead = argument(leading);
    const std::string_view trail = argument(trailing);
    size_t start = 0;
    size_t end = text.size();
    if (!lead.empty()) {
        while (end - start >= lead.size() && ascii::equalNoCase(text.substr(start, lead.size()), lead)) start += lead.size();
    }
    if (!trail.empty()) {
        while (end - start >= trail.size() && ascii::equalNoCase(text.substr(end - trail.size(), trail.size()), trail)) {
            end -= trail.size();
        }
    }
    if (start == 0 && end == text.size()) return;
    content_ = std::string(text.substr(start, end - start));
}

void Text::format(const char* fmt, ...) {
    // Measured first, then written at exactly that size: no work area to overflow or cut.
    va_list args;
    va_start(args, fmt);
    va_list probe;
    va_copy(probe, args);
    const int needed = fmt ? std::vsnprintf(nullptr, 0, fmt, probe) : 0;
    va_end(probe);
    // Written aside: an argument may point into this text.
    std::string out;
    if (needed > 0) {
        try {
            out.assign(static_cast<size_t>(needed) + 1, '\0');
            std::vsnprintf(out.data(), out.size(), fmt, args);
            out.resize(static_cast<size_t>(needed));
        } catch (const std::bad_alloc&) {
            out.clear();
        }
    }
    va_end(args);
    content_ = std::move(out);
}

namespace {
// Where the digits of a number start in `text`, past blanks and a sign; npos when none does.
size_t numberStart(std::string_view text) {
    size_t p = 0;
    while (p < text.size() && isScanSpace(text[p])) ++p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    return p < text.size() && isDecimal(text[p]) ? p : std::string_view::npos;
}
}  // namespace

bool Text::startsWithNumber() const { return numberStart(visible(content_)) != std::string_view::npos; }

int Text::toInt() const {
    const std::string_view text = visible(content_);
    size_t p = numberStart(text);
    if (p == std::string_view::npos) return 0;
    const bool negative = p > 0 && text[p - 1] == '-';
    // Unsigned arithmetic wraps where a signed overflow would be undefined; the low 32 bits
    // are what the scanf of both platforms leaves for an out-of-range number.
    unsigned value = 0;
    for (; p < text.size() && isDecimal(text[p]); ++p) value = value * 10u + static_cast<unsigned>(text[p] - '0');
    return static_cast<int>(negative ? 0u - value : value);
}

unsigned Text::toHex() const {
    const std::string_view text = visible(content_);
    if (text.size() < 3 || text[0] != '0' || text[1] != 'x' || hexValue(text[2]) < 0) return 0;
    unsigned value = 0;
    for (size_t p = 2; p < text.size() && hexValue(text[p]) >= 0; ++p) {
        value = value * 16u + static_cast<unsigned>(hexValue(text[p]));
    }
    return value;
}

bool Text::replaceAll(const char* find, const char* s) {
    // The work is done on a copy, so arguments pointing into this text stay valid throughout.
    const std::string_view needle = argument(find);
    const std::string_view replacement = argument(s);
    if (needle.empty()) return false;
    // Searching again from the start would never end when the replacement holds the
    // needle, so then the search resumes after the inserted text. Otherwise it backs up
    // only as far as a new occurrence could reach: nothing before that can match, because
    // the head is unchanged and held no occurrence, so the result equals a fresh search.
    const bool feedsItself = replacement.find(needle) != std::string_view::npos;
    std::string text(visible(content_));
    bool replaced = false;
    size_t from = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, from)) {
        text.replace(at, needle.size(), replacement);
        replaced = true;
        from = feedsItself ? at + replacement.size() : (at >= needle.size() - 1 ? at - (needle.size() - 1) : 0);
    }
    if (replaced) content_ = std::move(text);
    return replaced;
}

int Text::countOf(const char* find) const {
    const std::string_view text = visible(content_);
    const std::string_view needle = argument(find);
    if (needle.empty()) return 0;
    int count = 0;
    for (size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}
