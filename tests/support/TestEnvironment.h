#pragma once
// Every test process runs with its own temporary XDG folders; a test that needs fresh ones
// within the process uses ScopedXdgHome, which also forgets the settings, the cloud store and the
// analytics start that belonged to the folders before and after it.

#include <QImage>
#include <QList>
#include <QMap>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
// Points and rectangles in screen terms: "x,y" and "x,y wxh".
inline void PrintTo(const QPoint &point, std::ostream *out) { *out << point.x() << ',' << point.y(); }
inline void PrintTo(const QRect &rect, std::ostream *out)
{
    *out << rect.x() << ',' << rect.y() << ' ' << rect.width() << 'x' << rect.height();
}

class ScopedXdgHome {
public:
    ScopedXdgHome();
    ~ScopedXdgHome();
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved[4];
};

// The image encoded as PNG, as a program would put it on the clipboard.
QByteArray pngOf(const QImage &image);

// The folders and files under the roots (the roots included) that are not private: a folder not
// 0700, a file not 0600; each with its mode. Symbolic links are not followed.
QStringList entriesWiderThanPrivate(const QStringList &roots);

// Pumps the Qt event loop until condition holds or timeoutMs passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

// Returns once a timer of this thread started now for the interval has fired, and with it every
// timer due before it; false when it has not fired within the timeout. For showing that something
// timed did not happen (a stopped animation, a cancelled delay) without guessing how long a loaded
// machine needs.
bool waitPastTimersDueWithin(int intervalMs, int timeoutMs = 30000);

// Removes the folder when the process's tests have ended: for the home of a harness kept for the
// whole process, never destroyed (so its QTemporaryDir would stay behind).
void removeWhenTheTestsEnd(const QString &folder);
// Removes those folders; the shared main calls it once the application object is gone, so that
// nothing written while the application ends makes them again.
void removeFoldersLeftForTheEnd();

// Returns once the wall clock reads a later millisecond than at the call, so that the next time
// stamp differs from every earlier one.
void waitForTheClockToMove();

// Makes the running program report another version while it lives.
class ScopedAppVersion {
public:
    explicit ScopedAppVersion(const QString &version);
    ~ScopedAppVersion();

private:
    QString m_saved;
};

// Records the analytics events tracked while it lives.
class RecordedEvents {
public:
    struct Event {
        QString name;
        QMap<QString, QString> properties;
    };
    RecordedEvents();
    ~RecordedEvents();
    QList<Event> events() const;
    QList<Event> named(const QString &name) const;

private:
    std::shared_ptr<struct RecordedEventsState> m_state;
};
