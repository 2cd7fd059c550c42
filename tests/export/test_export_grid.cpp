// The export command against fake list view and save dialog.
#include "export/export_grid.h"

#include "common/file_system.h"
#include "common/run_directory.h"
#include "export_test_support.h"
#include "fake_views.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;
using Result = ExportOutcome::Result;
using test::bytes;
using test::CallLog;
using test::expectedStream;
using test::readFile;
using test::sameBytes;

const std::vector<GbkText> mainWindowTitles = {test::titleNumber, test::titleNickname, test::titleAccount,
                                               test::titleUid, test::titleComment};

class ExportGridTest : public test::TempFolderTest {
protected:
    std::size_t eventsLogged() const { return static_cast<std::size_t>(std::count(log.begin(), log.end(), "events")); }

    CallLog log;
    test::FakeListView list{log, mainWindowTitles};
    test::FakeSaveDialog dialog{log};
};

TEST_F(ExportGridTest, MainWindowListGivesTheHeaderOnlyFile)
{
    dialog.answers = {pathOf("header.xls")};
    const ExportOutcome outcome = exportGrid(list, dialog);
    EXPECT_EQ(outcome.result, Result::Saved);
    EXPECT_EQ(outcome.path, pathOf("header.xls"));

    // clang-format off
    const std::string expected = bytes({
        0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x04, 0x02, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0xD0, 0xF2, 0xBA, 0xC5, // 序号
        0x04, 0x02, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0xEA, 0xC7, 0xB3, 0xC6, // 昵称
        0x04, 0x02, 0x0C, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0xD5, 0xCB, 0xBA, 0xC5, // 账号
        0x04, 0x02, 0x0B, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x75, 0x69, 0x64,       // uid
        0x04, 0x02, 0x10, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00,
        0xC6, 0xC0, 0xC2, 0xDB, 0xC4, 0xDA, 0xC8, 0xDD, // 评论内容
        0x0A, 0x00, 0x00, 0x00,
    });
    // clang-format on
    ASSERT_EQ(expected.size(), 99u);
    EXPECT_TRUE(sameBytes(readFile(pathOf("header.xls")), expected));

    // One pair, written with full-width parentheses.
    const std::vector<std::pair<std::u16string, std::u16string>> filter = {{u"文本文档（*.xls）", u"*.xls"}};
    EXPECT_EQ(dialog.filter, filter);
    EXPECT_EQ(dialog.initialFolder, runDirectory());
    EXPECT_EQ(dialog.defaultExtension, u"xls");
}

TEST_F(ExportGridTest, CopiesTitlesThenItemsInOrderYieldingAfterEveryCell)
{
    list.titles = {"A", ""};
    list.items = {{"x", ""}, {"y", "z"}};
    dialog.answers = {pathOf("items.xls")};
    test::ScopedEventsHook hook([&] { log.push_back("events"); });
    exportGrid(list, dialog);

    // clang-format off
    CallLog expected = {
        "setSaveMode", "setFilter", "setInitialFolder", "setDefaultExtension",
        "itemCount", "columnCount",
        "columnCount", "title 0", "events", "title 1", "events",
        "itemCount",
        "columnCount", "cell 0,0", "events", "cell 0,1", "events",
        "columnCount", "cell 1,0", "events", "cell 1,1", "events",
        "show", "fileName",
    };
    // clang-format on
    // The save yields after each of its 6 cells and 3 rows.
    expected.insert(expected.end(), 9, "events");
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(sameBytes(readFile(pathOf("items.xls")), expectedStream({{"A", ""}, {"x", ""}, {"y", "z"}})));
}

TEST_F(ExportGridTest, ListWithoutColumnsGivesRowsWithoutCells)
{
    list.titles = {};
    list.items = {{}, {}, {}};
    dialog.answers = {pathOf("empty.xls")};
    exportGrid(list, dialog);
    EXPECT_TRUE(sameBytes(readFile(pathOf("empty.xls")), expectedStream({})));
    EXPECT_EQ(std::count(log.begin(), log.end(), "columnCount"), 2 + 3);
}

