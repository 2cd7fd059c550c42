#include "app/default_font.h"

#include <QApplication>
#include <QFont>
#include <QString>

#include <utility>

namespace yunque {

void installDefaultFont()
{
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    // The compact Chinese face. Its family name is fixed here, and the face
    // comes from the Debian package fonts-wqy-microhei, which
    // scripts/install-deps.sh installs with the build's packages: rename
    // one, and the other has to follow. Without the face the toolkit falls
    // back to its usual CJK font, and the statement's last lines no longer
    // fit its label.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setFont(font);
}

} // namespace yunque
