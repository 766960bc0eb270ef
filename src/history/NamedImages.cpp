#include "history/NamedImages.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QStyle>

QPixmap namedImage(const QString &name, int size)
{
    static QHash<QString, QPixmap> images;
    const QString key = name + QLatin1Char('@') + QString::number(size);
    if (const auto found = images.constFind(key); found != images.constEnd())
        return *found;
    QIcon icon;
    QStyle *style = QApplication::style();
    if (name == QLatin1String("website_default"))
        icon = QIcon::fromTheme(QStringLiteral("text-html"), style->standardIcon(QStyle::SP_DriveNetIcon));
    else if (name == QLatin1String("df_image"))
        icon = QIcon::fromTheme(QStringLiteral("image-x-generic"), style->standardIcon(QStyle::SP_FileIcon));
    else if (name == QLatin1String("noteIcon"))
        icon = QIcon::fromTheme(QStringLiteral("accessories-text-editor"),
                                style->standardIcon(QStyle::SP_FileDialogDetailedView));
    else if (name == QLatin1String("email"))
        icon = QIcon::fromTheme(QStringLiteral("mail-message"), style->standardIcon(QStyle::SP_MessageBoxInformation));
    else if (name == QLatin1String("ic_appicon_missing"))
        icon =
            QIcon::fromTheme(QStringLiteral("application-x-executable"), style->standardIcon(QStyle::SP_DesktopIcon));
    const QPixmap pixmap = icon.pixmap(size, size);
    images.insert(key, pixmap);
    return pixmap;
}

namespace {
QPixmap painted(const QIcon &shape, const QColor &color, int size, qreal ratio)
{
    QPixmap pixmap = shape.pixmap(QSize(size, size), ratio);
    if (pixmap.isNull())
        return pixmap;
    // The symbol's shape in the colour asked for, whatever colour the theme drew it in.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}
} // namespace

QIcon symbolIcon(const QString &name, const QColor &color, int size)
{
    const QString themeName = name == QLatin1String("trash") ? QStringLiteral("user-trash-symbolic")
                                                             : QStringLiteral("window-close-symbolic");
    const QIcon shape = QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/assets/images/%1.svg").arg(name)));
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QColor faded = color;
    faded.setAlphaF(color.alphaF() * 0.35);
    QIcon icon;
    icon.addPixmap(painted(shape, color, size, ratio), QIcon::Normal);
    icon.addPixmap(painted(shape, faded, size, ratio), QIcon::Disabled);
    return icon;
}
