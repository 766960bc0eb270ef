#pragma once
// Folder access for the files the user copies: decides which folder to ask for after a capture
// batch, and shows the popover that asks for it at the tray icon (or at the pointer when the tray
// gives no position). GUI thread.

#include "platform/Pasteboard.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>

#include <optional>

class QFileDialog;
class TaviPermissionViewController;

class AuthorizerManager {
public:
    static AuthorizerManager &shared();

    // The folder to ask for after a batch with these items; nothing when none is needed (the
    // home folder or the authorised root is bookmarked, or no item is a file).
    std::optional<QString> folderNeedingAuthorization(const QList<PasteboardItem> &items) const;

    // Shows the popover below (or above) the anchor, a rectangle in screen coordinates; at the
    // pointer when the anchor is empty. A given path replaces the folder asked for.
    void show(const QRect &anchor, const std::optional<QString> &path);
    void close();

    // The popover, once made (tests).
    TaviPermissionViewController *popover() const;
    // The folder dialog the popover uses when no application delegate provides one (tests).
    QFileDialog &openPanel();

private:
    AuthorizerManager() = default;

    QPointer<TaviPermissionViewController> m_popover;
    QRect m_senderObject;
    QPointer<QFileDialog> m_ownPanel;
};
