#include "colorbar/PBScreenMonitor.h"

#include "core/NotificationPayloads.h"
#include "core/ScreenExtensions.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"

#include <QGuiApplication>
#include <QScreen>

PBScreenMonitor &PBScreenMonitor::shared()
{
    static PBScreenMonitor *monitor = new PBScreenMonitor; // outlives every window that asks
    return *monitor;
}

PBScreenMonitor::PBScreenMonitor()
{
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::screenRemoved, this, &PBScreenMonitor::screenRemoved);
}

PBScreenMonitor::~PBScreenMonitor() { stopMonitoring(); }

QScreen *PBScreenMonitor::currentScreen() const
{
    if (TaviSettings::shared().barScreenOption() == PBColorBarDisplayScreenOption::specific) {
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (screens.isEmpty())
            return nullptr;
        QScreen *selected = screenWithNumber(quint32(TaviSettings::shared().selectedScreenID()));
        return selected ? selected : screens.first();
    }
    return m_currentScreen.data();
}

void PBScreenMonitor::setCurrentScreen(QScreen *screen)
{
    if (!screen && m_currentScreen)
        return;
    QScreen *previous = currentScreen();
    m_currentScreen = screen;
    QScreen *current = currentScreen();
    if (!current || current == previous)
        return;
    NotificationCenter::defaultCenter().post(NotificationName::activeScreenDidChange, nullptr,
                                             NotificationPayload::ActiveScreen::encode(current));
}

void PBScreenMonitor::updateCurrentScreen(const QRect &windowFrame)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(windowFrame)) {
            setCurrentScreen(screen);
            return;
        }
    }
}

void PBScreenMonitor::startMonitoring()
{
    MouseUpMonitor &monitor = MouseUpMonitor::shared();
    const QPointer<PBScreenMonitor> self(this);
    const auto handler = [self](QPoint position) {
        if (self)
            self->handleMouseUp(position);
    };
    if (m_localMonitor == 0)
        m_localMonitor = monitor.addLocalLeftMouseUpMonitor(handler);
    if (m_globalMonitor == 0)
        m_globalMonitor = monitor.addGlobalLeftMouseUpMonitor(handler);
}

void PBScreenMonitor::stopMonitoring()
{
    if (m_localMonitor != 0)
        MouseUpMonitor::shared().removeMonitor(m_localMonitor);
    if (m_globalMonitor != 0)
        MouseUpMonitor::shared().removeMonitor(m_globalMonitor);
    m_localMonitor = 0;
    m_globalMonitor = 0;
}

QScreen *PBScreenMonitor::screenUnderMouse(QPoint position) const
{
    if (QScreen *current = currentScreen(); current && current->geometry().contains(position))
        return current;
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(position))
            return screen;
    }
    return nullptr;
}

void PBScreenMonitor::handleMouseUp(QPoint position) { setCurrentScreen(screenUnderMouse(position)); }

void PBScreenMonitor::screenRemoved(QScreen *screen)
{
    if (screen != m_currentScreen.data())
        return;
    QScreen *replacement = barScreen ? barScreen() : nullptr;
    if (replacement == screen)
        replacement = nullptr;
    if (!replacement) {
        QScreen *primary = QGuiApplication::primaryScreen();
        replacement = primary != screen ? primary : nullptr;
    }
    m_currentScreen = nullptr;
    setCurrentScreen(replacement);
}
