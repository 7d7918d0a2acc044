// Text helpers: searches, range copies and line reading, including the
// bounds they keep on over-long texts and lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "util/text.h"

namespace {

struct SearchCase {
    std::string text;
    const char* pattern;
    int first;
    int last;
};

TEST(TextTest, FindFirstAndLast) {
    const SearchCase cases[] = {
        {"a\\b\\c", "\\", 1, 3},
        {"aaa", "aa", 0, 1},  // overlapping occurrences count
        {"abc", "x", -1, -1},
        {"", "a", -1, -1},
        {"abc", "", 0, 3},
        {"Data.LUA", ".lua", -1, -1},  // case-sensitive
        // Beyond the 999 characters of a work buffer: still found.
        {std::string(1500, 'x') + "/end", "/", 1500, 1500},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20) + " / " + c.pattern);
        EXPECT_EQ(findText(c.text.c_str(), c.pattern), c.first);
        EXPECT_EQ(findLastText(c.text.c_str(), c.pattern), c.last);
    }
    EXPECT_EQ(findText(nullptr, "a"), -1);
    EXPECT_EQ(findLastText("a", nullptr), -1);
}

struct RangeCase {
    std::string source;
    int from;
    int to;
    std::string expected;
};

TEST(TextTest, CopyRange) {
    const RangeCase cases[] = {
        {"abcdef", 2, 4, "cde"},
        {"abcdef", 0, -1, ""},  // the folder of a path without separators
        {"abcdef", 4, 100, "ef"},  // cut at the end of the text
        {"abcdef", 6, 8, ""},
        {"abcdef", 50, 60, ""},  // from beyond the text: nothing read past it
        {"abcdef", -3, 2, ""},
        {"abcdef", 3, 2, ""},
        {std::string(1500, 'y'), 0, 1499, std::string(textLimit - 1, 'y')},  // cut at the buffer
        {std::string(1200, 'y') + "tail", 1200, 1203, "tail"},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.source.substr(0, 20) + " " + std::to_string(c.from) + ".." + std::to_string(c.to));
        char destination[textLimit];
        copyRange(c.source.c_str(), c.from, c.to, destination);
        EXPECT_EQ(std::string(destination), c.expected);
    }

    // The destination may be the source itself, as in "folder of a path".
    char path[textLimit] = "data\\models\\tree.txt";
    copyRange(path, 0, findLastText(path, "\\"), path);
    EXPECT_STREQ(path, "data\\models\\");
}

TEST(TextTest, StripNewline) {
    const std::pair<std::string, std::string> cases[] = {
        {"line\n", "line"},
        {"one\ntwo\n", "one"},
        {"none", "none"},
        {"\n", ""},
        {std::string(1200, 'z') + "\nrest", std::string(1200, 'z')},  // long texts are not cut early
    };
    for (const auto& [text, expected] : cases) {
        std::string buffer = text;
        stripNewline(buffer.data());
        EXPECT_EQ(std::string(buffer.c_str()), expected);
    }
}

FILE* fileWith(const std::string& content) {
    FILE* file = tmpfile();
    fwrite(content.data(), 1, content.size(), file);
    rewind(file);
    return file;
}

TEST(TextTest, ReadLineSplitsLinesAndKeepsBounds) {
    FILE* file = fileWith("first\nwindows\r\n\nlast without newline");
    char buffer[lineLimit];
    const char* expected[] = {"first", "windows", "", "last without newline"};
    for (const char* line : expected) {
        ASSERT_EQ(readLine(file, buffer), 1);
        EXPECT_STREQ(buffer, line);
    }
    EXPECT_EQ(readLine(file, buffer), 0);
    EXPECT_EQ(readLine(file, buffer), 0);
    fclose(file);

    // A line longer than the buffer comes back in pieces, nothing lost and
    // nothing written past the buffer.
    file = fileWith(std::string(12000, 'q') + "\nnext\n");
    ASSERT_EQ(readLine(file, buffer), 1);
    EXPECT_EQ(std::string(buffer), std::string(lineLimit - 1, 'q'));
    ASSERT_EQ(readLine(file, buffer), 1);
    EXPECT_EQ(std::string(buffer), std::string(12000 - (lineLimit - 1), 'q'));
    ASSERT_EQ(readLine(file, buffer), 1);
    EXPECT_STREQ(buffer, "next");
    fclose(file);

    file = fileWith("abcdef\n");
    char small[4];
    ASSERT_EQ(readLine(file, small, sizeof small), 1);
    EXPECT_STREQ(small, "abc");
    fclose(file);

    EXPECT_EQ(readLine(nullptr, buffer), 0);
}

TEST(TextTest, SkipWhitespaceLeavesTheCharacterUnread) {
    FILE* file = fileWith("  \t\nX\n");
    EXPECT_EQ(skipWhitespace(file), 'X');
    EXPECT_EQ(fgetc(file), 'X');
    EXPECT_EQ(skipWhitespace(file), EOF);
    fclose(file);
}

}  // namespace
