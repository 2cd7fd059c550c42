#include "app/program.h"

#include "app/disclaimer_window.h"
#include "app/window_keys.h"
#include "app/window_lifetime.h"
#include "app/x11_window.h"
#include "common/process_events.h"
#include "common/run_directory.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>
#include <QWindow>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

namespace yunque {
namespace {

bool fatalErrorShown = false;

} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The program ends when its last window is destroyed, not when the last
    // one is hidden; startProgram decides that.
    setQuitOnLastWindowClosed(false);
}

namespace {

QPointer<QMessageBox> fatalBox;

// While the fatal error report is up, only the report itself and the
// toolkit's own drawing get events: no timer, queued call or input reaches a
// handler of the program.
bool reachesHandlers(QObject *receiver, const QEvent *event)
{
    switch (event->type()) {
    case QEvent::Timer:
    case QEvent::MetaCall:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Close:
    case QEvent::DeferredDelete:
        break;
    default:
        return false;
    }
    if (!fatalBox)
        return true;
    for (QObject *object = receiver; object; object = object->parent())
        if (object == fatalBox || object == fatalBox->windowHandle())
            return false;
    return true;
}

} // namespace

bool Application::notify(QObject *receiver, QEvent *event)
{
    if (fatalErrorShown && reachesHandlers(receiver, event))
        return false;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc &) {
        fatalErrorReport();
    }
}

void fatalErrorReport()
{
    if (!fatalErrorShown) {
        fatalErrorShown = true;
        setProcessEventsHook({});
        QMessageBox box(QMessageBox::Critical, toQString(fatalErrorMessage.title), toQString(fatalErrorMessage.text),
                        QMessageBox::Ok);
        box.setObjectName(QStringLiteral("fatalErrorReport"));
        fatalBox = &box;
        box.exec();
    }
    std::_Exit(EXIT_FAILURE);
}

void loadToolkitTranslations(QCoreApplication &application)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

void installToolkitProcessEvents(std::chrono::microseconds interval)
{
    setProcessEventsHook(throttledHook(
        [] {
            if (!fatalErrorShown)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
        },
        interval));
}

bool choosePlatform()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && x11::displayReachable())
        qputenv("QT_QPA_PLATFORM", "xcb");
    else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    else
        return false;
    return true;
}

int startProgram()
{
    std::error_code ignored;
    // An unknown folder, or one that is gone or closed to us: nothing
    // depends on the current directory, so go on from where we are.
    if (const std::filesystem::path folder = runDirectory(); !folder.empty())
        std::filesystem::current_path(folder, ignored);

    static char name[] = "yunque";
    static char *arguments[] = {name, nullptr};
    int count = 1;
    Application application(count, arguments);
    try {
        loadToolkitTranslations(application);
        installToolkitProcessEvents();
        installWindowKeys();

        loadWindow(*new DisclaimerWindow, true);
        if (openWindowCount() == 0)
            return EXIT_SUCCESS;

        endProgramWithLastWindow();
        return Application::exec();
    } catch (const std::bad_alloc &) {
        fatalErrorReport();
    }
}

} // namespace yunque
