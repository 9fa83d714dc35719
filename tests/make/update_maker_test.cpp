// Updates made from two trees and applied by the updater itself (on Windows, the Windows
// calls under Wine): the installed tree then holds exactly the new version; a machine that
// does not hold the old version, or a damaged payload, leaves it exactly as it was; the same
// trees always make the same update, and the checker passes its script.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "check/checker_cli.h"
#include "make/tree_listing.h"
#include "make/update_maker.h"
#include "support/test_support.h"

namespace {

// A tree by its paths below the root ("\" between elements); a path ending in "\" is a
// directory, anything else a file with that content.
using Tree = std::map<std::string, std::string>;

std::string programLike(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string words(256 * 8, '\0');
    for (char& c : words) c = static_cast<char>(random());
    std::string bytes;
    while (bytes.size() < n) bytes += words.substr((random() % 256) * 8, 8);
    bytes.resize(n);
    return bytes;
}

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

void writeTree(const std::string& root, const Tree& tree) {
    std::filesystem::create_directories(nativePath(root));
    for (const auto& [path, content] : tree) {
        const std::string at = root + "\\" + path;
        if (path.back() == '\\') {
            std::filesystem::create_directories(nativePath(at));
            continue;
        }
        std::filesystem::create_directories(std::filesystem::path(nativePath(at)).parent_path());
        writeFile(at, content);
    }
}

Tree readTree(const std::string& root) {
    std::vector<TreeEntry> entries;
    std::string link;
    EXPECT_TRUE(listTree(root, entries, link));
    Tree tree;
    for (const TreeEntry& e : entries) tree[e.directory ? e.path + "\\" : e.path] = e.directory ? "" : readFile(root + "\\" + e.path);
    return tree;
}

// The directory entries a tree's files imply, added to it, as a listing shows them.
Tree withDirectories(Tree tree) {
    Tree whole = tree;
    for (const auto& entry : tree)
        for (size_t at = entry.first.find('\\'); at != std::string::npos && at + 1 < entry.first.size();
             at = entry.first.find('\\', at + 1))
            whole[entry.first.substr(0, at + 1)] = "";
    return whole;
}

struct Made {
    TempDir dir;
    LocalAppDataIn appData{dir / "appdata"};
    std::string out = dir / "update";
    MakeReport report;
    std::string said;
};

void make(Made& made, const Tree& old, const Tree& next) {
    writeTree(made.dir / "old", old);
    writeTree(made.dir / "new", next);
    // No caption: the script must be one the updater runs all the same.
    MakeOptions options{made.dir / "old", made.dir / "new", "<Src>\\app", made.out, "", ""};
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_TRUE(makeUpdate(options, out, err, made.report)) << err.str();
    made.said = out.str();
    writeTree(made.out + "\\app", old);
}

const Tree oldVersion = {
    {"app.exe", programLike(3 << 20, 1)},
    {"lib\\core.dll", programLike(200000, 2)},
    {"lib\\unchanged.dll", programLike(50000, 3)},
    {"readme.txt", "version 1"},
    {"old.txt", "gone in 2"},
    {"plugins\\old\\a.dat", "old plugin"},
    {"plugins\\old\\deep\\b.dat", "old plugin part"},
    {"name.cfg", "renamed in 2"},
    {"was-a-file", "a file in 1"},
    {"was-a-directory\\x.txt", "a directory in 1"},
    {"emptied.txt", "will be empty"},
    {"kept-empty\\", ""},
};

Tree newVersion() {
    Tree tree = oldVersion;
    tree["app.exe"].replace(100000, 16, "version two!!!!!");
    tree["app.exe"].insert(2000000, programLike(4000, 9));
    tree["lib\\core.dll"] = randomBytes(200000, 4);  // unrelated: copied whole
    tree["readme.txt"] = "version 2";
    tree.erase("old.txt");
    tree.erase("plugins\\old\\a.dat");
    tree.erase("plugins\\old\\deep\\b.dat");
    tree["plugins\\new\\c.dat"] = "new plugin";
    tree.erase("name.cfg");
    tree["renamed.cfg"] = "renamed in 2";
    tree.erase("was-a-file");
    tree["was-a-file\\inside.txt"] = "now a directory";
    tree.erase("was-a-directory\\x.txt");
    tree["was-a-directory"] = "now a file";
    tree["emptied.txt"] = "";
    tree["new-empty\\deeper\\"] = "";
    return tree;
}

TEST(UpdateMaker, AnUpdateBringsTheOldTreeToTheNewOneExactly) {
    Made made;
    const Tree next = newVersion();
    make(made, oldVersion, next);
    // app.exe is patched; core.dll, unrelated to its old self, and the small files are copied.
    EXPECT_EQ(made.report.patched, 1u) << made.said;
    EXPECT_EQ(made.report.copied, 7u) << made.said;
    EXPECT_EQ(made.report.deleted, 6u) << made.said;
    const Started started = startUpdater(made.out + "\\patch.exe", "/UNATTENDED");
    EXPECT_EQ(started.outcome, RunOutcome::Completed);
    // A directory the new version lacks is emptied and stays, with whatever a user put there.
    Tree expected = withDirectories(next);
    expected["plugins\\old\\"] = "";
    expected["plugins\\old\\deep\\"] = "";
    EXPECT_EQ(readTree(made.out + "\\app"), expected);
    // A second run meets the new version, which is not the one the update was made for.
    const Started again = startUpdater(made.out + "\\patch.exe", "/UNATTENDED");
    EXPECT_NE(again.exitCode, 0);
    EXPECT_EQ(readTree(made.out + "\\app"), expected);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runChecker({made.out + "\\patch.ini"}, out, err), 0) << out.str() << err.str();
    EXPECT_EQ(out.str(), "");
}

