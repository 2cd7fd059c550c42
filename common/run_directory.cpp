#include "common/run_directory.h"

#include "common/file_system.h"

namespace yunque {

std::filesystem::path runDirectory()
{
    static const std::filesystem::path directory = programFile().parent_path();
    return directory;
}

} // namespace yunque
