#pragma once

#include "app/main_window.h"

#include <QCoreApplication>
#include <QTest>

namespace yunque::test {

// Carries out queued window destructions and whatever else is waiting.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A main window loaded as the program loads it, active and shown.
inline MainWindow *openMainWindow()
{
    auto *window = new MainWindow;
    loadWindow(*window, false);
    window->activateWindow();
    QTest::qWait(0);
    return window;
}

} // namespace yunque::test
