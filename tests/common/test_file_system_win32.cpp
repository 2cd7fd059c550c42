// The file layer's promises as Windows shows them: share modes, the
// read-only attribute, names outside any code page, replacing a file in
// place of an existing one, and the program's own folder.
#include "common/file_system.h"
#include "common/run_directory.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;

using test::fileBytes;
using test::TempFolder;
using test::writeBytes;

// The file opened by someone else, as another process would, until the
// object goes.
class OpenElsewhere {
public:
    OpenElsewhere(const fs::path &path, DWORD access, DWORD share)
        : m_handle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~OpenElsewhere() { release(); }
    OpenElsewhere(const OpenElsewhere &) = delete;
    OpenElsewhere &operator=(const OpenElsewhere &) = delete;

    bool opened() const { return m_handle != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (opened())
            ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE m_handle;
};

DWORD attributesOf(const fs::path &path)
{
    return ::GetFileAttributesW(path.c_str());
}

TEST(WindowsFiles, ReadSharesWithReadersButNotWithWriters)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "kw");

    OpenElsewhere reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader.opened());
    EXPECT_EQ(readWholeFile(path).bytes, "kw");
    reader.release();

    OpenElsewhere writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.opened());
    const FileContent whileWritten = readWholeFile(path);
    EXPECT_EQ(whileWritten.bytes, "");
    EXPECT_FALSE(whileWritten.exact);
}

TEST(WindowsFiles, WriteLeavesAFileOpenElsewhereAloneUntilReleased)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "kw");
    OpenElsewhere other(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(other.opened());
    EXPECT_FALSE(writeWholeFile(path, "new"));
    other.release();
    EXPECT_EQ(fileBytes(path), "kw");
    EXPECT_TRUE(writeWholeFile(path, "new"));
    EXPECT_EQ(fileBytes(path), "new");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"f"});
}

TEST(WindowsFiles, ReadOnlyAttributeMeansReadOnly)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "kw");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(writeWholeFile(path, "x"));
    EXPECT_EQ(fileBytes(path), "kw");

    // An export over it is refused too, and leaves no temporary file.
    AtomicFile file(path);
    EXPECT_FALSE(file.open());
    EXPECT_EQ(file.error(), ERROR_FILE_READ_ONLY);
    EXPECT_EQ(fileBytes(path), "kw");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"f"});
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Names no single code page holds reach the disk exactly as given.
TEST(WindowsFiles, NamesOutsideTheCodePageArriveExactly)
{
    TempFolder folder;
    const fs::path sub = folder / "评论 😀 ä";
    fs::create_directory(sub);
    // Wide names: a narrow literal would be taken in the ANSI code page.
    const fs::path path = sub / L"关键词 ñ 😀.xls";
    EXPECT_TRUE(writeWholeFile(path, "a"));
    EXPECT_EQ(readWholeFile(path).bytes, "a");
    AtomicFile file(path);
    ASSERT_TRUE(file.open());
    file.write("b");
    ASSERT_TRUE(file.commit());

    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((sub / L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
            names.emplace_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    EXPECT_EQ(names, std::vector<std::wstring>{L"关键词 ñ 😀.xls"});
    EXPECT_EQ(fileBytes(path), "b");
}

// Replacing keeps what the user set on the file.
TEST(WindowsFiles, ReplacingKeepsTheFilesAttributes)
{
    TempFolder folder;
    const fs::path path = folder / "kept.xls";
    writeBytes(path, std::string(1000, 'o'));
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

    AtomicFile file(path);
    ASSERT_TRUE(file.open());
    file.write("new");
    ASSERT_TRUE(file.commit()) << file.errorText();
    EXPECT_EQ(fileBytes(path), "new");
    EXPECT_TRUE(attributesOf(path) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.xls"});
}

TEST(WindowsFiles, PathsBeyondMaxPathWork)
{
    TempFolder folder;
    // Folders this deep can only be made with the long-path prefix.
    fs::path deep = fs::absolute(folder.path()).make_preferred();
    for (int level = 0; level < 6; ++level) {
        deep /= std::wstring(50, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep.native()).c_str(), nullptr)) << level;
    }
    ASSERT_GT(deep.native().size(), std::size_t{MAX_PATH});
    const fs::path path = deep / L"关键词.txt";
    EXPECT_TRUE(writeWholeFile(path, "long"));
    EXPECT_EQ(readWholeFile(path).bytes, "long");
    EXPECT_TRUE(writeWholeFile(path, "longer"));
    EXPECT_EQ(readWholeFile(path).bytes, "longer");
}

// Temporary files a killed writer left behind go at the next save of that
// file; a live writer's (open, shared with no one) and other names stay.
TEST(WindowsFiles, StaleTemporariesGoAtTheNextSave)
{
    TempFolder folder;
    const fs::path path = folder / "out.xls";
    for (const char *name : {".out.xls.stale1", ".out.xls.live01", ".out.xls.abc", ".other.xls.abcdef"})
        writeBytes(folder / name, "x");
    OpenElsewhere live(folder / ".out.xls.live01", GENERIC_WRITE, 0);
    ASSERT_TRUE(live.opened());
    EXPECT_TRUE(writeWholeFile(path, "data"));
    live.release();
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{".other.xls.abcdef", ".out.xls.abc", ".out.xls.live01", "out.xls"}));
}

TEST(WindowsFiles, CommonErrorsInChineseTheRestAsTheSystemSays)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {ERROR_ACCESS_DENIED, "没有权限"},
        {ERROR_FILE_READ_ONLY, "文件是只读的"},
        {ERROR_WRITE_PROTECT, "文件系统是只读的"},
        {ERROR_DISK_FULL, "磁盘空间不足"},
        {1295, "超出了磁盘配额"},
        {ERROR_PATH_NOT_FOUND, "文件夹不存在"},
        {ERROR_FILENAME_EXCED_RANGE, "文件名太长"},
        {ERROR_SHARING_VIOLATION, "文件正被其他程序使用"},
        {ERROR_IO_DEVICE, "输入/输出错误"},
        {ERROR_NOT_SAME_DEVICE, systemErrorText(ERROR_NOT_SAME_DEVICE)},
    };
    for (const auto &[error, reason] : cases)
        EXPECT_EQ(failureReason(error), reason) << error;
}

TEST(WindowsFiles, ErrorsCarryTheSystemsMessage)
{
    TempFolder folder;
    AtomicFile file(folder / "no such folder" / "out.xls");
    EXPECT_FALSE(file.open());
    EXPECT_EQ(file.error(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(file.errorText().empty());
    EXPECT_EQ(file.errorText().find("Windows error"), std::string::npos) << file.errorText();
}

// The program's folder comes from the system, whatever the folder's name
// and whatever the current folder: a copy of a small program in a folder
// with a space and Chinese characters, started from elsewhere.
TEST(WindowsFiles, RunDirectoryIsTheProgramsFolder)
{
    TempFolder folder;
    const fs::path sub = folder / "云雀 程序";
    fs::create_directory(sub);
    const fs::path program = sub / "copied.exe";
    fs::copy_file(PRINT_RUN_DIRECTORY, program);
    const fs::path output = folder / "printed.txt";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program.native() + L"\"";
    const std::wstring elsewhere = folder.path().root_path().native();
    ASSERT_TRUE(::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 elsewhere.c_str(), &startup, &process));
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(out);

    EXPECT_EQ(pathFromUtf8(fileBytes(output).value_or("")), sub);
    EXPECT_EQ(runDirectory(), programFile().parent_path());
}

} // namespace
} // namespace yunque
