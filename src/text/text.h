// Text: the one string type of the updater, and the list syntax of script values
// (fields, words, groups, trimming, formatting, number parsing). Byte-wise throughout.
#pragma once

#include <cstdarg>
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
    bool reserve(unsigned n);  // n zero bytes, to be filled by a platform call
    const char* c_str() const { return content_.c_str(); }
    char* buffer() { return content_.data(); }
    const std::string& str() const { return content_; }
    void compact();  // fit the content to its terminator after reserve
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
    bool differsNoCase(const Text& other) const { return !equalsNoCase(other); }
    bool differsNoCase(const char* s) const { return !equalsNoCase(s); }

    // Byte positions inside the content.
    Text span(int first, int last) const;
    bool replaceSpan(int first, int last, const char* s);
    Text charAt(int i) const { return mid(i, i); }
    Text mid(int i, int j) const;
    bool replaceChar(int i, const char* s) { return replaceMid(i, i, s); }
    bool replaceMid(int i, int j, const char* s);

    // Space-separated words with double-quote grouping.
    int wordCount() const;
    bool findWords(int i, int j, int& first, int& last) const;
    Text word(int i) const { return words(i, i); }
    Text words(int i, int j) const;
    bool replaceWord(int i, const char* s) { return replaceWords(i, i, s); }
    bool replaceWords(int i, int j, const char* s);

    // Fields separated by a delimiter string.
    int fieldCount(const char* delim) const;
    bool findFields(int i, int j, const char* delim, int& first, int& last) const;
    Text field(int i, const char* delim) const { return fields(i, i, delim); }
    Text fields(int i, int j, const char* delim) const;
    bool replaceField(int i, const char* delim, const char* s) { return replaceFields(i, i, delim, s); }
    bool replaceFields(int i, int j, const char* delim, const char* s);

    // Nested groups between an opening and a closing marker.
    int groupCount(const char* open, const char* close) const;
    bool findGroups(int i, int j, const char* open, const char* close, int& first, int& last) const;
    Text group(int i, const char* open, const char* close) const { return groups(i, i, open, close); }
    Text groups(int i, int j, const char* open, const char* close) const;
    bool replaceGroup(int i, const char* open, const char* close, const char* s) {
        return replaceGroups(i, i, open, close, s);
    }
    bool replaceGroups(int i, int j, const char* open, const char* close, const char* s);

    void trim(const char* pattern) { trim(pattern, pattern); }
    void trim(const char* leading, const char* trailing);

    // printf-style; the result is never cut short and never overruns anything.
    void formatV(const char* fmt, va_list args);
    void format(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // Message `id` of the catalogue, formatted with the arguments (in script encoding).
    void loadFormat(int id, ...);

    int toInt() const;
    unsigned toHex() const;

    bool replaceAll(const char* find, const char* s);
    int countOf(const char* find) const;

private:
    std::string content_;
};
