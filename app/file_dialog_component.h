#pragma once

#include <QObject>
#include <QString>

namespace yunque {

// The main window's save-file dialog as a component: it has no window of its
// own until it is shown, and keeps its settings and the last accepted file
// name for the life of the window that owns it.
class FileDialogComponent : public QObject {
    Q_OBJECT
public:
    explicit FileDialogComponent(QObject *parent = nullptr);
};

} // namespace yunque