TEST_F(ExportGridTest, CancelWritesNothing)
{
    dialog.answers = {""};
    EXPECT_EQ(exportGrid(list, dialog).result, Result::Cancelled);
    EXPECT_EQ(log.back(), "show");
    EXPECT_TRUE(test::folderListing(folder()).empty());
}

TEST_F(ExportGridTest, ExportStartedDuringTheCopyRunsWholeInsideIt)
{
    list.items = {{"1", "n1", "a1", "u1", "c1"}};
    dialog.answers = {pathOf("inner.xls"), pathOf("outer.xls")};
    int showsBeforeInner = -1;
    test::ScopedEventsHook hook([&, started = false]() mutable {
        if (std::exchange(started, true))
            return;
        showsBeforeInner = dialog.shows;
        exportGrid(list, dialog);
    });
    exportGrid(list, dialog);

    EXPECT_EQ(showsBeforeInner, 0);
    EXPECT_EQ(dialog.shows, 2);
    const std::string expected = expectedStream({mainWindowTitles, {"1", "n1", "a1", "u1", "c1"}});
    EXPECT_TRUE(sameBytes(readFile(pathOf("inner.xls")), expected));
    EXPECT_TRUE(sameBytes(readFile(pathOf("outer.xls")), expected)) << "outer sheet untouched by the inner export";
}

TEST_F(ExportGridTest, ExportStartedDuringTheSaveOfTheSameFileDoesNotMixWithIt)
{
    const fs::path path = pathOf("same.xls");
    list.items = {{"1", "n1", "a1", "u1", "c1"}};
    dialog.answers = {path, path};
    std::string fileAfterInner;
    test::ScopedEventsHook hook([&, started = false]() mutable {
        if (dialog.shows != 1 || std::exchange(started, true))
            return;
        // The outer export is saving by now; the inner one copies a longer list.
        list.items.push_back({"2", "n2", "a2", "u2", "c2"});
        exportGrid(list, dialog);
        fileAfterInner = readFile(path);
    });
    exportGrid(list, dialog);

    EXPECT_TRUE(sameBytes(fileAfterInner, expectedStream({mainWindowTitles, list.items[0], list.items[1]})));
    EXPECT_TRUE(sameBytes(readFile(path), expectedStream({mainWindowTitles, list.items[0]})))
        << "the outer save finished last";
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"same.xls"}));
}

TEST_F(ExportGridTest, WindowClosedDuringTheCopyEndsTheExport)
{
    struct Case {
        const char *what;
        std::size_t closeAtEvent; // 0: already closed when the export starts
        bool listGoes, dialogGoes;
    };
    const std::vector<Case> cases = {
        {"closed before the start", 0, true, true},  {"closed after the first title", 1, true, true},
        {"closed during the items", 5, true, true},  {"closed after the last cell", 8, true, true},
        {"only the list view goes", 3, true, false}, {"only the dialog goes", 7, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        list.present = dialog.present = true;
        list.items = {{"1"}, {"2"}, {"3"}};
        list.titles = {"A", "B"};
        dialog.answers = {pathOf("never.xls")};
        dialog.shows = 0;
        if (c.closeAtEvent == 0)
            list.present = dialog.present = false;
        {
            test::ScopedEventsHook hook([&] {
                log.push_back("events");
                if (eventsLogged() == c.closeAtEvent) {
                    list.present = !c.listGoes;
                    dialog.present = !c.dialogGoes;
                }
            });
            EXPECT_EQ(exportGrid(list, dialog).result, Result::Abandoned);
        }
        EXPECT_EQ(dialog.shows, 0);
        EXPECT_EQ(eventsLogged(), c.closeAtEvent);
        if (!log.empty()) {
            EXPECT_EQ(log.back(), "events") << "nothing touched after the close";
        }
        EXPECT_FALSE(list.usedWhileGone);
        EXPECT_FALSE(dialog.usedWhileGone);
        EXPECT_TRUE(test::folderListing(folder()).empty());
    }
}

// Removes the folder with everything in it, where the system allows that.
void removeFolderIfAllowed(const fs::path &folder)
{
    std::error_code refused;
    fs::remove_all(folder, refused);
}

TEST_F(ExportGridTest, FailedSaveIsReportedWithTheSystemsReason)
{
    const fs::path missing = pathOf("missing/out.xls");
    dialog.answers = {missing};
    const ExportOutcome outcome = exportGrid(list, dialog);
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_EQ(outcome.path, missing);
    EXPECT_NE(outcome.reason, "");
    EXPECT_TRUE(test::folderListing(folder()).empty());
}

// An existing file without write permission is refused like the keyword
// file, with the warning, and stays as it was.
TEST_F(ExportGridTest, ReadOnlyFileIsRefusedWithTheWarningAndKept)
{
    const fs::path path = pathOf("read-only.xls");
    test::writeFile(path, "old");
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    dialog.answers = {path};
    const ExportOutcome outcome = exportGrid(list, dialog);
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_EQ(outcome.reason, "文件是只读的");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"read-only.xls"}));
}

