#pragma once

// A fresh folder for a test's files, on every system, and whole-file helpers
// that do not go through the code under test.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace yunque::test {

// A new, empty folder in the system's temporary folder, removed with
// everything in it at the end. Its name holds a space and Chinese
// characters, so every test also covers such names.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device seed;
        std::mt19937_64 random(seed());
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / std::filesystem::path(u8"云雀 test-" + asU8(std::to_string(random())));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                m_path = candidate;
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
    ~TempFolder() { removeAll(); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(std::string_view utf8Name) const
    {
        return m_path / std::filesystem::path(asU8(utf8Name));
    }

    // Names in the folder, in UTF-8, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(m_path)) {
            const std::u8string name = entry.path().filename().u8string();
            found.emplace_back(name.begin(), name.end());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    static std::u8string asU8(std::string_view utf8) { return std::u8string(utf8.begin(), utf8.end()); }

    void removeAll()
    {
        // Files the test left read-only must not keep the folder alive.
        std::error_code ignored;
        std::error_code stop;
        for (auto entry = std::filesystem::recursive_directory_iterator(m_path, stop);
             !stop && entry != std::filesystem::recursive_directory_iterator(); entry.increment(stop))
            std::filesystem::permissions(entry->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_path, ignored);
    }

    std::filesystem::path m_path;
};

inline void writeBytes(const std::filesystem::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// The file's bytes, or nothing when it cannot be read.
inline std::optional<std::string> fileBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace yunque::test
