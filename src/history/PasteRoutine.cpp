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

void paste(TaviPBManager &manager, const QList<PBItem> &items, const std::optional<PBCategory> &category, Feedback feedback,
           Keystroke keystroke)
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
    const auto pasteWithKeystroke = [&] {
        tell(OperationType::quickPaste);
        // A copy-out that failed (the user is told) must not paste what was on the clipboard before.
        if (!manager.copy(items, category))
            return;
        AppActivation::hide();
        AppActivation::unhideWithoutActivation();
        KeyEventPoster::shared().postPasteKeystroke();
    };
    if (keystroke == Keystroke::always) {
        pasteWithKeystroke();
        return;
    }
    if (TaviSettings::shared().quickPasteEnable()) {
        if (!AccessibilityTrust::shared().isProcessTrusted(true)) {
            // The permission window says the items are copied for the user to paste: they are.
            AccessibilityPermissionWindowController::copyInsteadOfPasting(manager, items, category);
            return;
        }
        pasteWithKeystroke();
        return;
    }
    tell(OperationType::paste);
    manager.copy(items, category);
    AppActivation::hide();
    AppActivation::unhideWithoutActivation();
}

} // namespace PasteRoutine
