#include "app/win32/file_dialog_component.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace yunque {

FileDialogComponent::FileDialogComponent()
    : m_runner([](OPENFILENAMEW &settings) { return GetSaveFileNameW(&settings) != FALSE; })
{
}

bool FileDialogComponent::show()
{
    // The filter's pairs as the common dialog wants them: each part ended by
    // a NUL, the list by one more.
    std::wstring filter;
    for (const FileFilterDefinition &pair : m_filter) {
        filter.append(pair.description.begin(), pair.description.end());
        filter.push_back(L'\0');
        filter.append(pair.pattern.begin(), pair.pattern.end());
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
    const std::wstring extension(m_defaultExtension.begin(), m_defaultExtension.end());
    const std::wstring folder = m_initialFolder.wstring();

    std::vector<wchar_t> file(fileNameRoom, L'\0');
    const std::wstring &last = m_fileName.native();
    if (last.size() < fileNameRoom)
        std::copy(last.begin(), last.end(), file.begin());

    OPENFILENAMEW settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = m_owner;
    settings.lpstrFilter = m_filter.empty() ? nullptr : filter.c_str();
    settings.nFilterIndex = 1;
    settings.lpstrFile = file.data();
    settings.nMaxFile = static_cast<DWORD>(file.size());
    settings.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    settings.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    settings.Flags = options;

    if (!m_save || !m_runner(settings))
        return false;
    file.back() = L'\0';
    const std::wstring chosen(file.data(), wcsnlen(file.data(), file.size()));
    if (chosen.empty())
        return false;
    m_fileName = chosen;
    return true;
}

} // namespace yunque
