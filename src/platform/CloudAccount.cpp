#include "platform/CloudAccount.h"

#include <QFileInfo>

#include <mutex>

namespace {
std::mutex g_accountMutex;
std::shared_ptr<CloudAccount> &accountInstance()
{
    static std::shared_ptr<CloudAccount> account;
    return account;
}
} // namespace

std::shared_ptr<CloudAccount> CloudAccount::defaultAccount()
{
    std::lock_guard lock(g_accountMutex);
    if (!accountInstance()) {
        // The sync folder is not configurable yet; without one there is no account.
        accountInstance() = std::make_shared<FolderCloudAccount>([] { return QString(); });
    }
    return accountInstance();
}

void CloudAccount::setDefaultAccount(std::shared_ptr<CloudAccount> account)
{
    std::lock_guard lock(g_accountMutex);
    accountInstance() = std::move(account);
}

FolderCloudAccount::FolderCloudAccount(std::function<QString()> folder) : m_folder(std::move(folder)) {}

void FolderCloudAccount::accountStatus(StatusCompletion completion)
{
    const QString folder = m_folder ? m_folder() : QString();
    if (folder.isEmpty()) {
        completion(CloudAccountStatus::NoAccount, std::nullopt);
        return;
    }
    const QFileInfo info(folder);
    if (!info.exists()) {
        completion(CloudAccountStatus::TemporarilyUnavailable,
                   QStringLiteral("The sync folder %1 is missing.").arg(folder));
        return;
    }
    if (!info.isDir() || !info.isWritable()) {
        completion(CloudAccountStatus::Restricted, QStringLiteral("The sync folder %1 is not writable.").arg(folder));
        return;
    }
    completion(CloudAccountStatus::Available, std::nullopt);
}
