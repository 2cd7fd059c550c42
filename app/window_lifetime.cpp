#include "app/window_lifetime.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace yunque {
namespace {

int &openWindows()
{
    static int count = 0;
    return count;
}

bool endsWithLastWindow = false;

} // namespace

void countAsOpenWindow(QWidget &window)
{
    ++openWindows();
    QObject::connect(&window, &QObject::destroyed, [] {
        if (--openWindows() == 0 && endsWithLastWindow)
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    });
}

void destroyWindow(QWidget &window)
{
    window.hide();
    window.deleteLater();
}

int openWindowCount()
{
    return openWindows();
}

void endProgramWithLastWindow()
{
    endsWithLastWindow = true;
}

} // namespace yunque
