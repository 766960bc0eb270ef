#include "shell/AuthorizerManager.h"

#include "core/TPBookMarkCacher.h"
#include "platform/Bookmark.h"
#include "platform/Analytics.h"
#include "platform/Paths.h"
#include "shell/AppDelegate.h"
#include "shell/TaviPermissionViewController.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace {
// Where the popover goes: centred under the anchor, or over it when the anchor is near the
// bottom of its screen; kept on that screen.
QPoint popoverPosition(const QRect &anchor, const QSize &size)
{
    const QPoint reference = anchor.isEmpty() ? QCursor::pos() : anchor.center();
    QScreen *screen = QGuiApplication::screenAt(reference);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect bottomEdge = anchor.isEmpty() ? QRect(reference, QSize(1, 1)) : anchor;
    QPoint position(reference.x() - size.width() / 2, bottomEdge.bottom() + 6);
    if (!screen)
        return position;
    const QRect available = screen->availableGeometry();
    if (position.y() + size.height() > available.bottom())
        position.setY(bottomEdge.top() - 6 - size.height());
    position.setX(
        std::clamp(position.x(), available.left(), std::max(available.left(), available.right() - size.width())));
    position.setY(
        std::clamp(position.y(), available.top(), std::max(available.top(), available.bottom() - size.height())));
    return position;
}
} // namespace

AuthorizerManager &AuthorizerManager::shared()
{
    static AuthorizerManager manager;
    return manager;
}

AuthorizerManager::AuthorizerManager() : isReadable(&Bookmark::startAccessing) {}

std::optional<QString> AuthorizerManager::folderNeedingAuthorization(const QList<PasteboardItem> &items) const
{
    const TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    if (cacher.hasBookMark(Paths::homeDirectoryPath()) || cacher.hasBookMark(authorizedRootPath()))
        return std::nullopt;
    for (const PasteboardItem &item : items) {
        const std::optional<QByteArray> data = item.data(PasteboardType::fileURL);
        const QUrl url = data ? QUrl(QString::fromUtf8(*data), QUrl::StrictMode) : QUrl();
        if (!url.isValid() || !url.isLocalFile())
            continue;
        const QFileInfo file(QDir::cleanPath(url.toLocalFile()));
        // A file that is gone has nothing to grant.
        if (!file.exists() || isReadable(file.absoluteFilePath()))
            continue;
        const QString folder = file.absolutePath();
        if (cacher.hasBookMark(folder))
            return std::nullopt;
        return folder;
    }
    return std::nullopt;
}

TaviPermissionViewController *AuthorizerManager::popover() const { return m_popover; }

QFileDialog &AuthorizerManager::openPanel()
{
    if (AppDelegate *delegate = AppDelegate::shared())
        return delegate->openPanel();
    if (!m_ownPanel)
        m_ownPanel = new QFileDialog;
    return *m_ownPanel;
}

void AuthorizerManager::show(const QRect &anchor, const std::optional<QString> &path)
{
    Analytics::trackEvent(QStringLiteral("Authorizer_Show"));
    m_senderObject = anchor;
    if (m_popover && !m_popover->panel())
        delete m_popover; // its folder dialog went with the delegate that owned it
    if (!m_popover)
        m_popover = new TaviPermissionViewController(&openPanel());
    if (path)
        m_popover->initialPath = *path;
    m_popover->updateTexts();
    m_popover->move(popoverPosition(anchor, m_popover->size()));
    m_popover->showWindow();
}

void AuthorizerManager::close()
{
    if (m_popover)
        m_popover->close();
}
