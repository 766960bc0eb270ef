#pragma once
// The user's cloud account as the mirror sees it. The account is available when the sync folder
// is set and writable. Status queries answer through a completion (any thread); account changes
// are posted as kAccountChangedNotification on the default notification center.

#include <QString>

#include <functional>
#include <memory>
#include <optional>

enum class CloudAccountStatus {
    CouldNotDetermine = 0,
    Available = 1,
    Restricted = 2,
    NoAccount = 3,
    TemporarilyUnavailable = 4
};

class CloudAccount {
public:
    static inline const QString kAccountChangedNotification = QStringLiteral("CloudAccountDidChange");

    using StatusCompletion = std::function<void(CloudAccountStatus status, const std::optional<QString> &error)>;

    virtual ~CloudAccount() = default;
    virtual void accountStatus(StatusCompletion completion) = 0;

    // The account of this machine; tests replace it.
    static std::shared_ptr<CloudAccount> defaultAccount();
    static void setDefaultAccount(std::shared_ptr<CloudAccount> account);
};

// The sync-folder account: available when the folder is set, exists and is writable.
class FolderCloudAccount : public CloudAccount {
public:
    explicit FolderCloudAccount(std::function<QString()> folder);
    void accountStatus(StatusCompletion completion) override;

private:
    std::function<QString()> m_folder;
};
