#pragma once
// The result of one fetch request kept for a list: built on a request and a context, filled by
// performFetch(), one section (no section key path, no cache). Every accessor runs under the
// context's lock, so lists may be read from any thread while another thread refreshes them.

#include "core/store/ManagedObjectContext.h"

#include <QList>

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

template <class T>
class FetchedResultsController {
public:
    using Ptr = std::shared_ptr<T>;
    struct SectionInfo {
        int numberOfObjects = 0;
    };

    FetchedResultsController(FetchRequest<T> request, std::shared_ptr<ManagedObjectContext> context)
        : m_request(std::move(request)), m_context(std::move(context))
    {
    }

    const FetchRequest<T> &fetchRequest() const { return m_request; }
    const std::shared_ptr<ManagedObjectContext> &managedObjectContext() const { return m_context; }

    std::weak_ptr<FetchedResultsControllerDelegate> delegate() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_delegate;
    }
    void setDelegate(std::weak_ptr<FetchedResultsControllerDelegate> delegate)
    {
        std::lock_guard lock(m_context->mutex());
        m_delegate = std::move(delegate);
    }

    // On failure the previous results stay (none for a new controller) and the error is returned.
    bool performFetch(StoreError *error = nullptr)
    {
        std::lock_guard lock(m_context->mutex());
        auto objects = m_context->fetch(m_request, error);
        if (!objects)
            return false;
        m_fetched = std::move(*objects);
        if (auto delegate = m_delegate.lock())
            delegate->controllerDidChangeContent(this);
        return true;
    }

    // Absent before the first successful fetch.
    std::optional<QList<Ptr>> fetchedObjects() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_fetched;
    }
    bool hasFetched() const
    {
        std::lock_guard lock(m_context->mutex());
        return m_fetched.has_value();
    }
    // Null outside the fetched range.
    Ptr objectAtIndexPath(const IndexPath &path) const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetched || path.section != 0 || path.item < 0 || path.item >= m_fetched->size())
            return nullptr;
        return m_fetched->at(path.item);
    }
    // Empty before the first fetch, one section after it.
    QList<SectionInfo> sections() const
    {
        std::lock_guard lock(m_context->mutex());
        if (!m_fetched)
            return {};
        return {SectionInfo{int(m_fetched->size())}};
    }

private:
    FetchRequest<T> m_request;
    std::shared_ptr<ManagedObjectContext> m_context;
    std::weak_ptr<FetchedResultsControllerDelegate> m_delegate;
    std::optional<QList<Ptr>> m_fetched;
};
