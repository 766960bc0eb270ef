#include "shell/TaviMenuBarController.h"

#include "capture/ItemTitle.h"
#include "capture/PBItemRecordConversion.h"
#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "shell/AppDelegate.h"
#include "shell/AutoLaunchHintWindowController.h"
#include "shell/MakerService.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

namespace {

const char *const kOpening = "menuNeedsUpdate(_:)";

// The menu shows the key in the program's own words ("Super", never the toolkit's "Meta"): the
// text after a tab is what a menu shows as the entry's key.
void setEntryKey(QAction *entry, const QString &title, const Shortcut &shortcut)
{
    entry->setShortcut(shortcut.keySequence());
    entry->setText(title + QLatin1Char('\t') + shortcut.displayText());
}

} // namespace

TaviMenuBarController::TaviMenuBarController(AppDelegate &delegate, QObject *parent)
    : QObject(parent),
      m_delegate(delegate),
      m_menu(std::make_unique<QMenu>())
{
    m_menu->setObjectName(QStringLiteral("statusBarMenu"));
    m_menu->setWindowTitle(QStringLiteral("TaviPaste Menu"));
    m_menu->addSeparator();
    pauseBtnItem = addFixedEntry("StatusBarMenu.Pause.title", &TaviMenuBarController::pasueItemAction);
    clearAllMenuItem = addFixedEntry("StatusBarMenu.ClearAll.title", &TaviMenuBarController::clearAllItemAction);
    m_menu->addSeparator();
    addFixedEntry("StatusBarMenu.Preferences.title", &TaviMenuBarController::preferencesItemAction);
    checkUpdateMenuItem = addFixedEntry("StatusBarMenu.CheckUpdate.title", &TaviMenuBarController::checkUpdateAction);
    addFixedEntry("StatusBarMenu.Help.title", &TaviMenuBarController::showHelpAction);
    contactMenuItem = addFixedEntry("StatusBarMenu.Contact.title", &TaviMenuBarController::contactUsItemAction);
    feedbackMenuItem = addFixedEntry("StatusBarMenu.Feedback.title", &TaviMenuBarController::feedbackItemAction);
    moreToolsMenuItem = addFixedEntry("StatusBarMenu.MoreTools.title", &TaviMenuBarController::moreToolsItemAction);
    addFixedEntry("StatusBarMenu.About.title", &TaviMenuBarController::aboutItemAction);
    m_menu->addSeparator();
    addFixedEntry("StatusBarMenu.Quit.title", &TaviMenuBarController::quitItemAction);
    checkUpdateMenuItem->setVisible(true);
    updateServiceEntries();

    m_menu->installEventFilter(this);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TaviMenuBarController::menuNeedsUpdate);
    connect(m_menu.get(), &QMenu::aboutToHide, this, &TaviMenuBarController::menuDidClose);
}

TaviMenuBarController::~TaviMenuBarController() { delete autoLaunchHintWC; }

QAction *TaviMenuBarController::addFixedEntry(const char *titleKey, void (TaviMenuBarController::*action)())
{
    QAction *entry = m_menu->addAction(L(titleKey));
    entry->setObjectName(QString::fromLatin1(titleKey));
    connect(entry, &QAction::triggered, this, action);
    return entry;
}

int TaviMenuBarController::tag(const QAction *entry) { return entry ? entry->data().toInt() : 0; }

void TaviMenuBarController::updateServiceEntries()
{
    const bool hasService = MakerService::isConfigured();
    checkUpdateMenuItem->setVisible(hasService);
    contactMenuItem->setVisible(hasService);
    moreToolsMenuItem->setVisible(hasService);
    feedbackMenuItem->setVisible(hasService && !MakerService::feedbackRecipients().isEmpty());
}

void TaviMenuBarController::menuNeedsUpdate()
{
    LOG_DEBUG(kOpening, QStringLiteral("--> Start Open Menubar"));
    updateServiceEntries();
    if (const std::optional<Shortcut> clearAll = ShortcutBinder::shared().shortcut(AppDelegate::kClearAllShortcutKey))
        setEntryKey(clearAllMenuItem, L("StatusBarMenu.ClearAll.title"), *clearAll);

    for (QAction *entry : m_menu->actions()) {
        if (tag(entry) >= kItemTagBase) {
            m_menu->removeAction(entry);
            delete entry;
        }
    }
    // Nine digit keys exist, whatever the capacity setting holds.
    const int capacity = std::clamp(TaviSettings::shared().menuHistoryCapacity(), 0, kMaximumItems);
    // The list's page read (pinned first, then newest), as the digit keys read it: rebuilding the
    // store's lists would count the whole history while the menu opens.
    lastItems =
        capacity > 0 ? m_delegate.pbManager.getItemsPage(TaviPBManager::ListQuery{}, 0, capacity) : QList<PBItem>();
    if (!lastItems.isEmpty()) {
        // The global digit keys would take the menu's own keys while it shows.
        m_delegate.unregisterQuickSelectionShortcuts();
        const quint32 modifier = AppDelegate::quickSelectionModifier();
        QAction *before = m_menu->actions().value(0);
        for (qsizetype i = 0; i < lastItems.size() && i < kMaximumItems; ++i) {
            const PBItem &item = lastItems.at(i);
            if (!item.dataProvider())
                continue;
            auto *entry = new QAction(m_menu.get());
            entry->setData(kItemTagBase + int(i));
            setEntryKey(entry, menuTitle(itemTitle(item, kMaximumTitleLength)),
                        Shortcut(AppDelegate::kDigitKeyCodes[i], modifier));
            entry->setShortcutVisibleInContextMenu(true);
            connect(entry, &QAction::triggered, this, [this, entry] { pasteItem(entry); });
            m_menu->insertAction(before, entry);
        }
    }
    LOG_DEBUG(kOpening, QStringLiteral("<-- Did Open Menubar"));
}

