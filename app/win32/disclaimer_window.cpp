#include "app/win32/disclaimer_window.h"

#include "app/win32/main_window.h"

#include <memory>
#include <utility>

namespace yunque {

DisclaimerWindow::DisclaimerWindow(std::filesystem::path keywordFolder)
    : ConventionalWindow(disclaimerWindowDefinition)
    , m_keywordFolder(std::move(keywordFolder))
{
}

void DisclaimerWindow::controlsCreated()
{
    按钮1 = control(u"按钮1");
    标签1 = control(u"标签1");
}

void DisclaimerWindow::command(HWND control, WORD code)
{
    if (control == 按钮1 && code == BN_CLICKED)
        acceptDisclaimer(*this);
}

void acceptDisclaimer(DisclaimerWindow &disclaimer)
{
    // The main window is on the screen, filled from the keyword file, before
    // the statement goes; if it cannot be made, the statement goes anyway
    // and the program ends.
    loadWindow(std::make_shared<MainWindow>(disclaimer.keywordFolder()), false);
    destroyWindow(disclaimer);
}

} // namespace yunque
