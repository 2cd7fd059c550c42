#include "app/disclaimer_window.h"

#include "app/controls.h"
#include "app/main_window.h"
#include "app/window_lifetime.h"

#include <QLabel>
#include <QPushButton>

namespace yunque {
namespace {

// Looked up while compiling: a name missing from the definition does not
// build.
constexpr const ControlDefinition &definition按钮1 = *findControl(disclaimerWindowDefinition, u"按钮1");
constexpr const ControlDefinition &definition标签1 = *findControl(disclaimerWindowDefinition, u"标签1");

} // namespace

DisclaimerWindow::DisclaimerWindow()
    : ConventionalWindow(disclaimerWindowDefinition)
    , 按钮1(new QPushButton(this))
    , 标签1(new QLabel(this))
{
    setupButton(*按钮1, definition按钮1);
    setupLabel(*标签1, definition标签1);
    applyTabOrder();
    connect(按钮1, &QPushButton::clicked, this, [this] { acceptDisclaimer(*this); });
}

void acceptDisclaimer(DisclaimerWindow &disclaimer)
{
    loadWindow(*new MainWindow, false);
    destroyWindow(disclaimer);
}

} // namespace yunque
