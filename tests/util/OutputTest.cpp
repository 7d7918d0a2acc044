// The one output path: everything printed reaches the console hook whole,
// however long the formatted text is.
#include <gtest/gtest.h>

#include <string>

#include "util/output.h"

namespace {

std::string hooked;

void collect(const char* text, size_t length) { hooked.append(text, length); }

TEST(OutputTest, TextAndFormattedTextReachTheHookWhole) {
    hooked.clear();
    setOutputHook(collect);
    outputText("plain ");
    outputText(nullptr);
    std::string longText(5000, 'w');
    outputPrintf("%d %s\n", 42, longText.c_str());
    setOutputHook(nullptr);
    outputText("not hooked\n");
    EXPECT_EQ(hooked, "plain 42 " + longText + "\n");
}

}  // namespace
