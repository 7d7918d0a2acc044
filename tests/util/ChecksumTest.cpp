// ChecksumTest.cpp -- the CRC-32 that names a height file in run records:
// the standard check value, chunked reads equal to one read, and files that
// cannot be read are refused rather than given a checksum.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "util/checksum.h"

TEST(Checksum, MatchesTheStandardCheckValueInOnePieceOrMany) {
    const std::string text = "123456789";
    EXPECT_EQ(crc32Text(crc32Of(text.data(), text.size())), "cbf43926");
    uint32_t chained = crc32Of(text.data(), 4);
    chained = crc32Of(text.data() + 4, text.size() - 4, chained);
    EXPECT_EQ(chained, 0xCBF43926u);
    EXPECT_EQ(crc32Of("", 0), 0u);
}

TEST(Checksum, FilesAreReadWholeAndUnreadableOnesRefused) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "morvista-checksum-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    // Larger than one read buffer, so the chunks are chained.
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 300);
    std::ofstream(folder / "heights.raw", std::ios::binary) << bytes;
    uint32_t crc = 1;
    ASSERT_TRUE(fileCrc32((folder / "heights.raw").string(), crc));
    EXPECT_EQ(crc, crc32Of(bytes.data(), bytes.size()));

    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    for (const fs::path& bad : {folder / "missing.raw", folder, folder / "pipe"}) {
        uint32_t untouched = 5;
        EXPECT_FALSE(fileCrc32(bad.string(), untouched)) << bad;
        EXPECT_EQ(untouched, 5u) << bad;
    }
    fs::remove_all(folder);
}
