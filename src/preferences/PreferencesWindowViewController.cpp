#include "preferences/PreferencesWindowViewController.h"

#include "controls/SceneRegistry.h"
#include "platform/Strings.h"
#include "preferences/PreferenceTabViewController.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace {
PreferencesWindowViewController *g_controller = nullptr;
} // namespace

PreferencesWindowViewController::PreferencesWindowViewController(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("PreferenceWindowController"));
    setWindowTitle(L("Settings.Window.title"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    m_tabs = new PreferenceTabViewController(this);
    layout->addWidget(m_tabs);
    resize(760, 640);
}

void PreferencesWindowViewController::showWindow()
{
    show();
    raise();
    activateWindow();
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

PreferencesWindowViewController *preferencesWindowController() { return g_controller; }

void showPreferencesWindow()
{
    if (!g_controller)
        g_controller = SceneRegistry::shared().instantiate<PreferencesWindowViewController>(
            QStringLiteral("Preferences"), QStringLiteral("PreferenceWindowController"));
    if (g_controller)
        g_controller->showWindow();
}

bool selectPreferencesTab(int index)
{
    if (!g_controller || !g_controller->contentViewController())
        return false;
    PreferenceTabViewController *tabs = g_controller->contentViewController();
    if (index < 0 || index >= tabs->count())
        return false;
    tabs->setSelectedTabViewItemIndex(index);
    return true;
}

void resetPreferencesWindowController()
{
    delete g_controller;
    g_controller = nullptr;
}
