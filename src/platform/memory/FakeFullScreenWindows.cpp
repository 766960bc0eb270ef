#include "platform/memory/FakeFullScreenWindows.h"

void FakeFullScreenWindows::setCovered(const QScreen *screen, bool covered)
{
    if (covered)
        m_covered.insert(screen);
    else
        m_covered.remove(screen);
    Q_EMIT changed();
}
