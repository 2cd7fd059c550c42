#include "app/program.h"

#include "app/disclaimer_window.h"
#include "common/process_events.h"
#include "common/run_directory.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <unistd.h>

#include <cstdlib>
#include <new>

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

bool Application::notify(QObject *receiver, QEvent *event)
{
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
        QMessageBox::critical(nullptr, QStringLiteral("云雀速录"), QStringLiteral("内存不足，程序将退出。"));
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
    using Clock = std::chrono::steady_clock;
    setProcessEventsHook([interval, last = Clock::time_point()]() mutable {
        const Clock::time_point now = Clock::now();
        if (now - last < interval || fatalErrorShown)
            return;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        last = Clock::now();
    });
}

int startProgram()
{
    const std::string folder = runDirectory();
    if (::chdir(folder.empty() ? "/" : folder.c_str()) != 0) {
        // The program's folder is gone or closed to us; nothing depends on
        // the current directory, so go on.
    }

    static char name[] = "yunque";
    static char *arguments[] = {name, nullptr};
    int count = 1;
    Application application(count, arguments);
    try {
        loadToolkitTranslations(application);
        installToolkitProcessEvents();
        installWindowConventions();

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
