#include "history/PasteRoutine.h"

#include "capture/TaviPBManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/KeyEventPoster.h"
#include "platform/Log.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

namespace PasteRoutine {

void paste(TaviPBManager &manager, const QList<PBItem> &items, const std::optional<PBCategory> &category, Feedback feedback)
{
    if (items.isEmpty())
        return;
    const int count = int(items.size());
    const auto tell = [feedback, count](OperationType operation) {
        const auto show = [operation, count] {
            if (AppDelegate *delegate = AppDelegate::shared())
                delegate->showFeedback(operation, false, count);
        };
        if (feedback == Feedback::immediate)
            show();
        else
            MainQueue::async(show);
    };
    if (TaviSettings::shared().quickPasteEnable()) {
        if (AccessibilityTrust::shared().isProcessTrusted(true)) {
            tell(OperationType::quickPaste);
            manager.copy(items, category);
            AppActivation::hide();
            AppActivation::unhideWithoutActivation();
        } else {
            LOG_DEBUG("pasteItem(at:)", QStringLiteral("Please allow accessibility API access to this app."));
            AccessibilityPermissionWindowController::shared().present();
        }
        KeyEventPoster::shared().postPasteKeystroke();
        return;
    }
    tell(OperationType::paste);
    manager.copy(items, category);
    AppActivation::hide();
    AppActivation::unhideWithoutActivation();
}

} // namespace PasteRoutine
