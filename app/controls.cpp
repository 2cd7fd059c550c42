#include "app/controls.h"

#include "app/conventional_window.h"
#include "app/qt_text.h"

#include <QLabel>
#include <QPushButton>

namespace yunque {

void applyControlDefinition(QWidget &control, const ControlDefinition &definition)
{
    control.setObjectName(toQString(definition.name));
    ConventionalWindow::place(control, definition.geometry);
    control.setEnabled(definition.enabled());
    // Only the Tab part of the policy is the definition's; whether a click
    // focuses the control stays with its kind.
    const Qt::FocusPolicy policy = control.focusPolicy();
    control.setFocusPolicy(definition.tabStop() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    // A child left alone is shown with its window; one hidden before that
    // stays hidden.
    if (!definition.visible())
        control.hide();
}

void setupLabel(QLabel &label, const ControlDefinition &definition)
{
    label.setTextFormat(Qt::PlainText);
    // A label starts a new line at CR LF and at a lone LF alike.
    label.setText(toQString(definition.text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setFocusPolicy(Qt::NoFocus);
    if (definition.style == ControlStyle::WrappedLabel) {
        label.setWordWrap(true);
        label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    } else {
        label.setWordWrap(false);
        label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // A one-line label never grows: a text wider than the label is cut
        // at its edge.
        label.setMinimumSize(0, 0);
        label.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
    applyControlDefinition(label, definition);
}

void setupButton(QPushButton &button, const ControlDefinition &definition)
{
    button.setText(toQString(definition.text));
    button.setAutoDefault(false);
    button.setDefault(false);
    button.setFocusPolicy(Qt::StrongFocus);
    applyControlDefinition(button, definition);
}

} // namespace yunque
