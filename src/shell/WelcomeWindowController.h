#pragma once
// The welcome window: walks a new user through TaviPaste in five pages. Shown on the first
// launch and from the status menu's help. GUI thread.

#include <QWidget>

class PBPageController;

class WelcomeWindowController : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeWindowController(QWidget *parent = nullptr);
    PBPageController *pageController() const { return m_pageController; }

private:
    PBPageController *m_pageController = nullptr;
};
