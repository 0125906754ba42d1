#include "store/ExportFormat.h"

#include <gtest/gtest.h>

TEST(ExportFormat, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    std::vector<ExportKey> keys = {{"A\\B", {{all, all}, {"", ""}}}, {"Empty", {}}};
    const std::string text = FormatExport(keys);
    // Nothing but the line ends breaks a line.
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<ExportKey> back;
    std::string error;
    ASSERT_TRUE(ParseExport(text, back, error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].path, "A\\B");
    ASSERT_EQ(back[0].values.size(), 2u);
    EXPECT_EQ(back[0].values[0].name, all);
    EXPECT_EQ(back[0].values[0].text, all);
    EXPECT_EQ(back[1].values.size(), 0u);
    EXPECT_EQ(FormatExport(back), text);
}

TEST(ExportFormat, MalformedInputNamesItsLine) {
    const std::string head = std::string(kExportHeader) + "\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "line 1"},
        {"something else\n", "line 1"},
        {head + "\"n\"=\"v\"\n", "line 2: a value before the first key"},
        {head + "[K]\n\"n\"\"v\"\n", "line 3: expected '='"},
        {head + "[K]\n\"n\"=\"v\n", "line 3: missing closing"},
        {head + "[K]\n\"n\"=\"\\q\"\n", "line 3: unknown escape"},
        {head + "[K]\n\"n\"=\"\\x4\"\n", "line 3: bad \\x escape"},
        {head + "[K]\n\"n\"=\"v\" trailing\n", "line 3: unexpected text"},
        {head + "[]\n", "line 2: a key line"},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<ExportKey> keys;
        std::string error;
        EXPECT_FALSE(ParseExport(text, keys, error)) << text;
        EXPECT_EQ(error.substr(0, expected.size()), expected) << text;
        EXPECT_TRUE(keys.empty());
    }
}

TEST(ExportFormat, AcceptsCommentsBlankLinesAndWindowsLineEnds) {
    std::vector<ExportKey> keys;
    std::string error;
    ASSERT_TRUE(ParseExport(std::string(kExportHeader) + "\r\n; note\r\n\r\n[K]\r\n\"a\"=\"b\"\r\n",
                            keys, error))
        << error;
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].values[0].text, "b");
}
