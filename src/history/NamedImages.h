#pragma once
// The named images of the history windows ("ic_appicon_missing", "website_default", "noteIcon",
// "email", "df_image"), from the icon theme with a generic fallback of the style. GUI thread.

#include <QPixmap>
#include <QString>

QPixmap namedImage(const QString &name, int size = 32);
