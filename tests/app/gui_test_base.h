#pragma once

// What every widget test shares: a base whose cleanup() leaves no window
// behind, and windows opened as the program opens them.

#include "app/conventional_window.h"
#include "app/main_window.h"

#include <QApplication>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTest>

#include <filesystem>

namespace yunque::test {

// Carries out queued window destructions and whatever else is waiting.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Loads the window as the program does (not modal), makes it the active
// window and lets it settle.
template <class Window>
Window *openWindow(Window *window)
{
    loadWindow(*window, false);
    window->activateWindow();
    QTest::qWait(0);
    return window;
}

// A main window opened as the program opens it, its keyword file in the
// given folder (by default the program's, beside the test program).
inline MainWindow *openMainWindow(const std::filesystem::path &keywordFolder = runDirectory())
{
    return openWindow(new MainWindow(keywordFolder));
}

// Base of the widget test classes. Every test ends with no top-level window
// left: each is deleted, unless deleting an earlier one (its owner) deleted
// it already, and queued destructions are carried out.
class GuiTestBase : public QObject {
    Q_OBJECT

protected slots:
    void cleanup()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget *window : QApplication::topLevelWidgets())
            windows << window;
        for (const QPointer<QWidget> &window : windows)
            delete window.data();
        settle();
    }
};

} // namespace yunque::test
