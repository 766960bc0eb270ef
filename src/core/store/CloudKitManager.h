#pragma once
// Watches the user's cloud account: asks for its status at creation and after every account
// change, and switches mirroring off whenever the account is not available. Any thread; the
// re-query after an account change runs on the main queue.

#include "platform/CloudAccount.h"
#include "platform/NotificationCenter.h"

#include <atomic>
#include <memory>

class CoreDataStack;

class CloudKitManager {
public:
    explicit CloudKitManager(std::shared_ptr<CloudAccount> container = CloudAccount::defaultAccount(),
                             CoreDataStack *stack = nullptr);
    ~CloudKitManager();
    CloudKitManager(const CloudKitManager &) = delete;
    CloudKitManager &operator=(const CloudKitManager &) = delete;

    CloudAccountStatus accountStatus() const { return m_accountStatus.load(); }

    void accountDidChange();
    void refreshAccountStatus();
    void checkCloudAccountStatus();

private:
    void accountStatusReceived(CloudAccountStatus status, const std::optional<QString> &error);
    CoreDataStack &stack() const;

    std::shared_ptr<CloudAccount> m_container;
    CoreDataStack *m_stack;
    std::atomic<CloudAccountStatus> m_accountStatus{CloudAccountStatus::CouldNotDetermine};
    std::shared_ptr<CloudKitManager *> m_self; // guards queued work against a destroyed manager
    ObserverBag m_observers;
};
