#include "history/NamedImages.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
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
        icon = QIcon::fromTheme(QStringLiteral("accessories-text-editor"), style->standardIcon(QStyle::SP_FileDialogDetailedView));
    else if (name == QLatin1String("email"))
        icon = QIcon::fromTheme(QStringLiteral("mail-message"), style->standardIcon(QStyle::SP_MessageBoxInformation));
    else if (name == QLatin1String("ic_appicon_missing"))
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"), style->standardIcon(QStyle::SP_DesktopIcon));
    const QPixmap pixmap = icon.pixmap(size, size);
    images.insert(key, pixmap);
    return pixmap;
}
