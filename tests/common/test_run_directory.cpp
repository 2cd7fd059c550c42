// Where the program runs from, seen from outside: a copy of a small program
// started from elsewhere under another name (POSIX systems).
#include <gtest/gtest.h>

#include <unistd.h>

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

TEST(RunDirectory, IsTheFolderOfTheExecutableNotTheCurrentOne)
{
    // A copy of a small program in a fresh folder whose name holds a space
    // and CJK characters, started from another folder under another name.
    const fs::path folder = fs::temp_directory_path() / ("云雀 run " + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::copy_file(PRINT_RUN_DIRECTORY, folder / "copied", fs::copy_options::overwrite_existing);

    const std::string printed =
        runAndRead("cd / && exec bash -c 'exec -a elsewhere \"$0\"' '" + (folder / "copied").string() + "'");
    EXPECT_EQ(printed, fs::canonical(folder).string());
    fs::remove_all(folder);
}

} // namespace
} // namespace yunque
