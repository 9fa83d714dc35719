// The symbol table and the three expansion passes: iteration counts, table order, the
// built-ins, operator groups through a stand-in shell, and ".." steps.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "os/shell.h"
#include "os/system.h"
#include "run/symbols.h"
#include "support/test_support.h"

namespace {

// The table the cases below fill and expand with.
SymbolTable& symbolTable() {
    static SymbolTable table;
    return table;
}

bool expandSymbols(Text& value) { return expandSymbols(symbolTable(), value); }
void expandValue(Text& value) { expandValue(symbolTable(), value); }
void expandTable() { expandTable(symbolTable()); }

// Answers folder and App Paths lookups from fixed tables and records the folders asked for.
class FakeShell {
public:
    using AppValues = std::map<std::pair<std::string, std::string>, std::string>;

    FakeShell(std::map<int, std::string> folders, AppValues appValues)
        : folders_(std::move(folders)), appValues_(std::move(appValues)) {
        os::setShellLookups({
            [this](int folder, std::string& out) {
                asked_.push_back(folder);
                const auto it = folders_.find(folder);
                if (it == folders_.end()) return false;
                out = it->second;
                return true;
            },
            [this](const std::string& program, const std::string& valueName, std::string& out) {
                const auto it = appValues_.find({program, valueName});
                if (it == appValues_.end()) return false;
                out = it->second;
                return true;
            },
        });
    }
    ~FakeShell() { os::setShellLookups({}); }
    FakeShell(const FakeShell&) = delete;
    FakeShell& operator=(const FakeShell&) = delete;

    const std::vector<int>& foldersAsked() const { return asked_; }

private:
    std::map<int, std::string> folders_;
    AppValues appValues_;
    std::vector<int> asked_;
};

// Installs a table made of the given lines for one test and empties it afterwards.
class TableOf {
public:
    explicit TableOf(const std::vector<std::string>& lines) {
        Text all;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) all.append("\n");
            all.append(lines[i].c_str());
        }
        symbolTable().setEntries(all, static_cast<int>(lines.size()));
    }
    ~TableOf() { symbolTable().clear(); }
    TableOf(const TableOf&) = delete;
    TableOf& operator=(const TableOf&) = delete;
};

// Makes a run's table the one the cases read, for one test.
class TableFrom {
public:
    explicit TableFrom(const SymbolTable& table) { symbolTable() = table; }
    ~TableFrom() { symbolTable().clear(); }
    TableFrom(const TableFrom&) = delete;
    TableFrom& operator=(const TableFrom&) = delete;
};

std::string valueOf(const char* name) {
    Text value("<not found>");
    symbolTable().lookupSymbol(name, value);
    return value.str();
}

std::string nameOfEntry(int i) { return symbolTable().entries().field(i, "\n").field(0, "=").str(); }

