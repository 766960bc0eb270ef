#pragma once
// One fetch request kept for a list: built on a request and a context, made ready by
// performFetch(), one section (no section key path). Every accessor runs under the context's
// lock, so lists may be read from any thread while another thread refreshes them.

#include "core/store/ManagedObjectContext.h"

#include <QList>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

struct IndexPath {
    int section = 0;
    int item = 0;
};

class FetchedResultsControllerDelegate {
public:
    virtual ~FetchedResultsControllerDelegate() = default;
    // After performFetch() replaced the controller's objects; on the fetching thread.
    virtual void controllerDidChangeContent(const void *controller) = 0;
};

// A delegate held weakly, read and replaced under the lock of the context it serves. Any thread.
class DelegateSlot {
public:
    std::weak_ptr<FetchedResultsControllerDelegate> get(const ManagedObjectContext &context) const
    {
        std::lock_guard lock(context.mutex());
        return m_delegate;
    }
    void set(const ManagedObjectContext &context, std::weak_ptr<FetchedResultsControllerDelegate> delegate)
    {
        std::lock_guard lock(context.mutex());
        m_delegate = std::move(delegate);
    }

private:
    std::weak_ptr<FetchedResultsControllerDelegate> m_delegate;
};

template <class T>
class FetchedResultsController {
public:
    using Ptr = std::shared_ptr<T>;
    struct SectionInfo {
        int numberOfObjects = 0;
    };

    FetchedResultsController(FetchRequest<T> request, std::shared_ptr<ManagedObjectContext> context)
        : m_request(std::move(request)),
          m_context(std::move(context))
    {
    }

    const FetchRequest<T> &fetchRequest() const { return m_request; }
    const std::shared_ptr<ManagedObjectContext> &managedObjectContext() const { return m_context; }

    std::weak_ptr<FetchedResultsControllerDelegate> delegate() const { return m_delegate.get(*m_context); }
    void setDelegate(std::weak_ptr<FetchedResultsControllerDelegate> delegate)
    {
        m_delegate.set(*m_context, std::move(delegate));
    }

    // Checks the request and takes the controller into its fetched state. The objects are not
    // read here: they are read from the context when asked for, a window at a time, so a list
    // of any length costs only what is shown of it, and always shows the context as it is now.
    // On failure the previous state stays (nothing fetched for a new controller).
    bool performFetch(StoreError *error = nullptr)
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_context->validate(m_request, error))
            return false;
        m_fetched = true;
        m_countGeneration = 0;
        if (auto delegate = m_delegate.get(*m_context).lock())
            delegate->controllerDidChangeContent(this);
        return true;
    }

    // Every object; absent before the first successful fetch or on a store error.
    std::optional<QList<Ptr>> fetchedObjects() const { return objects(0, 0); }
    // The objects in [offset, offset + limit) of the whole list (limit 0: to the end).
    std::optional<QList<Ptr>> objects(qsizetype offset, qsizetype limit) const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetched)
            return std::nullopt;
        FetchRequest<T> request = m_request;
        request.fetchOffset = std::max<qsizetype>(0, m_request.fetchOffset) + std::max<qsizetype>(0, offset);
        request.fetchLimit = limit;
        if (m_request.fetchLimit > 0) {
            const qsizetype end = std::max<qsizetype>(0, m_request.fetchOffset) + m_request.fetchLimit;
            const qsizetype left = std::max<qsizetype>(0, end - request.fetchOffset);
            if (left == 0)
                return QList<Ptr>();
            request.fetchLimit = limit > 0 ? std::min(limit, left) : left;
        }
        return m_context->fetch(request);
    }
    // The length of the whole list, counted in the store once per generation of the context.
    std::optional<qsizetype> count() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetched)
            return std::nullopt;
        const quint64 generation = m_context->generation();
        if (m_countGeneration != generation) {
            FetchRequest<T> request = m_request;
            request.fetchOffset = 0;
            request.fetchLimit = 0;
            auto counted = m_context->count(request);
            if (!counted)
                return std::nullopt;
            qsizetype total = std::max<qsizetype>(0, *counted - std::max<qsizetype>(0, m_request.fetchOffset));
            if (m_request.fetchLimit > 0)
                total = std::min(total, m_request.fetchLimit);
            m_count = total;
            m_countGeneration = generation;
        }
        return m_count;
    }
    bool hasFetched() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_fetched;
    }
    // Null outside the list.
    Ptr objectAtIndexPath(const IndexPath &path) const
    {
        if (path.section != 0 || path.item < 0)
            return nullptr;
        const auto found = objects(path.item, 1);
        return found && !found->isEmpty() ? found->first() : nullptr;
    }
    // Empty before the first fetch, one section after it.
    QList<SectionInfo> sections() const
    {
        const auto total = count();
        if (!total)
            return {};
        return {SectionInfo{int(std::min<qsizetype>(*total, std::numeric_limits<int>::max()))}};
    }

private:
    FetchRequest<T> m_request;
    std::shared_ptr<ManagedObjectContext> m_context;
    DelegateSlot m_delegate;
    bool m_fetched = false;
    mutable quint64 m_countGeneration = 0;
    mutable qsizetype m_count = 0;
};
