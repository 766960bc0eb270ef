#pragma once
// The what's-new window. Reports how long it stayed open ("WhatsNew_Session") each time it is
// closed after being shown, timed on a monotonic clock. GUI thread.

#include <QElapsedTimer>
#include <QWidget>

class WhatsnewViewController;

class WhatsnewWindowController : public QWidget {
    Q_OBJECT
public:
    explicit WhatsnewWindowController(QWidget *parent = nullptr);

    WhatsnewViewController *viewController() const { return m_viewController; }
    // Sends the seconds since the window was shown; nothing when it was not shown since the
    // last report.
    void reportSession();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    WhatsnewViewController *m_viewController = nullptr;
    QElapsedTimer m_shownFor;
};
