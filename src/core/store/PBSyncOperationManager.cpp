#include "core/store/PBSyncOperationManager.h"

#include "core/store/CoreDataStack.h"
#include "core/store/DebugOutput.h"
#include "core/store/PBSyncOperation.h"

PBSyncOperationManager &PBSyncOperationManager::shared()
{
    static PBSyncOperationManager manager;
    return manager;
}

void PBSyncOperationManager::touch()
{
    auto context = CoreDataStack::shared().backgroundContext();
    std::lock_guard lock(context->mutex());
    StoreError error;
    auto operations = context->fetch(PBSyncOperation::fetchRequest(), &error);
    if (!operations) {
        DebugOutput::print(QStringLiteral("Unable to Fetch Workouts, (") + error.text() + QStringLiteral(")"));
        return;
    }
    if (operations->isEmpty()) {
        auto operation = context->insertNewObject<PBSyncOperation>();
        operation->setUuid(QUuid::createUuid());
        operation->setUpdateDate(QDateTime::currentDateTime());
    } else {
        operations->first()->setUpdateDate(QDateTime::currentDateTime());
    }
    context->saveContext();
}