// Lists long enough to take many sections, with names long enough that their symbols' expansion
// counts: every item must still reach the updater whole.
TEST(UpdateMaker, LongListsAreSplitSoThatEveryItemArrivesWhole) {
    Made made;
    Tree old;
    Tree next;
    const std::string longName(120, 'n');
    for (int i = 0; i < 800; ++i) {
        old["gone\\" + longName + std::to_string(i)] = "old " + std::to_string(i);
        next["added\\" + longName + std::to_string(i)] = "new " + std::to_string(i);
    }
    make(made, old, next);
    EXPECT_EQ(made.report.deleted, 800u);
    EXPECT_EQ(made.report.copied, 800u);
    const Started started = startUpdater(made.out + "\\patch.exe");
    EXPECT_EQ(started.outcome, RunOutcome::Completed) << (started.boxes.empty() ? "" : started.boxes.front());
    Tree expected = withDirectories(next);
    expected["gone\\"] = "";
    EXPECT_EQ(readTree(made.out + "\\app"), expected);
}

TEST(UpdateMaker, TheSameTreesMakeTheSameUpdate) {
    Made first;
    Made second;
    make(first, oldVersion, newVersion());
    make(second, oldVersion, newVersion());
    const Tree a = readTree(first.out + "\\payload");
    EXPECT_EQ(a, readTree(second.out + "\\payload"));
    EXPECT_EQ(readFile(first.out + "\\patch.ini"), readFile(second.out + "\\patch.ini"));
    EXPECT_FALSE(a.empty());
}

// What the machine holds is not the old version, or the payload is damaged: the run stops
// with the box that says so, and the installed tree is exactly what it was.
TEST(UpdateMaker, ARefusedUpdateLeavesTheTreeAsItWas) {
    struct Case {
        const char* what;
        std::function<void(Made&)> spoil;
        const char* box;  // the start of the message the run stops with
    } cases[] = {
        {"a file it patches was changed",
         [](Made& m) {
             std::string program = readFile(m.out + "\\app\\app.exe");
             program[5] = 'x';
             writeFile(m.out + "\\app\\app.exe", program);
         },
         "インストールされているアプリケーションは"},
        {"a file it deletes was changed", [](Made& m) { writeFile(m.out + "\\app\\plugins\\old\\a.dat", "mine"); },
         "インストールされているアプリケーションは"},
        {"a file it patches is missing",
         [](Made& m) { ASSERT_EQ(std::remove(nativePath(m.out + "\\app\\app.exe").c_str()), 0); },
         "インストールされているアプリケーションは"},
        {"a patch is damaged",
         [](Made& m) {
             std::string patch = readFile(m.out + "\\payload\\patches\\app.exe");
             patch[patch.size() - 3] = static_cast<char>(patch[patch.size() - 3] ^ 0x40);
             writeFile(m.out + "\\payload\\patches\\app.exe", patch);
         },
         "ファイルの更新に失敗しました。"},
        {"a patch is cut short",
         [](Made& m) {
             const std::string patch = readFile(m.out + "\\payload\\patches\\app.exe");
             writeFile(m.out + "\\payload\\patches\\app.exe", patch.substr(0, patch.size() / 2));
         },
         "ファイルの更新に失敗しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Made made;
        make(made, oldVersion, newVersion());
        c.spoil(made);
        const Tree before = readTree(made.out + "\\app");
        const Started started = startUpdater(made.out + "\\patch.exe");
        EXPECT_NE(started.outcome, RunOutcome::Completed);
        ASSERT_FALSE(started.boxes.empty());
        EXPECT_EQ(started.boxes.front().rfind(c.box, 0), 0u) << started.boxes.front();
        EXPECT_EQ(readTree(made.out + "\\app"), before);
    }
}

}  // namespace
