#pragma once
// A session bus of the benchmark's own, so that another TaviPaste on the user's bus cannot take
// the place of the one measured.

#include <QProcess>
#include <QString>

namespace Bench {

// Starts the bus in `bus`; its address, empty when it did not start.
inline QString startBus(QProcess &bus)
{
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!bus.waitForStarted(5000) || !bus.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(bus.readLine().trimmed());
}

} // namespace Bench
