#include "shell/AppIcon.h"

#include <QApplication>

namespace AppIcon {

QIcon icon()
{
    static const int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    QIcon icon;
    for (int size : kSizes)
        icon.addFile(QStringLiteral(":/icons/%1/tavipaste.png").arg(size), QSize(size, size));
    return icon;
}

void install() { QApplication::setWindowIcon(icon()); }

} // namespace AppIcon
