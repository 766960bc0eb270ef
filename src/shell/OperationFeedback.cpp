#include "shell/OperationFeedback.h"

#include "controls/SceneRegistry.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/SoundPlayer.h"
#include "platform/Strings.h"
#include "shell/FeedbackPanel.h"
#include "shell/StatusIcon.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <vector>

OperationFeedback::OperationFeedback(TaviSettings &settings, StatusIcon &statusIcon, QObject *parent)
    : QObject(parent),
      m_settings(settings),
      m_statusIcon(statusIcon)
{
    // A missing nib leaves the shell without panel.
    std::vector<QObject *> objects = SceneRegistry::shared().loadNib(QStringLiteral("HUDWindowController"));
    for (QObject *object : objects) {
        if (auto *panel = dynamic_cast<FeedbackPanel *>(object)) {
            m_panel = panel;
            m_panelOwner.reset(object);
        }
    }
    for (QObject *object : objects) {
        if (object != m_panelOwner.get())
            delete object;
    }
}

OperationFeedback::~OperationFeedback() = default;

void OperationFeedback::show(OperationType operation, bool hideHUD, int count)
{
    if (m_settings.needPlaySound())
        SoundPlayer::play(operation == OperationType::copy ? QStringLiteral("copy") : QStringLiteral("paste"));
    const QPointer<OperationFeedback> self(this);
    MainQueue::async([self, operation, hideHUD, count] {
        if (!self)
            return;
        FeedbackPanel *panel = self->m_panel;
        if (panel && self->m_settings.needShowHUD() && !hideHUD) {
            panel->showWindow();
            panel->window()->raise();
            if (count < 2) {
                panel->itemsCountLabel()->hide();
            } else {
                panel->itemsCountLabel()->show();
                panel->itemsCountLabel()->setText(L("HUD.ItemsCount.Label").arg(count));
            }
            if (operation == OperationType::paste)
                panel->label()->setText(L("HUD.Copied.Label"));
            else if (operation == OperationType::quickPaste)
                panel->label()->setText(L("HUD.Pasted.Label"));
        }
        self->m_statusIcon.animate();
    });
}
