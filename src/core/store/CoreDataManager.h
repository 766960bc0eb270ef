#pragma once
// The one way the program reads and changes one entity of the history store: plain, asynchronous
// and batch operations on the stack's main context, and two result controllers for lists (the
// pinned records, and the caller's current query). Nothing here saves. Every operation and every
// read of the controllers runs under the context's lock; any thread.

#include "core/store/CoreDataStack.h"
#include "core/store/DebugOutput.h"
#include "core/store/FetchedResultsController.h"
#include "core/store/PBItemRecord.h"
#include "platform/DispatchQueue.h"

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

// What an asynchronous fetch hands its completion: the records (empty after a failure) and the
// error when there was one.
template <class T>
struct AsynchronousFetchResult {
    std::optional<QList<std::shared_ptr<T>>> finalResult;
    std::optional<StoreError> error;
};

template <class T>
struct AsynchronousFetchRequest {
    FetchRequest<T> fetchRequest;
    std::function<void(const AsynchronousFetchResult<T> &)> completion;
};

template <class T>
class CoreDataManager {
public:
    using Ptr = std::shared_ptr<T>;
    using List = QList<Ptr>;
    using Controller = FetchedResultsController<T>;
    using Completion = std::function<void(const AsynchronousFetchResult<T> &)>;

    // On the stack's main context (made on first use).
    CoreDataManager() : CoreDataManager(CoreDataStack::shared().managedContext()) {}
    explicit CoreDataManager(std::shared_ptr<ManagedObjectContext> context) : m_context(std::move(context))
    {
        DebugOutput::print(QStringLiteral("Loading context of ") + T::entityDescription().name + QStringLiteral("..."));
    }

    const std::shared_ptr<ManagedObjectContext> &context() const { return m_context; }

    std::weak_ptr<FetchedResultsControllerDelegate> delegate() const { return m_delegate.get(*m_context); }
    // Applies to the controllers built from now on.
    void setDelegate(std::weak_ptr<FetchedResultsControllerDelegate> delegate)
    {
        m_delegate.set(*m_context, std::move(delegate));
    }

