// Line reading of the definition files: CRLF and LF alike, long lines cut without a second
// line made of their tail, keyword prefixes without case.
#include "config/definition_lines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_reading.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

std::vector<std::string> ReadAll(const std::string& content, std::size_t capacity = 1024) {
    testing::ScratchDirectory scratch;
    std::string path = scratch.Write("lines.txt", content);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<std::string> lines;
    std::vector<char> line(capacity);
    while (ReadDefinitionLine(file, line.data(), line.size())) {
        lines.emplace_back(line.data());
    }
    std::fclose(file);
    return lines;
}

TEST(DefinitionLinesTest, CrlfAndLfLinesReadAlike) {
    EXPECT_EQ(ReadAll("A=1\r\nB=2\r\nC"), (std::vector<std::string>{"A=1\n", "B=2\n", "C"}));
    EXPECT_EQ(ReadAll("A=1\nB=2\nC\r"), (std::vector<std::string>{"A=1\n", "B=2\n", "C"}));
    EXPECT_EQ(ReadAll("\n\r\n"), (std::vector<std::string>{"\n", "\n"}));
    EXPECT_TRUE(ReadAll("").empty());
}

TEST(DefinitionLinesTest, ALongLineKeepsItsStartAndDropsItsTail) {
    const std::string longLine = std::string(1022, 'a') + "TAIL=1";
    auto lines = ReadAll(longLine + "\r\nNEXT\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(1022, 'a') + "\n");
    EXPECT_EQ(lines[1], "NEXT\n");
    // A small buffer bounds the copy the same way.
    lines = ReadAll("abcdef\nxy\n", 5);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc\n", "xy\n"}));
}

// A line running on past a megabyte (a binary or endless file) ends the file; the abort request
// ends the read at once.
TEST(DefinitionLinesTest, AnEndlessLineEndsTheFileAndTheAbortRequestEndsTheRead) {
    const std::string endless = "A=1\n" + std::string(3 << 20, 'z') + "\nB=2\n";
    auto lines = ReadAll(endless);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], std::string(1022, 'z'));
    std::atomic<int> abort{15};
    SetReadAbortFlag(&abort);
    EXPECT_EQ(ReadAll(std::string(200000, 'z')), std::vector<std::string>{});
    SetReadAbortFlag(nullptr);
}

TEST(DefinitionLinesTest, KeywordsArePrefixesWithoutCase) {
    EXPECT_EQ(StartsWithKeyword("arbor2 1,2", "ARBOR"), 1);
    EXPECT_EQ(StartsWithKeyword("ARB", "ARBOR"), 0);
    EXPECT_EQ(StartsWithKeyword("anything", ""), 1);
    EXPECT_EQ(StartsWithKeyword("\xE8\x8D\x92", "\xE8\x8D\x92"), 1);  // other bytes exactly
}

}  // namespace
}  // namespace mirexa
