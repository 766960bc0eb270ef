#include "core/store/CloudKitManager.h"

#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/DebugOutput.h"
#include "platform/DispatchQueue.h"

CloudKitManager::CloudKitManager(std::shared_ptr<CloudAccount> container, CoreDataStack *stack)
    : m_container(std::move(container)),
      m_stack(stack),
      m_self(std::make_shared<CloudKitManager *>(this))
{
    checkCloudAccountStatus();
    m_observers.observe(CloudAccount::kAccountChangedNotification,
                        [this](const Notification &) { accountDidChange(); });
}

CloudKitManager::~CloudKitManager()
{
    m_observers.clear();
    *m_self = nullptr;
}

CoreDataStack &CloudKitManager::stack() const { return m_stack ? *m_stack : CoreDataStack::shared(); }

void CloudKitManager::accountDidChange() { refreshAccountStatus(); }

void CloudKitManager::refreshAccountStatus()
{
    std::weak_ptr<CloudKitManager *> self = m_self;
    MainQueue::async([self] {
        if (auto manager = self.lock(); manager && *manager)
            (*manager)->checkCloudAccountStatus();
    });
}

void CloudKitManager::checkCloudAccountStatus()
{
    if (!m_container)
        return;
    std::weak_ptr<CloudKitManager *> self = m_self;
    m_container->accountStatus([self](CloudAccountStatus status, const std::optional<QString> &error) {
        if (auto manager = self.lock(); manager && *manager)
            (*manager)->accountStatusReceived(status, error);
    });
}

void CloudKitManager::accountStatusReceived(CloudAccountStatus status, const std::optional<QString> &error)
{
    if (error)
        DebugOutput::print(*error);
    m_accountStatus = status;
    if (status == CloudAccountStatus::Available)
        return;
    TaviSettings::shared().setEnableCloudSync(false);
    CoreDataStack &store = stack();
    store.managedContext()->saveContext();
    store.setupContainer();
}