TEST(SymbolTable, LookupTakesTheValueBetweenTheFirstTwoEquals) {
    TableOf table({"<Opt>=a=b", "<Bare>", "Data=C:\\Data", "<Dup>=first", "<DUP>=second", "<Empty>="});
    struct Case {
        const char* name;
        bool found;
        std::string value;
    };
    const Case cases[] = {
        {"<Opt>", true, "a"},          // the part after a second "=" is not the value
        {"<OPT>", true, "a"},          // names ignore letter case
        {"<opt>", true, "a"},
        {"<Bare>", true, ""},          // no "=": the whole entry is the name
        {"Data", true, "C:\\Data"},    // reachable by its plain name only
        {"<Data>", false, ""},
        {"<Dup>", true, "first"},      // the first entry of a name counts
        {"<Empty>", true, ""},
        {"<Opt", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Text value("untouched");
        EXPECT_EQ(symbolTable().lookupSymbol(c.name, value), c.found);
        EXPECT_EQ(value.str(), c.found ? c.value : "untouched");
    }
}

TEST(SymbolTable, DefineReplacesInPlaceOrAppendsAtTheEnd) {
    struct Case {
        std::vector<std::string> before;
        const char* name;
        const char* value;
        std::string after;
    };
    const Case cases[] = {
        {{}, "<Win>", "C:\\W", "<Win>=C:\\W"},
        {{"<A>=1"}, "<Win>", "C:\\W", "<A>=1\n<Win>=C:\\W"},
        // In place, keeping the entry's own spelling of the name and its position.
        {{"<A>=1", "<WIN>=mine", "<B>=2"}, "<Win>", "C:\\W", "<A>=1\n<WIN>=C:\\W\n<B>=2"},
        // Only the value between the first two "=" is replaced.
        {{"<Win>=mine=rest"}, "<Win>", "C:\\W", "<Win>=C:\\W=rest"},
        {{"<Win>="}, "<Win>", "C:\\W", "<Win>=C:\\W"},
        // An entry without "=" cannot take a value, and no second entry is added either.
        {{"<Win>"}, "<Win>", "C:\\W", "<Win>"},
        // Only the first of two entries of the name is replaced.
        {{"<Win>=a", "<win>=b"}, "<Win>", "C:\\W", "<Win>=C:\\W\n<win>=b"},
    };
    for (const Case& c : cases) {
        TableOf table(c.before);
        SCOPED_TRACE(c.after);
        symbolTable().defineSymbol(c.name, Text(c.value));
        EXPECT_EQ(symbolTable().entries().str(), c.after);
        EXPECT_EQ(symbolTable().count(), Text(c.after.c_str()).fieldCount("\n"));
    }
}

TEST(ExpandSymbols, ReplacesReferencesWithTheirFixedIterationCount) {
    TableOf table({"<Win>=C:\\WINDOWS", "<A>=<B>\\a", "<B>=b", "<Self>=<Self>x", "<Files>=a.txt,b.txt",
                   "<Empty>=", "<<Win>>=nested"});
    struct Case {
        const char* value;
        const char* expanded;
        bool replaced;
    };
    const Case cases[] = {
        {"<Win>\\x", "C:\\WINDOWS\\x", true},
        {"<WIN>\\x", "C:\\WINDOWS\\x", true},
        {"<win>\\x", "C:\\WINDOWS\\x", true},
        {"<Missing>\\x", "<Missing>\\x", false},
        // The stray ">" leaves no group at all.
        {"x><Win>", "x><Win>", false},
        // One group, one iteration: the reference that <A> brings in stays.
        {"<A>", "<B>\\a", true},
        // Two groups, two iterations; the index stays after the first replacement, so the
        // second iteration takes the <B> just inserted, not <Win>.
        {"<A><Win>", "b\\a<Win>", true},
        // A miss moves the index on, so the next reference is still reached.
        {"<Missing><Win>", "<Missing>C:\\WINDOWS", true},
        {"<Self>", "<Self>x", true},
        {"<Self><Self>", "<Self>xx<Self>", true},
        {"<Empty>\\x", "\\x", true},
        // A nested group is looked up whole, brackets and all.
        {"<<Win>>", "nested", true},
        {"<Win", "<Win", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Text value(c.value);
        EXPECT_EQ(expandSymbols(value), c.replaced);
        EXPECT_EQ(value.str(), c.expanded);
    }
}

TEST(ExpandSymbols, ExpandsBeforeTheValueIsSplitIntoItems) {
    TableOf table({"<Files>=a.txt,b.txt"});
    Text value("<Files>,c.txt");
    expandValue(value);
    ASSERT_EQ(value.fieldCount(","), 3);
    EXPECT_EQ(value.field(0, ",").str(), "a.txt");
    EXPECT_EQ(value.field(1, ",").str(), "b.txt");
    EXPECT_EQ(value.field(2, ",").str(), "c.txt");
}

TEST(ExpandOperators, EvaluatesTheThreeOperators) {
    FakeShell shell({{0x05, "C:\\Docs\\\\"}, {0x00, "C:\\Desk"}, {0x19, "C:\\Common\\Desk"}},
                    {{{"editor.exe", ""}, "C:\\Ed\\editor.exe"},
                     {{"editor.exe", "PATH"}, "C:\\A\\;C:\\B\\;"},
                     {{"trail.exe", "PATH"}, "C:\\A\\"},
                     {{"semi.exe", "PATH"}, "C:\\A;;"},
                     {{"only.exe", ""}, "C:\\Only\\only.exe"},
                     {{"nest.exe", ""}, "{?App\\editor.exe}"}});
    struct Case {
        const char* value;
        const char* expanded;
        bool replaced;
    };
    const Case cases[] = {
        {"{?App\\editor.exe}", "C:\\Ed\\editor.exe", true},
        {"{?app\\editor.exe}\\x", "C:\\Ed\\editor.exe\\x", true},
        // Backslashes are trimmed before semicolons, and only at the end.
        {"{?AppPath\\editor.exe}", "C:\\A\\;C:\\B\\", true},
        {"{?APPPATH\\editor.exe}", "C:\\A\\;C:\\B\\", true},
        {"{?AppPath\\trail.exe}", "C:\\A", true},
        {"{?AppPath\\semi.exe}", "C:\\A", true},
        // Registered without "PATH": the group stays.
        {"{?AppPath\\only.exe}", "{?AppPath\\only.exe}", false},
        {"{?App\\missing.exe}", "{?App\\missing.exe}", false},
        {"{?SpFolder\\0x5}\\x", "C:\\Docs\\x", true},
        {"{?SpFolder\\0x19}", "C:\\Common\\Desk", true},
        // Only "0x..." is a number; anything else asks for folder 0.
        {"{?SpFolder\\5}", "C:\\Desk", true},
        {"{?SpFolder\\0X5}", "C:\\Desk", true},
        {"{?SpFolder\\0x7}", "{?SpFolder\\0x7}", false},
        {"{x}", "{x}", false},
        {"{?Other\\a}", "{?Other\\a}", false},
        {"{?App}", "{?App}", false},
        // Only the text between the first and second backslash is the argument.
        {"{?App\\editor.exe\\ignored}", "C:\\Ed\\editor.exe", true},
        // All the braces around the body go.
        {"{{?App\\editor.exe}}", "C:\\Ed\\editor.exe", true},
        // A failed group moves the index on; a replaced one does not.
        {"{?Other\\a}{?App\\editor.exe}", "{?Other\\a}C:\\Ed\\editor.exe", true},
        {"{?App\\editor.exe};{?App\\only.exe}", "C:\\Ed\\editor.exe;C:\\Only\\only.exe", true},
        // One group, one iteration: a group brought in by the result stays.
        {"{?App\\nest.exe}", "{?App\\editor.exe}", true},
        {"{?App\\editor.exe", "{?App\\editor.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Text value(c.value);
        EXPECT_EQ(expandOperators(value), c.replaced);
        EXPECT_EQ(value.str(), c.expanded);
    }
}

TEST(CollapseDotDot, RemovesElementPairsFromElementTwoOn) {
    struct Case {
        const char* path;
        const char* collapsed;
        bool removed;
    };
    const Case cases[] = {
        {"C:\\a\\b\\..\\c", "C:\\a\\c", true},
        {"C:\\a\\b\\..\\..\\c", "C:\\c", true},
        {"C:\\App\\..\\x", "C:\\x", true},
        // Element 0 was reached: the scan ends and the second ".." stays.
        {"C:\\a\\..\\b\\..\\c", "C:\\b\\..\\c", true},
        {"C:\\x\\..\\..\\y", "C:\\..\\y", true},
        {"x\\..\\y", "x\\..\\y", false},
        {"C:\\..\\x", "C:\\..\\x", false},
        {"C:\\a\\.\\b", "C:\\a\\.\\b", false},
        {"C:\\a\\...\\b", "C:\\a\\...\\b", false},
        {"C:\\a\\..b\\c", "C:\\a\\..b\\c", false},
        {"C:\\a\\b\\..", "C:\\a", true},
        {"C:\\a\\b\\c\\..\\..\\..\\d", "C:\\d", true},
        {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b", true},
        {"C:\\a\\\\..\\b", "C:\\a\\b", true},
        {"..", "..", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Text path(c.path);
        EXPECT_EQ(collapseDotDot(path), c.removed);
        EXPECT_EQ(path.str(), c.collapsed);
    }
}

TEST(ExpandValue, RunsSymbolsThenOperatorsThenDotDot) {
    FakeShell shell({{0x05, "C:\\Docs"}}, {});
    TableOf table({"<Src>=C:\\Tools\\Upd", "<Doc>={?SpFolder\\0x5}", "<Up>=..", "<Open>={?SpFolder", "<Close>=}"});
    struct Case {
        const char* value;
        const char* expanded;
    };
    const Case cases[] = {
        {"<Src>\\..\\Data", "C:\\Tools\\Data"},
        // The operator group comes from a symbol, so symbols must run first.
        {"<Doc>\\..\\y", "C:\\y"},
        // The ".." comes from a symbol.
        {"C:\\a\\b\\<Up>\\c", "C:\\a\\c"},
        // Braces assembled by symbols form a group for the operator pass.
        {"<Open>\\0x5<Close>", "C:\\Docs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Text value(c.value);
        expandValue(value);
        EXPECT_EQ(value.str(), c.expanded);
    }
}

TEST(ExpandTable, ExpandsEntriesInTableOrder) {
    FakeShell shell({{0x05, "C:\\Docs"}}, {});
    TableOf table({"<Data>=<Base>\\Data", "<Base>=<Programs>\\Tool", "<Up>=<Src>\\..\\y", "<Doc>={?SpFolder\\0x5}",
                   "<Opt>=<Src>=b", "<Programs>=P:\\Menu", "<Src>=C:\\T\\U"});
    expandTable();
    // <Data> went first, while <Base> still held its own reference.
    EXPECT_EQ(valueOf("<Data>"), "<Programs>\\Tool\\Data");
    EXPECT_EQ(valueOf("<Base>"), "P:\\Menu\\Tool");
    // Symbols and ".." steps both applied to one entry.
    EXPECT_EQ(valueOf("<Up>"), "C:\\T\\y");
    EXPECT_EQ(valueOf("<Doc>"), "C:\\Docs");
    // Whatever follows a second "=" stays in the entry.
    EXPECT_EQ(symbolTable().entries().field(4, "\n").str(), "<Opt>=C:\\T\\U=b");
    // A key read later gets one more iteration only: the inner reference stays.
    Text key("<Data>");
    expandValue(key);
    EXPECT_EQ(key.str(), "<Programs>\\Tool\\Data");
}

TEST(Expansion, ReferencesThatMultiplyTheTextStopAtTheLimit) {
    std::string sixteen;
    for (int k = 0; k < 16; ++k) sixteen += "<B>";
    TableOf table({"<A>=" + sixteen, "<B>=" + std::string(4000, 'x')});
    Text value(sixteen.c_str());
    value.replaceAll("<B>", "<A>");
    expandValue(value);
    EXPECT_LE(value.length(), MaxExpandedLength);
    // What could not be inserted stays as written.
    EXPECT_GT(value.countOf("<A>"), 0);
}

TEST(BuildSymbolTable, DefineComesFirstThenTheBuiltIns) {
    FakeShell shell({{0x19, "D:\\Desk"}, {0x10, "D:\\MyDesk"}, {0x17, "P:\\Menu"}, {0x02, "P:\\MyMenu"}}, {});
    ScriptFixture script(
        "[UPDATER]\r\nNAME=x\r\n[DEFINE]\r\n<Base>=<Programs>\\Tool\r\n<Data>=<Base>\\Data\r\n"
        "<Win>=mine\r\n;<Note>=skipped\r\n<Opt>=a=b\r\n<Files>=a.txt,b.txt\r\n");
    const TableFrom table(script.run().symbols);
    ASSERT_TRUE(os::isNtPlatform());
    // The common folders are asked for, once each, desktop first.
    EXPECT_EQ(shell.foldersAsked(), (std::vector<int>{0x19, 0x17}));

    const std::vector<std::string> names = {"<Base>", "<Data>", "<Win>", "<Opt>", "<Files>",
                                            "<Sys>", "<Src>", "<Desktop>", "<Programs>"};
    ASSERT_EQ(symbolTable().count(), static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(nameOfEntry(static_cast<int>(i)), names[i]);

    EXPECT_EQ(valueOf("<Win>"), os::windowsDirectory());
    EXPECT_EQ(valueOf("<Sys>"), os::systemDirectory());
    EXPECT_EQ(valueOf("<Src>"), script.dir().path());
    EXPECT_EQ(valueOf("<Desktop>"), "D:\\Desk");
    EXPECT_EQ(valueOf("<Base>"), "P:\\Menu\\Tool");
    EXPECT_EQ(valueOf("<Data>"), "P:\\Menu\\Tool\\Data");
    EXPECT_EQ(valueOf("<Opt>"), "a");
    EXPECT_EQ(valueOf("<Note>"), "<not found>");

    Text key("<WIN>\\<Files>,c.txt");
    expandValue(key);
    EXPECT_EQ(key.fieldCount(","), 3);
    EXPECT_EQ(key.field(0, ",").str(), os::windowsDirectory() + "\\a.txt");
}

TEST(BuildSymbolTable, ReversedDefineOrderLeavesTheInnerReference) {
    FakeShell shell({{0x19, "D:\\Desk"}, {0x17, "P:\\Menu"}}, {});
    ScriptFixture script("[DEFINE]\n<Data>=<Base>\\Data\n<Base>=<Programs>\\Tool\n");
    const TableFrom table(script.run().symbols);
    EXPECT_EQ(valueOf("<Data>"), "<Programs>\\Tool\\Data");
    EXPECT_EQ(valueOf("<Base>"), "P:\\Menu\\Tool");
    Text key("<Data>");
    expandValue(key);
    EXPECT_EQ(key.str(), "<Programs>\\Tool\\Data");
}

TEST(BuildSymbolTable, WithoutDefineTheFiveBuiltInsAreEntriesZeroToFour) {
    FakeShell shell({{0x19, "D:\\Desk"}, {0x17, "P:\\Menu"}}, {});
    ScriptFixture script("[UPDATER]\nNAME=x\n");
    const TableFrom table(script.run().symbols);
    const char* const names[] = {"<Win>", "<Sys>", "<Src>", "<Desktop>", "<Programs>"};
    ASSERT_EQ(symbolTable().count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(nameOfEntry(i), names[i]);
        EXPECT_NE(valueOf(names[i]), "<not found>");
    }
}

TEST(BuildSymbolTable, AFolderTheSystemCannotNameIsLeftAsWritten) {
    FakeShell shell({{0x17, "P:\\Menu"}}, {});
    ScriptFixture script("[DEFINE]\n<Programs>=mine\n");
    const TableFrom table(script.run().symbols);
    EXPECT_EQ(valueOf("<Desktop>"), "<not found>");
    EXPECT_EQ(valueOf("<Programs>"), "P:\\Menu");
    Text key("<Desktop>\\x.lnk");
    expandValue(key);
    EXPECT_EQ(key.str(), "<Desktop>\\x.lnk");
}

TEST(BuildSymbolTable, SourceIsTheExecutablePathWithoutItsLastElement) {
    FakeShell shell({}, {});
    struct Case {
        const char* executable;
        const char* source;
    };
    const Case cases[] = {
        {"C:\\upd.exe", "C:"},
        {"C:\\Tools\\Upd\\upd.exe", "C:\\Tools\\Upd"},
        {"upd.exe", "upd.exe"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        RunContext run;
        run.scriptPath = Text((dir / "missing.ini").c_str());
        run.modulePath = Text(c.executable);
        buildSymbolTable(run);
        Text source;
        EXPECT_TRUE(run.symbols.lookupSymbol("<Src>", source));
        EXPECT_EQ(source.str(), c.source);
    }
}

}  // namespace
