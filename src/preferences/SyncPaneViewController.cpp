#include "preferences/SyncPaneViewController.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/sync/SyncFolder.h"
#include "core/sync/SyncSettings.h"
#include "platform/CloudAccount.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DispatchQueue.h"
#include "platform/Strings.h"
#include "preferences/SecondaryText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

SyncPaneViewController::SyncPaneViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("syncPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);

    auto *intro = new QLabel(L("Sync.Pane.intro"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *folderRow = new QHBoxLayout;
    m_folderField = new QLineEdit(this);
    m_folderField->setObjectName(QStringLiteral("syncFolderField"));
    m_folderField->setReadOnly(true);
    m_folderField->setPlaceholderText(L("Sync.Pane.noFolder"));
    m_chooseButton = new QPushButton(L("Sync.Pane.choose"), this);
    m_chooseButton->setObjectName(QStringLiteral("syncChooseButton"));
    folderRow->addWidget(m_folderField, 1);
    folderRow->addWidget(m_chooseButton);
    form->addRow(L("Sync.Pane.folder"), folderRow);
    m_passphraseField = new QLineEdit(this);
    m_passphraseField->setObjectName(QStringLiteral("syncPassphraseField"));
    m_passphraseField->setEchoMode(QLineEdit::Password);
    m_passphraseField->setPlaceholderText(L("Sync.Pane.passphrasePlaceholder"));
    form->addRow(L("Sync.Pane.passphrase"), m_passphraseField);
    for (QLineEdit *field : {m_folderField, m_passphraseField})
        SecondaryText::apply(field, SecondaryText::Kind::Help, QPalette::PlaceholderText, {QPalette::Base});
    layout->addLayout(form);

    auto *hint = new QLabel(L("Sync.Pane.passphraseHint"), this);
    hint->setWordWrap(true);
    SecondaryText::apply(hint, SecondaryText::Kind::Help);
    layout->addWidget(hint);

    m_enableBox = new QCheckBox(L("Sync.Pane.enable"), this);
    m_enableBox->setObjectName(QStringLiteral("syncEnableBox"));
    layout->addWidget(m_enableBox);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("syncStatusLabel"));
    m_statusLabel->setWordWrap(true);
    m_lastSyncLabel = new QLabel(this);
    m_lastSyncLabel->setObjectName(QStringLiteral("syncLastSyncLabel"));
    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("syncErrorLabel"));
    m_errorLabel->setWordWrap(true);
    SecondaryText::apply(m_errorLabel, SecondaryText::Kind::Warning);
    layout->addWidget(m_statusLabel);
    layout->addWidget(m_lastSyncLabel);
    layout->addWidget(m_errorLabel);
    layout->addStretch(1);

    connect(m_chooseButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getExistingDirectory(this, L("Sync.Pane.chooseTitle"), m_folderField->text());
        if (!path.isEmpty())
            chooseFolder(path);
    });
    connect(m_enableBox, &QCheckBox::clicked, this, &SyncPaneViewController::setSyncEnabled);

    const auto refreshLater = [this](const Notification &) {
        QMetaObject::invokeMethod(this, "refresh", Qt::QueuedConnection);
    };
    m_observers.observe(NotificationName::cloudSyncStateChanged, refreshLater);
    m_observers.observe(NotificationName::remoteDataChanged, refreshLater);
    m_observers.observe(CloudAccount::kAccountChangedNotification, refreshLater);
    m_observers.observe(CloudKeyValueStore::kDidChangeExternally, refreshLater);
    refresh();
}

SyncPaneViewController::~SyncPaneViewController() = default;

void SyncPaneViewController::chooseFolder(const QString &path)
{
    if (path == SyncSettings::folder())
        return;
    // Another folder is another account: sync stops until the passphrase for it is given.
    if (TaviSettings::shared().enableCloudSync())
        switchMirroring(false);
    SyncSettings::setFolder(path);
    SyncSettings::setKey(SyncKey());
    m_pendingError.clear();
    refresh();
}

void SyncPaneViewController::setSyncEnabled(bool enabled)
{
    m_pendingError.clear();
    if (!enabled) {
        switchMirroring(false);
        refresh();
        return;
    }
    const QString folder = SyncSettings::folder();
    if (folder.isEmpty()) {
        m_pendingError = L("Sync.Pane.chooseFirst");
        refresh();
        return;
    }
    const SyncKey key = SyncSettings::key();
    if (m_passphraseField->text().isEmpty() && key.isValid() && SyncFolder(folder).keyMatches(key)) {
        switchMirroring(true);
        refresh();
        return;
    }
    enableWithKey(folder, m_passphraseField->text());
}

void SyncPaneViewController::enableWithKey(const QString &folder, const QString &passphrase)
{
    m_busy = true;
    refresh();
    // Key derivation takes a noticeable moment and much memory: never on the GUI thread.
    const QPointer<SyncPaneViewController> self(this);
    GlobalQueue::async([self, folder, passphrase] {
        const SyncFolder::Joined joined = SyncFolder(folder).join(passphrase);
        MainQueue::async([self, folder, joined] {
            if (!self)
                return;
            self->m_busy = false;
            if (joined.key && SyncSettings::folder() == folder) {
                SyncSettings::setKey(*joined.key);
                self->m_passphraseField->clear();
                self->switchMirroring(true);
            } else if (joined.failure) {
                self->m_pendingError = joined.failure->message;
            }
            self->refresh();
        });
    });
}

void SyncPaneViewController::switchMirroring(bool on)
{
    TaviSettings::shared().setEnableCloudSync(on);
    CoreDataStack &stack = CoreDataStack::shared();
    stack.managedContext()->saveContext();
    stack.setupContainer();
}

void SyncPaneViewController::refresh()
{
    const QString folder = SyncSettings::folder();
    const bool enabled = TaviSettings::shared().enableCloudSync();
    m_folderField->setText(folder);
    m_enableBox->setChecked(enabled);
    m_enableBox->setEnabled(!m_busy);
    m_chooseButton->setEnabled(!m_busy);
    m_passphraseField->setEnabled(!m_busy);

    const SyncKey key = SyncSettings::key();
    const SyncFolder::Status status = SyncFolder(folder).status(key.isValid() ? &key : nullptr);
    QString state;
    if (m_busy)
        state = L("Sync.Pane.checking");
    else if (folder.isEmpty())
        state = L("Sync.Pane.stateNoFolder");
    else if (status.status == CloudAccountStatus::Available && key.isValid())
        state = enabled ? L("Sync.Pane.stateOn") : L("Sync.Pane.stateReady");
    else if (status.status == CloudAccountStatus::NoAccount && QFileInfo(folder).isDir())
        state = L("Sync.Pane.stateNew");
    else if (status.status == CloudAccountStatus::Available)
        state = L("Sync.Pane.stateNeedsPassphrase");
    else
        state = status.message;
    m_statusLabel->setText(state);

    const QDateTime last = TaviSettings::shared().lastSyncDate();
    m_lastSyncLabel->setText(last.isValid()
                                 ? L("Sync.Pane.lastSync").arg(QLocale().toString(last, QLocale::ShortFormat))
                                 : L("Sync.Pane.neverSynced"));
    const QString error =
        !m_pendingError.isEmpty() ? m_pendingError : (enabled ? SyncSettings::lastError() : QString());
    m_errorLabel->setText(error);
    m_errorLabel->setVisible(!error.isEmpty());
}