TEST_F(ExportGridTest, WindowClosedDuringTheSave)
{
    // The save needs neither widget: it runs to its end and commits, or fails
    // cleanly; its outcome tells which (showing it is the caller's, who
    // knows the window is gone).
    struct Case {
        const char *what;
        bool folderRemoved;
    };
    for (const Case &c : {Case{"save completes", false}, Case{"save fails", true}}) {
        SCOPED_TRACE(c.what);
        const fs::path sub = folder() / "sub";
        fs::create_directories(sub);
        const fs::path path = sub / "out.xls";
        list.present = dialog.present = true;
        list.items = {{"1", "n1", "a1", "u1", "c1"}};
        dialog.answers = {path};
        dialog.shows = 0;
        ExportOutcome outcome;
        {
            test::ScopedEventsHook hook([&] {
                if (dialog.shows == 1 && dialog.present) {
                    list.present = dialog.present = false;
                    if (c.folderRemoved)
                        removeFolderIfAllowed(sub);
                }
            });
            outcome = exportGrid(list, dialog);
        }
        EXPECT_FALSE(list.usedWhileGone);
        EXPECT_FALSE(dialog.usedWhileGone);
        if (c.folderRemoved && !fs::exists(sub)) {
            EXPECT_EQ(outcome.result, Result::Failed);
        } else {
            EXPECT_EQ(outcome.result, Result::Saved);
            EXPECT_TRUE(sameBytes(readFile(path), expectedStream({mainWindowTitles, list.items[0]})));
            EXPECT_EQ(test::folderListing(sub), (std::vector<std::string>{"out.xls"}));
        }
        fs::remove_all(sub);
    }
}

// POSIX systems let the folder go and the save fails; Windows refuses to
// remove a folder while the temporary file in it is open, and the save
// succeeds. Either way the user learns the truth.
TEST_F(ExportGridTest, FolderRemovedDuringTheSaveIsReported)
{
    const fs::path sub = folder() / "sub";
    fs::create_directories(sub);
    const fs::path path = sub / "out.xls";
    dialog.answers = {path};
    test::ScopedEventsHook hook([&] {
        if (dialog.shows == 1 && fs::exists(sub))
            removeFolderIfAllowed(sub);
    });
    const ExportOutcome outcome = exportGrid(list, dialog);
    EXPECT_EQ(outcome.path, path);
    if (fs::exists(sub)) {
        EXPECT_EQ(outcome.result, Result::Saved);
        EXPECT_TRUE(sameBytes(readFile(path), expectedStream({mainWindowTitles})));
    } else {
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_NE(outcome.reason, "");
    }
}

} // namespace
} // namespace yunque
