// Text: the one string type of the updater, and the list syntax of script values
// (fields, words, groups, trimming, formatting, number parsing). Byte-wise throughout.
#pragma once

#include <string>

class Text {
public:
    Text() = default;
    Text(const char* s);  // NOLINT(google-explicit-constructor): script literals convert freely
    explicit Text(std::string s) : content_(std::move(s)) {}
    Text(const Text&) = default;
    Text(Text&&) noexcept = default;
    Text& operator=(const Text&) = default;
    Text& operator=(Text&&) noexcept = default;
    ~Text() = default;

    // Storage.
    const char* c_str() const { return content_.c_str(); }
    const std::string& str() const { return content_; }
    int length() const;
    bool empty() const { return length() == 0; }

    Text& assign(const Text& other);
    Text& assign(const char* s);
    Text& append(const Text& other);
    Text& append(const char* s);
    Text concat(const Text& other) const;
    Text concat(const char* s) const;
    void assignText(const char* s);

    bool equalsNoCase(const Text& other) const;
    bool equalsNoCase(const char* s) const;

    // Byte positions inside the content.
    Text span(int first, int last) const;
    bool replaceSpan(int first, int last, const char* s);

    // Space-separated words with double-quote grouping.
    int wordCount() const;
    Text word(int i) const { return words(i, i); }
    Text words(int i, int j) const;
    bool replaceWord(int i, const char* s) { return replaceWords(i, i, s); }
    bool replaceWords(int i, int j, const char* s);

    // Fields separated by a delimiter string.
    int fieldCount(const char* delim) const;
    Text field(int i, const char* delim) const { return fields(i, i, delim); }
    Text fields(int i, int j, const char* delim) const;
    bool replaceField(int i, const char* delim, const char* s) { return replaceFields(i, i, delim, s); }
    bool replaceFields(int i, int j, const char* delim, const char* s);

    // Nested groups between an opening and a closing marker.
    int groupCount(const char* open, const char* close) const;
    Text group(int i, const char* open, const char* close) const { return groups(i, i, open, close); }
    Text groups(int i, int j, const char* open, const char* close) const;
    bool replaceGroup(int i, const char* open, const char* close, const char* s) {
        return replaceGroups(i, i, open, close, s);
    }
    bool replaceGroups(int i, int j, const char* open, const char* close, const char* s);

    void trim(const char* pattern) { trim(pattern, pattern); }
    void trim(const char* leading, const char* trailing);

    // printf-style; the result is never cut short and never overruns anything.
    void format(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    int toInt() const;
    // Whether toInt finds a number here rather than reading 0 for want of one.
    bool startsWithNumber() const;
    unsigned toHex() const;

    bool replaceAll(const char* find, const char* s);
    int countOf(const char* find) const;

private:
    std::string content_;
};
