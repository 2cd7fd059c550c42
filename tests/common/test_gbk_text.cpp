#include "common/gbk_text.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace yunque {
namespace {

TEST(GbkText, BytesToTextStopsAtTheFirstNul)
{
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},         {"\0"s, ""}, {"abc", "abc"}, {"ab\0cd\0"s, "ab"}, {"\xB9\xD8\0\xBC\xFC"s, "\xB9\xD8"},
        {"\r\n", "\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(textFromBytes(c.bytes), c.text) << testing::PrintToString(c.bytes);
}

TEST(GbkText, JoiningTreatsEmptyPartsAsNothing)
{
    EXPECT_EQ(joinTexts({}), "");
    EXPECT_EQ(joinTexts({"", "a", "", "bc"}), "abc");
    EXPECT_EQ(joinTexts({"/run", "/评论关键词.txt"}), "/run/评论关键词.txt");
}

} // namespace
} // namespace yunque
