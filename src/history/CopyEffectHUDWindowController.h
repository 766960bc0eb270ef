#pragma once
// The panel that acknowledges a paste: a rounded, translucent panel in the middle of the screen
// with an animated check mark, the operation's text and, for several items, their count. It
// never takes the focus, so a paste keystroke still reaches the program the user works in, and it
// closes itself one second after each showing. GUI thread.

#include "platform/DispatchQueue.h"
#include "shell/FeedbackPanel.h"

#include <QWidget>

class CheckMarkView;
class QLabel;

class CopyEffectHUDWindowController : public QWidget, public FeedbackPanel {
    Q_OBJECT
public:
    static constexpr int kCloseDelayMs = 1000;

    // The scheduler runs the closes (the main queue's timers unless a test gives another).
    explicit CopyEffectHUDWindowController(QWidget *parent = nullptr,
                                           DelayedScheduler scheduler = MainQueue::scheduler());

    QLabel *label() const override { return m_label; }
    QLabel *itemsCountLabel() const override { return m_itemsCountLabel; }
    QWidget *window() override { return this; }
    // Shows the panel; a close is scheduled 1 s later, and an earlier one is not cancelled.
    void showWindow() override;

    CheckMarkView *checkView() const { return m_checkView; }
    void animateCheckMark();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void windowDidLoad();

    QLabel *m_itemsCountLabel = nullptr;
    QLabel *m_label = nullptr;
    CheckMarkView *m_checkView = nullptr;
    DelayedScheduler m_scheduler;
};
