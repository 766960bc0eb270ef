#pragma once
// What the history tells the rest of the program about its problems: a problem the user must be
// told, in plain words, and the running count of copies lost this session. Told from any thread;
// the signals are always emitted on the main thread (at once there, or without an application).

#include <QObject>
#include <QSet>
#include <QString>

#include <mutex>

// Remembers which problems the user was told about, so each is told once. Any thread.
class ToldOnce {
public:
    // True the first time a cause is asked about (until forgetAll()).
    bool isFirst(const QString &cause);
    void forgetAll();
    bool isEmpty() const;

private:
    mutable std::mutex m_mutex;
    QSet<QString> m_told;
};

class HistoryProblems : public QObject {
    Q_OBJECT
public:
    // Any thread.
    void tell(const QString &title, const QString &text);
    void tellCopiesLost(qint64 total);

Q_SIGNALS:
    // What the user must be told, and its title.
    void problemOccurred(const QString &title, const QString &text);
    // How many copies were lost this session.
    void copiesLost(qint64 total);
};