    std::shared_ptr<Controller> fetchedRC() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_fetchedRC;
    }
    std::shared_ptr<Controller> recordsFetchRC() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_recordsFetchRC;
    }

    // History records: the pinned list followed by the main list, when both have fetched.
    // Otherwise the main list alone; absent without a fetched main list.
    std::optional<List> objects() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC)
            return std::nullopt;
        auto main = m_fetchedRC->fetchedObjects();
        if constexpr (std::is_same_v<T, PBItemRecord>) {
            if (main && m_recordsFetchRC) {
                if (auto sticky = m_recordsFetchRC->fetchedObjects())
                    return *sticky + *main;
            }
        }
        return main;
    }

    // A window of objects(), read without building the rest of the list.
    std::optional<List> objectsPage(qsizetype offset, qsizetype limit) const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC || offset < 0 || limit <= 0)
            return m_fetchedRC ? std::optional<List>(List()) : std::nullopt;
        List page;
        qsizetype mainOffset = offset;
        if (const auto sticky = pinnedController()) {
            const qsizetype pinned = sticky->count().value_or(0);
            if (offset < pinned)
                page = sticky->objects(offset, limit).value_or(List());
            mainOffset = std::max<qsizetype>(0, offset - pinned);
        }
        if (page.size() < limit) {
            const auto rest = m_fetchedRC->objects(mainOffset, limit - page.size());
            if (!rest)
                return std::nullopt;
            page += *rest;
        }
        return page;
    }
    // The length of objects(), counted in the store.
    std::optional<qsizetype> objectCount() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC)
            return std::nullopt;
        const auto main = m_fetchedRC->count();
        if (!main)
            return std::nullopt;
        const auto sticky = pinnedController();
        return *main + (sticky ? sticky->count().value_or(0) : 0);
    }

    std::optional<List> fetchedObjects() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC)
            return std::nullopt;
        return m_fetchedRC->fetchedObjects();
    }

    Ptr newRecord() { return m_context->insertNewObject<T>(); }

    // Pinned records ("is_sticky" true), newest first.
    void setupStickyFetchedResultsController()
    {
        auto request = T::fetchRequest();
        request.sortDescriptors = PBItemRecord::pinnedThenNewest();
        request.predicate = Predicate::equal(QStringLiteral("is_sticky"), true);
        std::lock_guard lock(m_context->mutex());
        build(m_recordsFetchRC, std::move(request));
    }

    // The main list: the predicate (none when absent) and one sort descriptor per key, in order.
    void setupFetchedResultsController(const std::optional<Predicate> &predicate, const QList<SortKey> &sortKeys)
    {
        auto request = T::fetchRequest();
        request.predicate = predicate;
        request.sortDescriptors = sortDescriptors(sortKeys);
        std::lock_guard lock(m_context->mutex());
        build(m_fetchedRC, std::move(request));
    }

    // The names later callers use for the two builders.
    void refreshStickyRecords() { setupStickyFetchedResultsController(); }
    void fetchRecords(const std::optional<Predicate> &predicate, const QList<SortKey> &sortKeys)
    {
        setupFetchedResultsController(predicate, sortKeys);
    }

    // Synchronous, unsorted; absent on a store error.
    std::optional<List> fetch(const std::optional<Predicate> &predicate)
    {
        auto request = T::fetchRequest();
        request.predicate = predicate;
        StoreError error;
        auto result = m_context->fetch(request, &error);
        if (!result)
            DebugOutput::print(QStringLiteral("Could not fetch. ") + error.text());
        return result;
    }

    // Runs the fetch on a worker thread; the completion is called exactly once, on the main
    // thread when there is an application (else on the worker), with an empty list after a
    // failure. Never wait for it while holding the context's lock.
    void asyncFetch(const std::optional<Predicate> &predicate,
                    const std::optional<QList<SortDescriptor>> &sortDescriptors, Completion completion)
    {
        auto request = std::make_shared<AsynchronousFetchRequest<T>>();
        request->fetchRequest.predicate = predicate;
        request->fetchRequest.sortDescriptors = sortDescriptors.value_or(QList<SortDescriptor>());
        request->completion = std::move(completion);
        auto result = std::make_shared<AsynchronousFetchResult<T>>();
        {
            std::lock_guard lock(m_context->mutex());
            m_asyncFetchRequest = request;
            m_asyncFetchResult = result;
        }
        std::shared_ptr<ManagedObjectContext> context = m_context;
        GlobalQueue::async([context, request, result] {
            StoreError error;
            {
                std::lock_guard lock(context->mutex());
                auto objects = context->fetch(request->fetchRequest, &error);
                if (objects) {
                    result->finalResult = std::move(*objects);
                } else {
                    DebugOutput::print(QStringLiteral("Could not fetch. ") + error.text());
                    result->finalResult = List();
                    result->error = error;
                }
            }
            if (!request->completion)
                return;
            AsynchronousFetchResult<T> delivered = *result;
            if (QCoreApplication::instance())
                MainQueue::async([request, delivered] { request->completion(delivered); });
            else
                request->completion(delivered);
        });
    }

    std::shared_ptr<AsynchronousFetchRequest<T>> asyncFetchRequest() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_asyncFetchRequest;
    }

    // Store-side deletes (see ManagedObjectContext::executeBatchDelete); loaded records learn
    // of them through mergeDeletedObjects().
    // The deleted row ids; absent on a store error: then nothing was deleted.
    std::optional<QList<qint64>> deleteAll() { return runBatchDelete(std::nullopt); }
    std::optional<QList<qint64>> batchDelete(const std::optional<Predicate> &predicate)
    {
        return runBatchDelete(predicate);
    }

    void mergeDeletedObjects(const List &objects)
    {
        QList<ManagedObjectPtr> plain;
        plain.reserve(objects.size());
        for (const auto &object : objects)
            plain.append(object);
        m_context->mergeDeletedObjects(plain);
    }

    // Deletes the main list's record at the index path (nothing without one there).
    void deleteAt(const IndexPath &path)
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC)
            return;
        if (auto object = m_fetchedRC->objectAtIndexPath(path))
            m_context->deleteObject(object);
    }
    void deleteRecord(const Ptr &object) { m_context->deleteObject(object); }
    void insert(const Ptr &object) { m_context->insert(object); }

    // Objects in the main list's section; absent without a fetched main list.
    std::optional<int> numberOfObjects() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetchedRC)
            return std::nullopt;
        const auto sections = m_fetchedRC->sections();
        if (sections.isEmpty())
            return std::nullopt;
        return sections.first().numberOfObjects;
    }

private:
    // The pinned list where objects() puts it in front: history records with a fetched one.
    std::shared_ptr<Controller> pinnedController() const
    {
        if constexpr (std::is_same_v<T, PBItemRecord>) {
            if (m_recordsFetchRC && m_recordsFetchRC->hasFetched())
                return m_recordsFetchRC;
        }
        return nullptr;
    }

    // The new controller takes its place before it fetches, so its delegate reads the new list.
    void build(std::shared_ptr<Controller> &slot, FetchRequest<T> request)
    {
        slot = std::make_shared<Controller>(std::move(request), m_context);
        slot->setDelegate(delegate());
        StoreError error;
        if (!slot->performFetch(&error))
            DebugOutput::print(QStringLiteral("Could not fetch. ") + error.text());
    }

    std::optional<QList<qint64>> runBatchDelete(const std::optional<Predicate> &predicate)
    {
        StoreError error;
        auto rows = m_context->executeBatchDelete(T::entityDescription(), predicate, &error);
        if (!rows)
            DebugOutput::print(QStringLiteral("Could not delete. ") + error.text());
        return rows;
    }

    std::shared_ptr<ManagedObjectContext> m_context;
    DelegateSlot m_delegate;
    std::shared_ptr<Controller> m_fetchedRC;
    std::shared_ptr<Controller> m_recordsFetchRC;
    std::shared_ptr<AsynchronousFetchRequest<T>> m_asyncFetchRequest;
    std::shared_ptr<AsynchronousFetchResult<T>> m_asyncFetchResult;
};
