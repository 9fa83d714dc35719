// Script paths by their text: every split and join the updater makes of a path, and how "."
// and ".." steps resolve, in one table.
#include "text/script_path.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptPath, SplitsAtTheLastSeparator) {
    struct Case {
        const char* path;
        const char* parent;
        const char* last;
        const char* directory;
        const char* withoutExtension;
    };
    const Case cases[] = {
        {"C:\\a\\b.txt", "C:\\a", "b.txt", "C:\\a", "C:\\a\\b"},
        {"b.txt", "b.txt", "b.txt", ".", "b"},
        {"\\b", "", "b", "", "\\b"},
        {"C:\\dir.d\\name", "C:\\dir.d", "name", "C:\\dir.d", "C:\\dir.d\\name"},
        {"C:\\dst\\", "C:\\dst", "", "C:\\dst", "C:\\dst\\"},
        {"\\\\server\\share\\f.ini", "\\\\server\\share", "f.ini", "\\\\server\\share", "\\\\server\\share\\f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(paths::parentOf(c.path), c.parent);
        EXPECT_EQ(paths::lastElement(c.path), c.last);
        EXPECT_EQ(paths::directoryOf(c.path), c.directory);
        EXPECT_EQ(paths::withoutExtension(c.path), c.withoutExtension);
    }
    EXPECT_EQ(paths::join("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(paths::withoutTrailingSeparators("C:\\a\\\\"), "C:\\a");
}

TEST(ScriptPath, WithinMeansTheTreeItselfOrBelowIt) {
    EXPECT_TRUE(paths::isWithin("C:\\a", "C:\\a"));
    EXPECT_TRUE(paths::isWithin("C:\\a\\b", "C:\\a\\"));
    EXPECT_FALSE(paths::isWithin("C:\\ab", "C:\\a"));
    EXPECT_FALSE(paths::isWithin("C:\\", "C:\\a"));
}

TEST(ScriptPath, DotStepsResolveByTheTextAlone) {
    using Elements = std::vector<std::string>;
    EXPECT_EQ(paths::resolvedElements("a\\missing\\..\\b\\.\\c", false), (Elements{"a", "b", "c"}));
    EXPECT_EQ(paths::resolvedElements("a\\\\b/c", false), (Elements{"a", "b", "c"}));
    EXPECT_EQ(paths::resolvedElements("..\\..\\a", false), (Elements{"a"}));
    EXPECT_EQ(paths::resolvedElements("..\\..\\a", true), (Elements{"..", "..", "a"}));
    EXPECT_EQ(paths::resolvedElements("a\\..\\..\\b", true), (Elements{"..", "b"}));
}

}  // namespace
