#pragma once
// Crash and usage reporting. Events are named with text properties and kept in local JSON-lines
// files under $XDG_STATE_HOME/TaviPaste/analytics; crash reports (signal and backtrace) go to
// .../crashes and are mentioned in the log on the next launch. Nothing leaves the machine.

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

using EventProperties = QMap<QString, QString>;

namespace Analytics {

enum class Service { Analytics, Crashes };

void setCountryCode(const QString &code);
// Starts the services in the order given; installs the crash hook when Crashes is among them.
// Returns the crash reports of earlier sessions that had not been reported yet.
QStringList start(const QString &appSecret, const QList<Service> &services);
bool isStarted();
// Forgets the start and puts back the signal handlers the crash hook replaced, so that a test
// process starts the services afresh. Main thread.
void resetForTesting();

// Returns at once, never fails towards the caller. Any thread.
void trackEvent(const QString &name, const EventProperties &properties = {});

// Receives every tracked event (tests). Pass an empty function to remove.
using EventObserver = std::function<void(const QString &name, const EventProperties &properties)>;
void setEventObserver(EventObserver observer);

// Waits until tracked events are on disk.
void flush();

QString eventsDirectory();
QString crashDirectory();

} // namespace Analytics
