// Text: the item families and their index rules, trimming, numbers, formatting, replacement,
// storage after a platform fill, and arguments that point into the text itself.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "text/text.h"

namespace {

std::string s(const Text& t) { return t.c_str(); }

// `replaced` is the whole text after replacing the same items by "R"; null when nothing
// is located, so the replacement must fail and leave the text alone.
struct ItemCase {
    const char* text;
    int i, j;
    const char *extracted, *replaced;
};

template <class Extract, class Replace>
void checkItems(const ItemCase& c, Extract extract, Replace replace) {
    const std::string where = std::string(c.text) + " " + std::to_string(c.i) + ".." + std::to_string(c.j);
    EXPECT_EQ(s(extract(Text(c.text))), c.extracted) << where;
    Text t(c.text);
    EXPECT_EQ(replace(t), c.replaced != nullptr) << where;
    EXPECT_EQ(t.str(), c.replaced ? c.replaced : c.text) << where;
}

TEST(Text, StorageSeesContentUpToFirstZero) {
    EXPECT_TRUE(Text(std::string(260, '\0')).empty());
    EXPECT_EQ(Text(std::string(260, '\0')).fieldCount(","), 0);
    Text t(std::string("C:\\dir\\upd.exe\0old tail", 24));
    EXPECT_EQ(t.length(), 14);
    EXPECT_EQ(t.fieldCount("\\"), 3);
    EXPECT_EQ(s(t.concat(".bak")), "C:\\dir\\upd.exe.bak");
    ASSERT_TRUE(t.replaceFields(-1, -1, ".", "ini"));
    EXPECT_EQ(t.str(), "C:\\dir\\upd.ini");
    Text a("ab");
    Text c = a.concat(Text(a).append("c"));
    EXPECT_EQ(s(a), "ab");
    EXPECT_EQ(s(c), "ababc");
    c.assignText("");
    EXPECT_TRUE(c.empty());
}

TEST(Text, EqualsNoCaseFoldsOnlyAsciiLetters) {
    struct Case {
        const char *a, *b;
        bool equal;
    } const cases[] = {
        {"?App", "?app", true}, {"?App", "?App ", false}, {"", "", true},
        {"[", "{", false},      {"@", "`", false},        {"\xC4", "\xE4", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(c.a).equalsNoCase(c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(Text(c.a).equalsNoCase(Text(c.b)), c.equal) << c.a << " / " << c.b;
    }
}

TEST(Text, Fields) {
    struct Case {
        const char* delim;
        int count;
        ItemCase item;
    } const cases[] = {
        {",", 0, {"", 0, 0, "", "R"}},
        {",", 0, {"", -1, -1, "", nullptr}},
        {",", 3, {"a,,b", 1, 1, "", "a,R,b"}},
        {",", 3, {"a,,b", 2, 2, "b", "a,,R"}},
        {",", 3, {"a,,b", 3, 3, "", nullptr}},
        {",", 3, {"a,,b", -1, -1, "b", "a,,R"}},
        {",", 3, {"a,,b", -4, -4, "", nullptr}},
        {",", 2, {",a", 0, 0, "", "R,a"}},
        {",", 2, {"a,", 0, 0, "a", "R,"}},
        {",", 2, {"a,", 1, 1, "", "a,R"}},
        {",", 3, {"a,b,c", 0, 1, "a,b", "R,c"}},
        {",", 3, {"a,b,c", 1, 9, "b,c", "a,R"}},
        {",", 3, {"a,b,c", 2, 1, "", nullptr}},
        {",", 3, {"a,b,c", 0, -9, "a", "R,b,c"}},
        {",", 3, {"a,b,c", 1, -9, "", nullptr}},
        {",", 3, {"a,b,c", -9, 1, "", nullptr}},
        {"::", 2, {"a:::b", 1, 1, ":b", "a::R"}},
        {"x", 2, {"aXbxc", 0, 0, "aXb", "Rxc"}},
        {"", 1, {"abc", 0, 0, "abc", "R"}},
        {"\\", 2, {"\x95\x5C\x8E", 0, 0, "\x95", "R\\\x8E"}},
        {"\\", 3, {"C:\\dir\\upd.exe", 0, -2, "C:\\dir", "R\\upd.exe"}},
        {"\\", 1, {"upd.exe", 0, -2, "upd.exe", "R"}},
        {".", 2, {"C:\\a.b\\upd", -1, -1, "b\\upd", "C:\\a.R"}},
        {".", 1, {"C:\\dir\\upd", -1, -1, "C:\\dir\\upd", "R"}},
    };
    for (const auto& c : cases) {
        const ItemCase& k = c.item;
        EXPECT_EQ(Text(k.text).fieldCount(c.delim), c.count) << k.text;
        checkItems(
            k, [&](const Text& t) { return t.fields(k.i, k.j, c.delim); },
            [&](Text& t) { return t.replaceFields(k.i, k.j, c.delim, "R"); });
    }
}

TEST(Text, Words) {
    const char* quoted = "\"C:\\My Dir\\x.ini\" /q";
    struct Case {
        int count;
        ItemCase item;
    } const cases[] = {
        {0, {"", 0, 0, "", "R"}},
        {2, {quoted, 0, 0, "\"C:\\My Dir\\x.ini\"", "R /q"}},
        {2, {quoted, -1, -1, "/q", "\"C:\\My Dir\\x.ini\" R"}},
        {2, {quoted, 2, 2, "", nullptr}},
        {3, {"a  b", 1, 1, "", "a R b"}},
        {2, {"a\tb c", 0, 0, "a\tb", "R c"}},
        {1, {"\"\"", 0, 0, "\"\"", "R"}},
        {1, {"\"a b", 0, 0, "\"a b", "R"}},
        {3, {"x \"a b\" y", 1, 1, "\"a b\"", "x R y"}},
        {2, {"\"a\"b c\" d", 0, 0, "\"a\"b c\"", "R d"}},
        {2, {"a\" b", 0, 0, "a\"", "R b"}},
        {2, {"\" x", 0, 0, "\"", "R x"}},
        {3, {"a b c", 1, 9, "b c", "a R"}},
        {3, {"a b c", -2, -1, "b c", "a R"}},
        {3, {"a b c", 0, -9, "a", "R b c"}},
        {3, {"a b c", 2, 1, "", nullptr}},
    };
    for (const auto& c : cases) {
        const ItemCase& k = c.item;
        EXPECT_EQ(Text(k.text).wordCount(), c.count) << k.text;
        checkItems(
            k, [&](const Text& t) { return t.words(k.i, k.j); },
            [&](Text& t) { return t.replaceWords(k.i, k.j, "R"); });
    }
}

TEST(Text, Groups) {
    struct Case {
        const char *open, *close;
        int count;
        ItemCase item;
    } const cases[] = {
        {"{", "}", 2, {"x{a{b}c}y{d}", 0, 0, "{a{b}c}", "xRy{d}"}},
        {"{", "}", 2, {"x{a{b}c}y{d}", 1, 1, "{d}", "x{a{b}c}yR"}},
        {"{", "}", 2, {"x{a{b}c}y{d}", 2, 2, "", nullptr}},
        {"{", "}", 2, {"x{a{b}c}y{d}", -2, -2, "{a{b}c}", "xRy{d}"}},
        {"{", "}", 2, {"x{a{b}c}y{d}", -3, -3, "", nullptr}},
        {"{", "}", 2, {"x{a}y{b}z", 0, 5, "{a}y{b}z", "xR"}},
        {"{", "}", 2, {"x{a}y{b}z", 1, 0, "", nullptr}},
        {"{", "}", 1, {"x{a}y", 0, -5, "", nullptr}},
        {"{", "}", 1, {"x{a}y", -5, 0, "", nullptr}},
        {"{", "}", 0, {"a{b", 0, 0, "", nullptr}},
        {"{", "}", 1, {"{a}{b", 1, 1, "", nullptr}},
        {"{", "}", 0, {"{a{b}", 0, 0, "{a{b}", "R"}},
        {"{", "}", 0, {"{a{b}", -1, -1, "", nullptr}},
        {"<", ">", 0, {"a>b<c>", 0, 0, "", nullptr}},
        {"<", ">", 1, {">a<<b>", 0, 0, "<b>", ">a<R"}},
        {"[[", "]]", 1, {"a[[b]]c", 0, 0, "[[b]]", "aRc"}},
        {"|", "|", 0, {"a|b|c", 0, 0, "", nullptr}},
        {"", "}", 0, {"a{b}", 0, 0, "", nullptr}},
        {"{", "", 0, {"a{b}", 0, 0, "", nullptr}},
    };
    for (const auto& c : cases) {
        const ItemCase& k = c.item;
        EXPECT_EQ(Text(k.text).groupCount(c.open, c.close), c.count) << k.text;
        checkItems(
            k, [&](const Text& t) { return t.groups(k.i, k.j, c.open, c.close); },
            [&](Text& t) { return t.replaceGroups(k.i, k.j, c.open, c.close, "R"); });
    }
    Text t("<Win>\\x");
    EXPECT_TRUE(t.replaceGroup(0, "<", ">", "C:\\WINDOWS"));
    EXPECT_EQ(s(t), "C:\\WINDOWS\\x");
}

TEST(Text, SpanClampsToTheText) {
    Text t("bc");
    EXPECT_EQ(s(t.span(0, 0)), "b");
    EXPECT_TRUE(t.replaceSpan(0, -1, "a"));
    EXPECT_EQ(s(t), "abc");
}

TEST(Text, TrimStripsWholePatterns) {
    struct Case {
        const char *text, *leading, *trailing, *expected;
    } const cases[] = {
        {"  a b  ", " ", " ", "a b"},      {"   ", " ", " ", ""},
        {"", " ", " ", ""},                {"\ta \t", " ", " ", "\ta \t"},
        {"{{a}}", "{", "}", "a"},          {"C:\\dir\\\\\\\\", "", "\\", "C:\\dir"},
        {"\\C:\\dir\\", "", "\\", "\\C:\\dir"}, {"{?App\\x.exe}", "{", "}", "?App\\x.exe"},
        {"ABCxabc", "abc", "abc", "x"},    {"aba", "ab", "ab", "a"},
        {"a", "aa", "aa", "a"},            {"\"\"", "\"", "\"", ""},
    };
    for (const auto& c : cases) {
        Text t(c.text);
        t.trim(c.leading, c.trailing);
        EXPECT_EQ(t.str(), c.expected) << c.text;
    }
}

TEST(Text, Numbers) {
    struct IntCase {
        const char* text;
        int value;
    } const ints[] = {
        {"-5", -5}, {" 7", 7}, {"", 0},      {"12abc", 12}, {"abc", 0}, {"+3", 3},  {"-", 0},
        {"+-3", 0}, {"- 5", 0}, {"\t\n42", 42}, {"3.9", 3}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
    };
    for (const auto& c : ints) EXPECT_EQ(Text(c.text).toInt(), c.value) << c.text;
    struct HexCase {
        const char* text;
        unsigned value;
    } const hexes[] = {
        {"0x26", 38u}, {"0x1F", 31u}, {"0x1f", 31u}, {"0X1F", 0u}, {"1F", 0u},      {" 0x1F", 0u},
        {"0x", 0u},    {"0xg", 0u},   {"0x 1F", 0u}, {"", 0u},     {"0x10zz", 16u}, {"0xFFFFFFFF", 0xFFFFFFFFu},
    };
    for (const auto& c : hexes) EXPECT_EQ(Text(c.text).toHex(), c.value) << c.text;
}

TEST(Text, FormatIsNeverCut) {
    for (size_t n : {0u, 1023u, 1024u, 1025u, 70000u}) {
        const std::string body(n, 'y');
        Text t("previous");
        t.format("%s", body.c_str());
        EXPECT_EQ(t.str(), body) << n;
    }
    const std::string a(3000, 'a');
    const std::string b(5000, 'b');
    Text t;
    t.format("[%s|%d|%s|%%|%5.1f]", a.c_str(), -7, b.c_str(), 2.5);
    EXPECT_EQ(t.str(), "[" + a + "|-7|" + b + "|%|  2.5]");
}

TEST(Text, ReplaceAllAndCountOf) {
    struct Case {
        const char *text, *find, *with, *expected;  // expected null: nothing replaced
    } const cases[] = {
        {"line1%nline2%n", "%n", "\n", "line1\nline2\n"},
        {"%t%n", "%n", "\n", "%t\n"},
        {"abc", "B", "x", nullptr},
        {"", "x", "y", nullptr},
        {"abc", "", "x", nullptr},
        {"aabb", "ab", "", ""},  // each removal forms a new occurrence to its left
        {"a%%nnb", "%n", "", "ab"},
        {"aaa", "aa", "a", "a"},
        {"x", "x", "xx", "xx"},  // the replacement holds what is searched: must end
        {"abab", "ab", "<ab>", "<ab><ab>"},
    };
    for (const auto& c : cases) {
        Text t(c.text);
        EXPECT_EQ(t.replaceAll(c.find, c.with), c.expected != nullptr) << c.text << " " << c.find;
        EXPECT_EQ(t.str(), c.expected ? c.expected : c.text) << c.text << " " << c.find;
    }
    struct CountCase {
        const char *text, *find;
        int count;
    } const counts[] = {
        {"C:\\a\\..\\b\\..\\c", "\\..", 2}, {"aaaa", "aa", 2}, {"aaa", "aa", 1},
        {"", "a", 0},                       {"abc", "", 0},   {"abc", "ABC", 0},
    };
    for (const auto& c : counts) EXPECT_EQ(Text(c.text).countOf(c.find), c.count) << c.text;
}

TEST(Text, ArgumentsMayPointIntoTheTextItself) {
    Text t("ab");
    t.append(t);
    t.append(t.c_str());
    EXPECT_EQ(s(t), "abababab");
    t.assign(t.c_str() + 6);
    t.assignText(t.c_str());
    EXPECT_EQ(s(t), "ab");
    t.format("%s-%s", t.c_str(), t.c_str());
    EXPECT_EQ(s(t), "ab-ab");
    t.assign("ab");
    EXPECT_TRUE(t.replaceAll("a", t.c_str()));
    EXPECT_EQ(s(t), "abb");
    EXPECT_TRUE(t.replaceAll(t.c_str(), "x"));
    EXPECT_EQ(s(t), "x");
    t.assign("a,b");
    EXPECT_TRUE(t.replaceField(1, ",", t.c_str()));
    EXPECT_EQ(s(t), "a,a,b");
    t.assign("Ab");
    t.trim(t.c_str());
    EXPECT_TRUE(t.empty());
}

}  // namespace
