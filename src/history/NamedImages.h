#pragma once
// The named images of the history windows ("ic_appicon_missing", "website_default", "noteIcon",
// "email", "df_image"), from the icon theme with a generic fallback of the style. GUI thread.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

QPixmap namedImage(const QString &name, int size = 32);

// A one-colour symbol of the list's header ("trash", "close") painted in the colour, and faded
// while disabled: the theme's symbolic icon, else the one the program brings.
QIcon symbolIcon(const QString &name, const QColor &color, int size = 16);
