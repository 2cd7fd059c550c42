// The floor for start-up: the smallest Qt Widgets program that maps one
// dialog.
#include <QApplication>
#include <QDialog>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("minimal"));
    dialog.resize(258, 213);
    dialog.show();
    return QApplication::exec();
}
