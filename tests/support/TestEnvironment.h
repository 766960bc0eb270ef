#pragma once
// Every test process runs with its own temporary XDG folders; a test that needs fresh ones
// within the process uses ScopedXdgHome.

#include <QString>
#include <QTemporaryDir>

class ScopedXdgHome {
public:
    ScopedXdgHome();
    ~ScopedXdgHome();
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved[4];
};

// Pumps the Qt event loop until condition holds or timeoutMs passes; returns the condition.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 2000);
