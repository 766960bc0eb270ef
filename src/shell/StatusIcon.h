#pragma once
// The status icon in the desktop's tray: made or removed as "displayMenuBarButton" says, its
// image (normal, paused, the frames of the copy animation), its tooltip, the status menu on a
// click, and the window that says once where the menu is when there is no tray. GUI thread unless
// a function says otherwise.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QMenu;
class QMessageBox;
class QSystemTrayIcon;
class QTimer;
class TaviPBManager;
class TaviSettings;

class StatusIcon : public QObject {
    Q_OBJECT
public:
    // The menu, the index of the icon's showing and the animation's frame are the caller's: it
    // keeps them where others read them.
    StatusIcon(TaviPBManager &pbManager, TaviSettings &settings, QPointer<QMenu> &menu, int &index, int &frame,
               QObject *parent = nullptr);
    ~StatusIcon() override;

    void update();
    // Runs the copy animation once through its frames.
    void animate();
    bool isAnimating() const;
    // The program's name, and how many copies this session could not record when there were any.
    QString toolTip() const;
    // Any thread: the icon shows whether pasting is paused, on the main queue.
    void updatePasteEnableState();
    void tellMenuPlacesIfNoTray();

    QSystemTrayIcon *item() const { return m_item.get(); }
    QString imageName() const { return m_imageName; }
    QMessageBox *noTrayWindow() const;

private:
    void setImage(const QString &name);
    void tick();

    TaviPBManager &m_pbManager;
    TaviSettings &m_settings;
    QPointer<QMenu> &m_menu;
    int &m_index;
    int &m_frame;
    std::unique_ptr<QSystemTrayIcon> m_item;
    QString m_imageName;
    QTimer *m_animTimer = nullptr;
    QPointer<QMessageBox> m_noTrayWindow;
};
