// Saving a sheet where only POSIX systems can show the promise: a write
// cut short by a file size limit, permission bits and symbolic links.
#include "export/xls_sheet.h"
#include "save_test.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::sameBytes;
using test::SaveTest;
using test::writeFile;

TEST_F(SaveTest, FailedWriteLeavesTheOldFileAsItWas)
{
    const fs::path path = pathOf("kept.xls");
    const std::string old(300, 'O');
    writeFile(path, old);

    // A file size limit makes the write fail part way (also for root).
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    XlsSheet sheet;
    load(sheet, test::repeatedRows(50, {"some text"}));
    const bool written = sheet.saveAs(path);

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(sheet.lastSaveError(), std::strerror(EFBIG));
    EXPECT_TRUE(sameBytes(readFile(path), old));
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"kept.xls"})) << "temporary file removed";
}

// Files the keyword writer refuses, an export refuses too: one without
// write permission (even for root) and another user's file in a folder we
// may write; the reason is told in Chinese and the file stays as it was.
TEST_F(SaveTest, ProtectedFilesAreRefusedAndKept)
{
    const fs::path readOnly = pathOf("read-only.xls");
    writeFile(readOnly, "old");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    XlsSheet sheet;
    load(sheet, small);
    EXPECT_FALSE(sheet.saveAs(readOnly));
    EXPECT_EQ(sheet.lastSaveError(), "文件是只读的");
    EXPECT_EQ(readFile(readOnly), "old");
    struct stat info {};
    ASSERT_EQ(::stat(readOnly.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    const fs::path others = pathOf("others.xls");
    writeFile(others, "theirs");
    ASSERT_EQ(::chmod(others.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(folder().c_str(), 0777), 0);
    const int result = test::runUnprivileged([&] {
        XlsSheet mine;
        load(mine, small);
        return !mine.saveAs(others) && mine.lastSaveError() == "没有权限" ? 0 : 1;
    });
    if (result == test::cannotDropPrivileges)
        GTEST_SKIP() << "cannot switch to user nobody";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(others), "theirs");
    ASSERT_EQ(::stat(others.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"others.xls", "read-only.xls"}));
}

TEST_F(SaveTest, KeepsPermissionsAndSymbolicLinks)
{
    const fs::path target = pathOf("target.xls");
    writeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const fs::path link = pathOf("link.xls");
    fs::create_symlink("target.xls", link);

    XlsSheet sheet;
    load(sheet, small);
    EXPECT_TRUE(sheet.saveAs(link));

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "target.xls");
    EXPECT_TRUE(sameBytes(readFile(target), streamOf(small)));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"link.xls", "target.xls"}));
}

} // namespace
} // namespace yunque
