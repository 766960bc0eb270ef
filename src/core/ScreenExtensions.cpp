#include "core/ScreenExtensions.h"

#include <QGuiApplication>
#include <QScreen>

quint32 screenNumber(const QScreen *screen)
{
    if (!screen)
        return 0;
    // FNV-1a of the connector name ("DP-1", "HDMI-A-0"): stable across runs, unlike qHash.
    const QByteArray name = screen->name().toUtf8();
    quint32 hash = 2166136261u;
    for (char c : name) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    hash &= 0x7fffffffu; // fits the signed integer the settings store
    return hash == 0 ? 1 : hash;
}

int indexOfScreenNumber(quint32 number)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i)
        if (screenNumber(screens.at(i)) == number)
            return i;
    return -1;
}

QScreen *screenWithNumber(quint32 number)
{
    const int index = indexOfScreenNumber(number);
    return index < 0 ? nullptr : QGuiApplication::screens().at(index);
}
