#pragma once
// One page of the welcome window: a picture, a title and a short explanation. GUI thread.

#include "shell/PBTutorials.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;

class WelcomePageViewController : public QWidget {
    Q_OBJECT
public:
    explicit WelcomePageViewController(PBTutorials page, QWidget *parent = nullptr);

    PBTutorials page() const { return m_page; }
    QLabel *lblTitle = nullptr;
    QLabel *lblText = nullptr;

protected:
    // Where a page adds its own controls, below the text.
    QVBoxLayout *contentLayout() const { return m_layout; }

private:
    PBTutorials m_page;
    QVBoxLayout *m_layout = nullptr;
};
