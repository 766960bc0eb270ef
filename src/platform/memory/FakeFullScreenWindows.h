#pragma once
// Full-screen windows for tests: a test says which screens are covered.

#include "platform/FullScreenWindows.h"

#include <QSet>

class FakeFullScreenWindows : public FullScreenWindows {
    Q_OBJECT
public:
    bool coversScreen(const QScreen *screen) const override { return m_covered.contains(screen); }
    void setCovered(const QScreen *screen, bool covered);

private:
    QSet<const QScreen *> m_covered;
};
