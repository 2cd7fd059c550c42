#include "app/disclaimer_window.h"

#include "app/main_window.h"

#include <QLabel>
#include <QPushButton>

namespace yunque {
namespace {

constexpr QSize designSize {258, 213};
constexpr ControlGeometry geometry按钮1 {43, 130, 144, 32};
constexpr ControlGeometry geometry标签1 {23, 15, 184, 105};

const char statement[] = "公众号:青禾馆 \r\n\r\n软件仅供揭秘测试 \r\n\r\n请勿用于任何非法操作 \r\n\r\n否则和作者无关\n";

// A label starts a new line at CR LF and at a lone LF alike.
QString labelText(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

DisclaimerWindow::DisclaimerWindow()
    : ConventionalWindow(QStringLiteral("公众号:青禾馆"), designSize)
    , 按钮1(new QPushButton(this))
    , 标签1(new QLabel(this))
{
    按钮1->setObjectName(QStringLiteral("按钮1"));
    按钮1->setText(QStringLiteral("同意申明并进入软件"));
    按钮1->setAutoDefault(false);
    按钮1->setDefault(false);
    place(*按钮1, geometry按钮1);

    标签1->setObjectName(QStringLiteral("标签1"));
    标签1->setTextFormat(Qt::PlainText);
    标签1->setText(labelText(statement));
    标签1->setWordWrap(true);
    标签1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = 标签1->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    标签1->setPalette(palette);
    标签1->setFocusPolicy(Qt::NoFocus);
    place(*标签1, geometry标签1);

    按钮1->setFocus();
    connect(按钮1, &QPushButton::clicked, this, [this] { acceptDisclaimer(*this); });
}

void acceptDisclaimer(DisclaimerWindow &disclaimer)
{
    loadWindow(*new MainWindow, false);
    destroyWindow(disclaimer);
}

} // namespace yunque
