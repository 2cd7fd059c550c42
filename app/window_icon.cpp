#include "app/window_icon.h"

#include <QImage>
#include <QPixmap>
#include <QString>

namespace yunque {

QIcon programIcon()
{
    static const QIcon icon = [] {
        QIcon sizes;
        for (int size : {16, 32, 48, 64, 128, 256})
            sizes.addPixmap(QPixmap::fromImage(QImage(QStringLiteral(":/icons/yunque-%1.png").arg(size), "PNG")));
        return sizes;
    }();
    return icon;
}

} // namespace yunque
