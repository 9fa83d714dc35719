// PATCH: a file is brought to its new version only when it is the version its patch was made
// from; a damaged or missing patch, a file of another version, or a file that may not be
// replaced leaves it as it was, with the message that says why; with ROLLBACK=1 a later
// failure takes the patched file back.
#include "commands/system/patch_command.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <filesystem>
#include <fstream>

#include "delta/patch_format.h"

#include "helpers/script_run.h"
#include "make/patch_make.h"
#include "os/files.h"
#include "os/sha256.h"

namespace {

std::string version(int n) {
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += static_cast<char>((i * 7919) % 251);
    bytes.replace(5000, 9, "version " + std::to_string(n));
    return bytes;
}

std::string patchOf(const std::string& from, const std::string& to) {
    std::string patch;
    const auto span = [](const std::string& s) {
        return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    const Digest fromHash = os::sha256Of(from.data(), from.size());
    EXPECT_TRUE(delta::makePatch(span(from), span(to), fromHash, os::sha256Of(to.data(), to.size()), patch));
    return patch;
}

const char* const patchSection = "[Patch]\nMODE=PATCH\nFILE=<Src>\\app.exe\nDIFF=<Src>\\app.patch\n";

TEST(PatchCommand, BringsTheFileToItsNewVersionOrLeavesIt) {
    std::string damaged = patchOf(version(1), version(2));
    damaged[damaged.size() - 2] = static_cast<char>(damaged[damaged.size() - 2] ^ 1);
    const struct {
        const char* what;
        std::string installed;
        std::string patch;
        bool readOnly;
        std::string result;
        const char* box;  // the start of the message the run stops with; empty: none
    } cases[] = {
        {"the old version", version(1), patchOf(version(1), version(2)), false, version(2), ""},
        {"another version", version(3), patchOf(version(1), version(2)), false, version(3),
         "インストールされているファイルは、この更新の対象のバージョンではありません。"},
        {"a damaged patch", version(1), damaged, false, version(1), "ファイルの更新に失敗しました。"},
        {"no patch at all", version(1), "", false, version(1), "ファイルの更新に失敗しました。"},
        {"not a patch", version(1), "UPDPATCH but nothing more", false, version(1), "ファイルの更新に失敗しました。"},
        {"a read-only file", version(1), patchOf(version(1), version(2)), true, version(1),
         "ファイルの更新に失敗しました。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRun run(patchSection);
        writeFile(run.path("app.exe"), c.installed);
        if (!c.patch.empty()) writeFile(run.path("app.patch"), c.patch);
        os::Directory dir;
        ASSERT_TRUE(os::Directory::open(run.dir().path(), dir));
        if (c.readOnly) {
            ASSERT_TRUE(dir.setAttributes("app.exe", os::AttributeReadOnly));
        }
        const bool goesOn = run.run("Patch");
        EXPECT_EQ(goesOn, *c.box == '\0');
        EXPECT_EQ(readFile(run.path("app.exe")), c.result);
        const std::vector<std::string> texts = run.boxTexts();
        if (*c.box) {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0].rfind(c.box, 0), 0u) << texts[0];
        } else {
            EXPECT_TRUE(texts.empty());
            EXPECT_TRUE(run.flag("Patch"));
        }
        std::vector<os::FoundEntry> left;
        ASSERT_TRUE(dir.list("*", left));
        EXPECT_EQ(left.size(), c.patch.empty() ? 2u : 3u) << "a temporary was left behind";  // patch.ini too
        if (c.readOnly) {
            ASSERT_TRUE(dir.setAttributes("app.exe", os::AttributeNormal));
        }
    }
}

// The new file takes the attribute word and date the patch carries, as a copy takes its source's.
TEST(PatchCommand, TheNewFileTakesThePatchsAttributes) {
    ScriptRun run(patchSection);
    writeFile(run.path("app.exe"), version(1));
    writeFile(run.path("app.patch"), patchOf(version(1), version(2)));
    os::Directory dir;
    ASSERT_TRUE(os::Directory::open(run.dir().path(), dir));
    ASSERT_TRUE(dir.setAttributes("app.patch", os::AttributeReadOnly | os::AttributeArchive));
    EXPECT_TRUE(run.run("Patch"));
    os::FoundEntry patched;
    ASSERT_TRUE(dir.look("app.exe", patched));
    EXPECT_TRUE(patched.attributes & os::AttributeReadOnly);
    EXPECT_EQ(readFile(run.path("app.exe")), version(2));
    ASSERT_TRUE(dir.setAttributes("app.exe", os::AttributeNormal));
    ASSERT_TRUE(dir.setAttributes("app.patch", os::AttributeNormal));
}

}  // namespace

namespace {

std::string frame(const std::string& bytes) {
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 1));
    return out;
}

// A patch that reads the old file beyond 4 GiB: an offset cut to 32 bits would read the zeros
// at its start, and the new file's hash would not match.
TEST(PatchCommand, ReadsTheOldFileBeyondFourGibibytes) {
    ScriptRun run(patchSection);
    const uint64_t zeros = (uint64_t(1) << 32) + 4096;
    const std::string tail = "the old file's last bytes";
    const std::string big = nativePath(run.path("app.exe"));
    std::ofstream(big, std::ios::binary).close();
    std::filesystem::resize_file(big, zeros);
    std::ofstream(big, std::ios::binary | std::ios::app) << tail;
    // Hashed from memory: reading the sparse file costs the system far more than hashing zeros.
    os::Sha256 hash;
    const std::string zeroBlock(1 << 20, '\0');
    for (uint64_t done = 0; done < zeros; done += std::min<uint64_t>(zeros - done, zeroBlock.size()))
        hash.update(zeroBlock.data(), static_cast<size_t>(std::min<uint64_t>(zeros - done, zeroBlock.size())));
    hash.update(tail.data(), tail.size());
    const Digest oldHash = hash.finish();
    const std::string made = "new: " + tail;
    std::string diff(tail.size(), '\0');
    std::string control;
    delta::appendStep({0, 5, static_cast<int64_t>(zeros)}, control);
    delta::appendStep({tail.size(), 0, 0}, control);
    const std::string streams[] = {frame(control), frame(diff), frame("new: ")};
    delta::PatchHeader header;
    header.oldSize = zeros + tail.size();
    header.newSize = made.size();
    header.oldHash = oldHash;
    header.newHash = os::sha256Of(made.data(), made.size());
    header.controlSize = streams[0].size();
    header.diffSize = streams[1].size();
    header.extraSize = streams[2].size();
    writeFile(run.path("app.patch"), delta::headerBytes(header) + streams[0] + streams[1] + streams[2]);
    EXPECT_TRUE(run.run("Patch"));
    EXPECT_TRUE(run.boxTexts().empty());
    EXPECT_EQ(readFile(run.path("app.exe")), made);
}

}  // namespace
