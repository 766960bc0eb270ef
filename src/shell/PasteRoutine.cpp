#include "shell/PasteRoutine.h"

#include "capture/TaviPBManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/KeyEventPoster.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

namespace PasteRoutine {

void paste(TaviPBManager &manager, const QList<PBItem> &items, const std::optional<PBCategory> &category,
           Feedback feedback, Keystroke keystroke)
{
    if (items.isEmpty())
        return;
    const bool withKeystroke = keystroke == Keystroke::always || TaviSettings::shared().quickPasteEnable();
    if (withKeystroke && keystroke == Keystroke::followSetting
        && !AccessibilityTrust::shared().isProcessTrusted(true)) {
        // The permission window says the items are copied for the user to paste: they are.
        AccessibilityPermissionWindowController::copyInsteadOfPasting(manager, items, category);
        return;
    }
    // A copy-out that failed (the user is told) is neither announced nor pasted: the keystroke
    // would paste what was on the clipboard before.
    if (!manager.copy(items, category))
        return;
    const OperationType operation = withKeystroke ? OperationType::quickPaste : OperationType::paste;
    const auto show = [operation, count = int(items.size())] {
        if (AppDelegate *delegate = AppDelegate::shared())
            delegate->showFeedback(operation, false, count);
    };
    if (feedback == Feedback::immediate)
        show();
    else
        MainQueue::async(show);
    // Step aside before the keystroke, so that it reaches the window the user works in and not
    // one of ours (the quick-paste panel, the list).
    AppActivation::hide();
    AppActivation::unhideWithoutActivation();
    if (withKeystroke)
        KeyEventPoster::shared().postPasteKeystroke();
}

} // namespace PasteRoutine
