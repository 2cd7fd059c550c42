#include "common/run_directory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace yunque {
namespace {

namespace fs = std::filesystem;

std::string runAndRead(const std::string &command)
{
    std::string output;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, read);
    ::pclose(pipe);
    return output;
}

TEST(RunDirectory, CutsBeforeTheLastSeparator)
{
    EXPECT_EQ(directoryOf("/usr/local/bin/yunque"), "/usr/local/bin");
    EXPECT_EQ(directoryOf("/yunque"), "");
    EXPECT_EQ(directoryOf("/a b/云雀/yunque"), "/a b/云雀");
}

TEST(RunDirectory, IsTheFolderOfTheExecutableNotTheCurrentOne)
{
    // A copy of a small program in a fresh folder whose name holds a space
    // and CJK characters, started from another folder under another name.
    const fs::path folder = fs::temp_directory_path() / ("云雀 run " + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::copy_file(PRINT_RUN_DIRECTORY, folder / "copied", fs::copy_options::overwrite_existing);

    const std::string printed = runAndRead("cd / && exec bash -c 'exec -a elsewhere \"$0\"' '" + (folder / "copied").string() + "'");
    EXPECT_EQ(printed, fs::canonical(folder).string());
    fs::remove_all(folder);
}

TEST(RunDirectory, GivesAFreshCopyEachTime)
{
    std::string first = runDirectory();
    first += "/changed";
    EXPECT_NE(runDirectory(), first);
    EXPECT_FALSE(runDirectory().empty());
    EXPECT_NE(runDirectory().back(), '/');
}

} // namespace
} // namespace yunque
