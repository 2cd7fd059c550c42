#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <utility>

class QWidget;

namespace yunque {

// The main window's file dialog as a component: it has no window of its own
// until it is shown, and keeps its settings and the last accepted file name
// for the life of the window that owns it.
//
// Every show() builds a fresh toolkit dialog (the toolkit's own widgets, not
// the desktop's), modal to the owner, and destroys it when it closes.
class FileDialogComponent : public QObject {
    Q_OBJECT
public:
    enum class Mode { Open, Save };

    // The owner is the parent of every dialog shown; may be null.
    explicit FileDialogComponent(QWidget *owner = nullptr);

    void setMode(Mode mode) { m_mode = mode; }
    Mode mode() const { return m_mode; }

    // A description shown in the file-type box and its patterns, several
    // separated by ';' ("*.png;*.jpg").
    struct NameFilter {
        QString description;
        QString patterns;
        friend bool operator==(const NameFilter &, const NameFilter &) = default;
    };

    // The filter's pairs; the first is selected.
    void setFilter(QList<NameFilter> filter) { m_filter = std::move(filter); }
    const QList<NameFilter> &filter() const { return m_filter; }

    // The folder the dialog opens in when no file name is pre-filled, or
    // when the pre-filled name's folder is gone.
    void setInitialFolder(const QString &folder) { m_initialFolder = folder; }
    QString initialFolder() const { return m_initialFolder; }

    // Appended, after a dot, to a name typed without an extension.
    void setDefaultExtension(const QString &extension) { m_defaultExtension = extension; }
    QString defaultExtension() const { return m_defaultExtension; }

    // The full path accepted last; empty until a dialog has been accepted.
    // It is shown pre-filled by the next dialog; only an accepted dialog
    // changes it.
    QString fileName() const { return m_fileName; }

    // Shows the dialog and waits until it is closed. True when the user
    // accepted a name (then fileName() holds it as a full path); false on
    // cancel, on close, and when the owner went away meanwhile, which also
    // destroys this component: the caller must not touch it after a false
    // result unless it holds a guard.
    bool show();

    // For tests of what happens around the dialog rather than of the dialog:
    // queues the answer of a later show(), which then takes it at once
    // instead of showing a dialog. An answer is the full path to accept,
    // kept by fileName() as an accepted dialog's is, or std::nullopt for a
    // cancel. Answers are taken in the order they were queued; with none
    // left, show() shows the dialog again.
    void queueAnswer(std::optional<QString> acceptedPath) { m_answers.push_back(std::move(acceptedPath)); }

    // The toolkit's filter list: one entry "description (patterns)" per
    // pair, patterns separated by spaces, "*.*" as "*". Pairs without a
    // pattern are dropped.
    static QStringList toolkitFilters(const QList<NameFilter> &filter);

private:
    Mode m_mode = Mode::Open;
    QList<NameFilter> m_filter;
    QString m_initialFolder;
    QString m_defaultExtension;
    QString m_fileName;
    std::deque<std::optional<QString>> m_answers;
};

} // namespace yunque
