#include "capture/HistorySaver.h"

#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <unordered_set>

HistorySaver::HistorySaver(std::shared_ptr<ManagedObjectContext> context, HistoryProblems &problems)
    : m_context(std::move(context)),
      m_problems(problems)
{
}

bool HistorySaver::save()
{
    if (!m_context->hasChanges())
        return true;
    StoreError error;
    if (m_context->save(&error)) {
        if (!m_told.isEmpty()) {
            LOG_INFO("saveContext()", QStringLiteral("History saved again after a failed save"));
            m_told.forgetAll();
        }
        return true;
    }
    LOG_ERROR("saveContext()", QStringLiteral("Unresolved error ") + error.text());
    const FailureCause cause = causeOf(error);
    if (m_told.isFirst(QString::number(int(cause))))
        m_problems.tell(L("Save.Problem.title"), message(cause, error));
    return false;
}

int HistorySaver::unsavedItemCount() const
{
    return m_context->performAndWait([&] {
        std::unordered_set<const ManagedObject *> items;
        const auto consider = [&](const QList<ManagedObjectPtr> &objects) {
            for (const ManagedObjectPtr &object : objects) {
                if (dynamic_cast<const PBItemRecord *>(object.get())) {
                    items.insert(object.get());
                } else if (const auto *representation = dynamic_cast<const PBPasteboardDataRecord *>(object.get())) {
                    if (const auto owner = representation->item())
                        items.insert(owner.get());
                }
            }
        };
        consider(m_context->insertedObjects());
        consider(m_context->updatedObjects());
        consider(m_context->deletedObjects());
        return int(items.size());
    });
}

HistorySaver::FailureCause HistorySaver::causeOf(const StoreError &error) { return error.kind(); }

QString HistorySaver::message(FailureCause cause, const StoreError &error)
{
    switch (cause) {
    case FailureCause::diskFull: return L("Save.Problem.DiskFull");
    case FailureCause::readOnly: return L("Save.Problem.ReadOnly");
    case FailureCause::ioError: return L("Save.Problem.IOError");
    case FailureCause::other: break;
    }
    return L("Save.Problem.Other").arg(error.description);
}
