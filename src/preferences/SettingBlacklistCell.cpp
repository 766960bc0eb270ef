#include "preferences/SettingBlacklistCell.h"

#include "core/TaviSettings.h"
#include "platform/DesktopEntries.h"
#include "platform/Strings.h"
#include "preferences/SecondaryText.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

SettingBlacklistCell::SettingBlacklistCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settingBlacklistCell"));
    setFixedHeight(kRowHeight);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 2);
    appIconView = new QLabel(this);
    appIconView->setFixedSize(28, 28);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(0);
    textField = new QLabel(this);
    idField = new QLabel(this);
    QFont small = idField->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    idField->setFont(small);
    SecondaryText::apply(idField, SecondaryText::Kind::Help, QPalette::NoRole,
                         {QPalette::Base, QPalette::AlternateBase});
    texts->addWidget(textField);
    texts->addWidget(idField);
    row->addWidget(appIconView);
    row->addLayout(texts, 1);
    // Clicks select the row of the table beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString SettingBlacklistCell::displayName(const QString &appId, bool *installed)
{
    if (installed)
        *installed = false;
    if (appId == TaviSettings::kKeychainAccessId)
        return L("Settings.Blacklist.PasswordManagers");
    if (const std::optional<DesktopEntry> entry = DesktopEntries::shared().byId(appId)) {
        if (installed)
            *installed = true;
        return entry->name.isEmpty() ? appId : entry->name;
    }
    return appId;
}

QIcon SettingBlacklistCell::icon(const QString &appId)
{
    const QIcon generic = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                           QApplication::style()->standardIcon(QStyle::SP_DesktopIcon));
    if (appId == TaviSettings::kKeychainAccessId)
        return QIcon::fromTheme(QStringLiteral("dialog-password"), generic);
    const std::optional<DesktopEntry> entry = DesktopEntries::shared().byId(appId);
    if (!entry || entry->icon.isEmpty())
        return generic;
    if (QFileInfo(entry->icon).isAbsolute()) {
        const QIcon file(entry->icon);
        return file.isNull() ? generic : file;
    }
    return QIcon::fromTheme(entry->icon, generic);
}

void SettingBlacklistCell::configure(const QString &id)
{
    appId = id;
    bool installed = false;
    textField->setText(displayName(id, &installed));
    if (id == TaviSettings::kKeychainAccessId)
        idField->setText(L("Settings.Blacklist.PasswordManagers.detail"));
    else
        idField->setText(installed ? id : L("Settings.Blacklist.NotInstalled"));
    appIconView->setPixmap(icon(id).pixmap(28, 28));
}
