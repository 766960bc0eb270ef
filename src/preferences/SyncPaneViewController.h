#pragma once
// The Sync tab of the preferences window: the sync folder, the passphrase that seals what goes
// into it, the switch that turns sync on and off, and the account state, last sync time and last
// error in plain words. GUI thread.

#include "platform/NotificationCenter.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class SyncPaneViewController : public QWidget {
    Q_OBJECT
public:
    explicit SyncPaneViewController(QWidget *parent = nullptr);
    ~SyncPaneViewController() override;

    // Turns sync on with the folder and passphrase in the fields (the key is derived off the GUI
    // thread) or off at once. Tests call these as the controls do.
    void setSyncEnabled(bool enabled);
    void chooseFolder(const QString &path);
    bool isBusy() const { return m_busy; }

public Q_SLOTS:
    void refresh();

private:
    void enableWithKey(const QString &folder, const QString &passphrase);
    void switchMirroring(bool on);

    QLineEdit *m_folderField = nullptr;
    QPushButton *m_chooseButton = nullptr;
    QLineEdit *m_passphraseField = nullptr;
    QCheckBox *m_enableBox = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_lastSyncLabel = nullptr;
    QLabel *m_errorLabel = nullptr;
    bool m_busy = false;
    QString m_pendingError;
    ObserverBag m_observers;
};
