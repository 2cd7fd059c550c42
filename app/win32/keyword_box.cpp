#include "app/win32/keyword_box.h"

#include "app/win32/wide_text.h"
#include "common/gbk_codec.h"

#include <string>
#include <utility>

namespace yunque {

void KeywordBox::setText(const GbkText &text)
{
    if (!m_edit)
        return;
    const std::u16string decoded = decodeGbk(text);
    const std::wstring wide(decoded.begin(), decoded.end());
    {
        // A one-line edit control, and some systems' multi-line ones, send
        // EN_CHANGE during WM_SETTEXT: that one is not a change of its own.
        struct Setting {
            bool &flag;
            explicit Setting(bool &f)
                : flag(f)
            {
                flag = true;
            }
            ~Setting() { flag = false; }
        } setting(m_setting);
        SetWindowTextW(m_edit, wide.c_str());
    }
    m_lastText = windowText(m_edit);
    raiseChanged();
}

GbkText KeywordBox::text() const
{
    if (!m_edit)
        return {};
    return encodeGbk(utf16View(windowText(m_edit)));
}

void KeywordBox::editChanged()
{
    if (m_setting || !m_edit)
        return;
    std::wstring current = windowText(m_edit);
    if (current == m_lastText)
        return;
    m_lastText = std::move(current);
    raiseChanged();
}

void KeywordBox::raiseChanged()
{
    if (m_changed)
        m_changed();
}

} // namespace yunque
