#pragma once
// Folder access for the files the user copies. Reading a file is its permission here: a folder is
// asked for only when a copied file in it cannot be read, and the popover that asks shows at the
// tray icon (or at the pointer when the tray gives no position). GUI thread, but for
// folderNeedingAuthorization().

#include "platform/Pasteboard.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>

#include <optional>

class QFileDialog;
class TaviPermissionViewController;

class AuthorizerManager {
public:
    static AuthorizerManager &shared();

    // The folder of the first copied file that exists but cannot be read; nothing when every
    // file can be read, no item is a local file, or that folder, the home folder or the authorised
    // root is granted already. Any thread.
    std::optional<QString> folderNeedingAuthorization(const QList<PasteboardItem> &items) const;

    // Whether the program may read a location (tests replace it: root reads everything).
    std::function<bool(const QString &path)> isReadable;

    // Shows the popover below (or above) the anchor, a rectangle in screen coordinates; at the
    // pointer when the anchor is empty. A given path replaces the folder asked for.
    void show(const QRect &anchor, const std::optional<QString> &path);
    void close();

    // The popover, once made (tests).
    TaviPermissionViewController *popover() const;
    // The folder dialog the popover uses when no application delegate provides one (tests).
    QFileDialog &openPanel();

private:
    AuthorizerManager();

    QPointer<TaviPermissionViewController> m_popover;
    QRect m_senderObject;
    QPointer<QFileDialog> m_ownPanel;
};
