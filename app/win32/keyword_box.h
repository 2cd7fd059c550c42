#pragma once

#include "keywords/text_box.h"

#include <windows.h>

#include <functional>
#include <string>

namespace yunque {

// The keyword box, a multi-line edit control, as the keyword handlers' text
// box. Its text is code page 936 bytes through the core's codec, which loses
// nothing; the edit control keeps lone CR and lone LF as characters, so
// breaks from the file come back as they went in.
//
// Text-changed: a multi-line edit control sends no EN_CHANGE for WM_SETTEXT,
// so setText() raises the event itself, exactly once; the control's own
// change notifications during a set are ignored. Every other change (a key,
// a paste, a cut, an undo) arrives as EN_CHANGE, which the window passes to
// editChanged(); a notification that leaves the text as it was (some
// systems send two for one undo) raises nothing.
class KeywordBox final : public TextBox {
public:
    KeywordBox() = default;
    KeywordBox(const KeywordBox &) = delete;
    KeywordBox &operator=(const KeywordBox &) = delete;

    // The edit control this box stands for; null until the window has one.
    void attach(HWND edit) { m_edit = edit; }
    HWND handle() const { return m_edit; }

    // The text-changed event's handler.
    void setChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    void setText(const GbkText &text) override;
    GbkText text() const override;

    // The control's EN_CHANGE.
    void editChanged();

private:
    void raiseChanged();

    HWND m_edit = nullptr;
    // The text as of the last raised event.
    std::wstring m_lastText;
    std::function<void()> m_changed;
    bool m_setting = false;
};

} // namespace yunque
