// The keyword box as the keyword handlers' text box, on the real edit
// control of a main window.

#include "common/gbk_codec.h"
#include "keywords/keyword_file.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace yunque {
namespace {

using test::fileBytes;
using test::writeBytes;

class KeywordBoxTest : public test::MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // From here on the box reports to the test, not to the keyword file.
        window->编辑框2.setChangedHandler([this] { seen.push_back(window->编辑框2.text()); });
    }

    // The text the box held each time it raised text-changed.
    std::vector<GbkText> seen;
};

TEST_F(KeywordBoxTest, SettingTheTextRaisesChangedOnceWithTheNewTextInPlaceAlsoWhenEqual)
{
    KeywordBox &box = window->编辑框2;
    box.setText("abc");
    EXPECT_EQ(seen, std::vector<GbkText>({"abc"}));
    box.setText("abc");
    EXPECT_EQ(seen, std::vector<GbkText>({"abc", "abc"}));
    box.setText("");
    EXPECT_EQ(seen, std::vector<GbkText>({"abc", "abc", ""}));
}

TEST_F(KeywordBoxTest, EveryChangeMadeInTheControlRaisesChangedOnce)
{
    HWND edit = window->编辑框2.handle();
    window->编辑框2.setText("ab");
    seen.clear();

    SendMessageW(edit, EM_SETSEL, 2, 2);
    SendMessageW(edit, WM_CHAR, L'c', 0);
    EXPECT_EQ(seen, std::vector<GbkText>({"abc"}));

    SendMessageW(edit, EM_SETSEL, 0, 1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"关"));
    EXPECT_EQ(seen.back(), "\xB9\xD8"
                           "bc");

    SendMessageW(edit, EM_UNDO, 0, 0);
    EXPECT_EQ(seen.back(), "abc");
    EXPECT_EQ(seen.size(), 3U) << testing::PrintToString(seen);
}

TEST_F(KeywordBoxTest, TextComesBackAsTheBytesItWasSetWith)
{
    std::string manyLines;
    for (int line = 0; line < 4000; ++line)
        manyLines += "keyword\r\n";
    const std::string cases[] = {
        "a\r\nb",
        "a\rb\nc", // lone CR and lone LF stay characters
        "\r\r\n\n\r", // runs of breaks, a CR CR LF among them
        "line\r\n", // a last line that ends with a break
        "\xB9\xD8\xBC\xFC\xB4\xCA", // 关键词
        "\x95\x32\x82\x36", // a character outside code page 936 (GB18030)
        "\x80\xFF\x81", // bytes that start no character
        "\xB9\r\n", // a lead byte before a break
        manyLines, // longer than an edit control takes by default
    };
    for (const std::string &bytes : cases) {
        window->编辑框2.setText(bytes);
        EXPECT_EQ(window->编辑框2.text(), bytes) << "set " << testing::PrintToString(bytes.substr(0, 16));
    }
}

TEST_F(KeywordBoxTest, TypingIntoTheBoxWritesTheKeywordFile)
{
    // The window's own binding, not the test's.
    window->编辑框2.setChangedHandler([this] { saveKeywordFile(window->编辑框2, folder.path()); });
    HWND edit = window->编辑框2.handle();
    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, L'a', 0);
    test::pressKey(edit, VK_RETURN);
    SendMessageW(edit, WM_CHAR, L'b', 0);
    EXPECT_EQ(fileBytes(folder / keywordFileName), "a\r\nb");
}

class KeywordFileLoadTest : public test::MainWindowTest {
protected:
    // Written before the window opens.
    void SetUp() override {}

    void open(std::string_view content)
    {
        writeBytes(folder / keywordFileName, content);
        MainWindowTest::SetUp();
    }
};

TEST_F(KeywordFileLoadTest, OpeningTheWindowShowsTheFileAndLeavesItsBytesAsTheyWere)
{
    const std::string content = "\xB9\xD8\xBC\xFC\r\nmixed\rbreaks\n\x80\xFF\xB9\r\nend";
    open(content);
    EXPECT_EQ(window->编辑框2.text(), content);
    EXPECT_EQ(fileBytes(folder / keywordFileName), content);
}

} // namespace
} // namespace yunque
