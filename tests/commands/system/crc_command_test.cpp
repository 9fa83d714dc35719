// CRC: measuring boxes, all-must-match and one-is-enough, the expected values' notation,
// files that cannot be read, and files larger than 4 GiB.
#include "commands/system/crc_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "text/crc32.h"
#include "helpers/script_run.h"
#include "os/file_data.h"

namespace {

const char* const nine = "123456789";  // CRC-32 0xCBF43926
const char* const fox = "The quick brown fox jumps over the lazy dog";  // 0x414FA339

std::string crcSection(const std::string& name, const std::string& file, const std::string& type,
                       const std::string& crc) {
    return "[" + name + "]\nMODE=CRC\nFILE=" + file + "\nTYPE=" + type + "\nCRC=" + crc + "\n";
}

std::string measured(const std::string& section, const std::string& file, const char* value) {
    return "PROC\t: " + section + "\nFILE\t: " + file + "\nCRC32\t: " + value;
}

void writeSamples(const ScriptRun& run) {
    writeFile(run.path("nine.txt"), nine);
    writeFile(run.path("fox.txt"), fox);
    writeFile(run.path("empty.txt"), "");
}

TEST(CrcCommand, ChecksSetTheFlag) {
    struct Case {
        const char* files;
        const char* type;
        const char* crcs;
        bool flag;
    } cases[] = {
        {"<Src>\\nine.txt, <Src>\\fox.txt", "AND", "0xCBF43926, 0x414FA339", true},
        {"<Src>\\nine.txt,<Src>\\fox.txt", "and", "0xCBF43926,0x414FA33A", false},
        {"<Src>\\nine.txt,<Src>\\fox.txt", "And", "0xcbf43926,0x414fa339", true},
        {"<Src>\\nine.txt,<Src>\\missing.txt", "AND", "0xCBF43926,0x00000000", false},
        {"<Src>\\empty.txt", "AND", "0x00000000", false},
        // One is enough: any other TYPE, the empty one too.
        {"<Src>\\nine.txt,<Src>\\fox.txt", "OR", "0x1,0x414FA339", true},
        {"<Src>\\nine.txt,<Src>\\fox.txt", "", "0x1,0x2", false},
        {"<Src>\\missing.txt,<Src>\\nine.txt", "ANY", "0xCBF43926,0xCBF43926", true},
        // Only a lower-case "0x" starts a number; anything else reads as 0.
        {"<Src>\\nine.txt", "AND", "0XCBF43926", false},
        {"<Src>\\nine.txt", "AND", "CBF43926", false},
        {"<Src>\\nine.txt", "AND", " 0xCBF43926 ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.files << " " << c.type << " " << c.crcs);
        ScriptRun run(crcSection("Check", c.files, c.type, c.crcs));
        writeSamples(run);
        EXPECT_TRUE(run.run("Check"));
        EXPECT_EQ(run.flag("Check"), c.flag);
        EXPECT_TRUE(run.boxes().empty());
    }
}

TEST(CrcCommand, EmptyExpectedValueMeasures) {
    struct Case {
        const char* files;
        const char* type;
        const char* crcs;
        bool flag;
        std::vector<std::string> boxes;
        std::vector<unsigned> styles;
    } cases[] = {
        {"<Src>\\nine.txt", "AND", "", true, {measured("Measure", "<dir>\\nine.txt", "0xCBF43926")}, {0x40}},
        // A file without an expected value is measured; each shows its own box.
        {"<Src>\\nine.txt,<Src>\\fox.txt", "AND", "0xCBF43926", true,
         {measured("Measure", "<dir>\\fox.txt", "0x414FA339")}, {0x40}},
        // One-is-enough without a match: a last file measured lets the loop end with true.
        {"<Src>\\fox.txt,<Src>\\nine.txt", "OR", "0x1", true,
         {measured("Measure", "<dir>\\nine.txt", "0xCBF43926")}, {0x40}},
        // The first match ends the check: the next file is not measured.
        {"<Src>\\fox.txt,<Src>\\nine.txt", "OR", "0x414FA339,", true, {}, {}},
        // What cannot be read ends the command, flag false, and the run goes on.
        {"<Src>\\missing.txt,<Src>\\nine.txt", "AND", "", false,
         {measured("Measure", "<dir>\\missing.txt", "GetFileData Error.")}, {0x10}},
        {"<Src>\\empty.txt", "OR", "", false, {measured("Measure", "<dir>\\empty.txt", "GetFileData Error.")}, {0x10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.files << " " << c.type << " " << c.crcs);
        ScriptRun run(crcSection("Measure", c.files, c.type, c.crcs));
        writeSamples(run);
        EXPECT_TRUE(run.run("Measure"));
        EXPECT_EQ(run.flag("Measure"), c.flag);
        std::vector<std::string> expected;
        for (std::string text : c.boxes) expected.push_back(text.replace(text.find("<dir>"), 5, run.dir().path()));
        EXPECT_EQ(run.boxTexts(), expected);
        std::vector<unsigned> styles;
        for (const RecordedBox& b : run.boxes()) styles.push_back(b.style);
        EXPECT_EQ(styles, c.styles);
    }
}

TEST(CrcCommand, EmptyFileListStopsTheRun) {
    ScriptRun run(crcSection("Check", "", "AND", "") + crcSection("After", "<Src>\\x", "AND", ""));
    EXPECT_FALSE(run.run("Check,After"));
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{formatMessage(MessageId::WrongItemCount, {"Check", "FILE"})});
}

// The file is opened sharing nothing: one that another holder has open counts as unreadable.
TEST(CrcCommand, FileHeldElsewhereDoesNotMatch) {
    ScriptRun run(crcSection("Check", "<Src>\\nine.txt", "AND", "0xCBF43926"));
    writeSamples(run);
    const os::ExclusiveFile holder(run.path("nine.txt"));
    ASSERT_TRUE(holder.isOpen());
    EXPECT_TRUE(run.run("Check"));
    EXPECT_FALSE(run.flag("Check"));
}

// a * b mod P, both in the reflected form in which the CRC register holds polynomials.
uint32_t multiplyModP(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (int bit = 31; bit >= 0; --bit) {
        if ((a >> bit) & 1) product ^= b;
        b = (b & 1) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
    }
    return product;
}

// The CRC-32 of `zeros` zero bytes followed by `tail`: the register after zero bytes is the
// preset times x^(8 * zeros), computed by squaring rather than by reading 4 GiB.
uint32_t crcAfterZeros(uint64_t zeros, const std::string& tail) {
    uint32_t power = 0x80000000u;  // x^0
    uint32_t square = 0x00800000u;  // x^8
    for (uint64_t n = zeros; n; n >>= 1) {
        if (n & 1) power = multiplyModP(power, square);
        square = multiplyModP(square, square);
    }
    const uint32_t reg = multiplyModP(0xFFFFFFFFu, power);
    return crc32_detail::byTable(tail.data(), tail.size(), ~reg);
}

TEST(CrcCommand, FilesBeyondFourGibibytesAreReadWhole) {
    // The arithmetic of the expected value, first held to a file that can be read directly.
    const std::string small = std::string(1000, '\0') + nine;
    EXPECT_EQ(crcAfterZeros(1000, nine), crc32_detail::byTable(small.data(), small.size(), 0));

    // Sparse: 4 GiB of zeros that take no disk space, then nine bytes. A size cut to its
    // low 32 bits would check the nine zero bytes at the start instead.
    ScriptRun run(crcSection("Check", "<Src>\\big.bin", "AND", ""));
    const uint64_t zeros = uint64_t(1) << 32;
    const std::string big = nativePath(run.path("big.bin"));
    std::ofstream(big, std::ios::binary).close();
    std::filesystem::resize_file(big, zeros);
    std::ofstream(big, std::ios::binary | std::ios::app) << nine;
    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%08X", crcAfterZeros(zeros, nine));
    EXPECT_TRUE(run.run("Check"));
    std::filesystem::remove(big);
    EXPECT_EQ(run.boxTexts(), std::vector<std::string>{measured("Check", run.path("big.bin"), expected)});
}

}  // namespace