bool TaviMenuBarController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_menu.get() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *press = static_cast<QKeyEvent *>(event);
    const QKeySequence pressed(QKeyCombination(press->modifiers() & ~Qt::KeypadModifier, Qt::Key(press->key())));
    for (QAction *entry : m_menu->actions()) {
        if (tag(entry) >= kItemTagBase && entry->shortcut() == pressed) {
            m_menu->hide();
            entry->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TaviMenuBarController::menuDidClose()
{
    if (TaviSettings::shared().enableQuickSelection())
        m_delegate.requestQuickSelectionRefresh();
}

QString TaviMenuBarController::menuTitle(const QString &title)
{
    QString escaped = title;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

void TaviMenuBarController::pasteItem(QAction *entry)
{
    const int index = tag(entry) - kItemTagBase;
    if (index < 0 || index >= lastItems.size())
        return;
    m_delegate.pasteItem(lastItems.at(index));
    if (SearchHUDIntroWindowController *tip = m_delegate.searchTipWC())
        tip->showIfNeeded();
}

// --- Fixed entries

void TaviMenuBarController::preferencesItemAction()
{
    if (auto &show = ShellSeams::shared().showPreferencesWindow)
        show();
}

void TaviMenuBarController::clearAllItemAction() { m_delegate.showClearAllAlert(); }

void TaviMenuBarController::checkUpdateAction()
{
    Analytics::trackEvent(QStringLiteral("Update_Action"), {{QStringLiteral("action"), QStringLiteral("checkUpdate")}});
    auto &check = ShellSeams::shared().checkUpdate;
    if (!check) {
        showUpdateResult(false, QString());
        return;
    }
    const QPointer<TaviMenuBarController> self(this);
    check([self](bool hasUpdate, const std::optional<QString> &text) {
        if (self)
            self->showUpdateResult(hasUpdate, text.value_or(QString()));
    });
}

void TaviMenuBarController::showUpdateResult(bool hasUpdate, const QString &text)
{
    if (!hasUpdate) {
        showAlert(text.isEmpty() ? QStringLiteral("Error") : text, QString(), QStringLiteral("OK"), std::nullopt,
                  nullptr, AlertStyle::informational);
        return;
    }
    if (auto &page = ShellSeams::shared().downloadPageURL)
        openExternalURL(page());
}

void TaviMenuBarController::showHelpAction() { m_delegate.showWelcomeWindow(); }

void TaviMenuBarController::contactUsItemAction() { openExternalURL(MakerService::supportURL()); }

void TaviMenuBarController::moreToolsItemAction()
{
    Analytics::trackEvent(QStringLiteral("ClickMoreTools"), {{QStringLiteral("Source"), QStringLiteral("menu")}});
    openExternalURL(MakerService::websiteURL());
}

void TaviMenuBarController::feedbackItemAction()
{
    const QStringList recipients = MakerService::feedbackRecipients();
    if (recipients.isEmpty()) {
        LOG_INFO("feedbackItemAction(_:)", QStringLiteral("No support address is configured: no feedback mail"));
        return;
    }
    openExternalURL(
        feedbackMailURL(recipients, QStringLiteral("Feedback of TaviPaste"), MakerService::feedbackMailBody()));
}

QUrl TaviMenuBarController::feedbackMailURL(const QStringList &recipients, const QString &subject, const QString &body)
{
    QByteArrayList to;
    for (const QString &recipient : recipients)
        to.append(QUrl::toPercentEncoding(recipient, "@"));
    const QByteArray encoded = "mailto:" + to.join(',') + "?subject=" + QUrl::toPercentEncoding(subject)
                               + "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

bool TaviMenuBarController::openExternalURL(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const bool allowed =
        url.isValid()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"));
    if (!allowed) {
        LOG_WARNING("openExternalURL(_:)",
                    url.isEmpty() ? QStringLiteral("No address to open")
                                  : QStringLiteral("Refused to open an address of scheme \"%1\"").arg(scheme));
        return false;
    }
    return Workspace::shared().openUrl(url);
}

void TaviMenuBarController::aboutItemAction() { m_delegate.aboutMenuItemAction(); }

void TaviMenuBarController::pasueItemAction()
{
    TaviPBManager &manager = m_delegate.pbManager;
    manager.setPaused(!manager.isPaused());
    NotificationCenter::defaultCenter().post(NotificationName::didChangedPasteEnableState);
    pauseBtnItem->setText(manager.isPaused() ? L("StatusBarMenu.Resume.title") : L("StatusBarMenu.Pause.title"));
    LOG_INFO("pasueItemAction(_:)",
             manager.isPaused() ? QStringLiteral("Capture paused") : QStringLiteral("Capture resumed"));
}

void TaviMenuBarController::quitItemAction()
{
    const auto &settings = TaviSettings::shared();
    if (settings.noAutoLaunchHint() || settings.isAutoLaunch()) {
        m_delegate.terminate();
        return;
    }
    delete autoLaunchHintWC;
    autoLaunchHintWC = new AutoLaunchHintWindowController(m_delegate);
    autoLaunchHintWC->present();
}
