// Runs out of memory inside a click handler while a timer keeps ticking, and
// presses the error report's button once it is shown. fatal_error.sh checks
// what it prints and how it ends.
#include "app/program.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <new>

namespace {

class ReportWatcher : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            std::printf("report shown: %s | %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
            std::fflush(stdout);
            box->button(QMessageBox::Ok)->animateClick();
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    yunque::Application application(argc, argv);
    ReportWatcher watcher;
    application.installEventFilter(&watcher);

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [] {
        std::printf("tick\n");
        std::fflush(stdout);
    });
    ticker.start(5);

    QPushButton button(QStringLiteral("go"));
    QObject::connect(&button, &QPushButton::clicked, [] { throw std::bad_alloc(); });
    button.show();
    QTimer::singleShot(50, &button, [&button] { button.click(); });
    QApplication::exec();
    std::printf("event loop ended normally\n");
    return 0;
}
