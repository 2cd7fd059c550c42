#include "common/run_directory.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace yunque {
namespace {

std::string executablePath()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

std::string directoryOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash));
}

std::string runDirectory()
{
    static const std::string directory = directoryOf(executablePath());
    return directory;
}

} // namespace yunque
