#include "app/win32/save_dialog_adapter.h"

#include "app/win32/conventional_window.h"
#include "app/win32/file_dialog_component.h"
#include "app/win32/wide_text.h"
#include "common/window_definitions.h"

namespace yunque {

ComponentSaveDialog::ComponentSaveDialog(const ConventionalWindow &window, FileDialogComponent &dialog)
    : m_window(window)
    , m_dialog(dialog)
{
}

bool ComponentSaveDialog::available() const
{
    return m_window.isOpen();
}

void ComponentSaveDialog::setSaveMode()
{
    m_dialog.setSaveMode();
}

void ComponentSaveDialog::setFilter(std::span<const FileFilterDefinition> filter)
{
    m_dialog.setFilter(filter);
}

void ComponentSaveDialog::setInitialFolder(const std::filesystem::path &folder)
{
    m_dialog.setInitialFolder(folder);
}

void ComponentSaveDialog::setDefaultExtension(std::u16string_view extension)
{
    m_dialog.setDefaultExtension(std::u16string(extension));
}

bool ComponentSaveDialog::show()
{
    m_dialog.setOwner(m_window.handle());
    // The dialog disables its owner, so the window cannot close while it is
    // up; checked all the same before the answer is used.
    return m_dialog.show() && m_window.isOpen();
}

std::filesystem::path ComponentSaveDialog::fileName() const
{
    return m_dialog.fileName();
}

void showWriteFailure(const ConventionalWindow &window, const std::filesystem::path &path, const std::string &reason)
{
    if (!window.isOpen())
        return;
    const std::wstring text = writeFailureText(path, reason);
    const std::wstring title = wideText(writeFailureMessage.title);
    MessageBoxW(window.handle(), text.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
}

std::wstring writeFailureText(const std::filesystem::path &path, const std::string &reason)
{
    return wideText(writeFailureMessage.text) + path.wstring() + L'\n' + wideFromUtf8(reason);
}

} // namespace yunque
