#pragma once
// What the user sees and hears after a copy or a paste: the sound, the feedback panel with its
// label and count, and the status icon's animation. The panel comes from its nib; without it only
// the sound and the animation remain.

#include "shell/OperationType.h"

#include <QObject>

#include <memory>

class FeedbackPanel;
class StatusIcon;
class TaviSettings;

class OperationFeedback : public QObject {
    Q_OBJECT
public:
    OperationFeedback(TaviSettings &settings, StatusIcon &statusIcon, QObject *parent = nullptr);
    ~OperationFeedback() override;

    // Any thread: the sound plays at once, the panel and the animation on the main queue.
    void show(OperationType operation, bool hideHUD, int count);
    FeedbackPanel *panel() const { return m_panel; }

private:
    TaviSettings &m_settings;
    StatusIcon &m_statusIcon;
    FeedbackPanel *m_panel = nullptr;
    std::unique_ptr<QObject> m_panelOwner;
};
