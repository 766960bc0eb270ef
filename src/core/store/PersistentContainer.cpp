#include "core/store/PersistentContainer.h"

PersistentContainer::PersistentContainer(QString name, QString storePath) : m_name(std::move(name))
{
    PersistentStoreDescription description;
    description.url = std::move(storePath);
    m_descriptions.append(description);
}

PersistentContainer::~PersistentContainer() { stopMirroring(); }

void PersistentContainer::loadPersistentStores(const LoadCompletion &completion,
                                               std::shared_ptr<PersistentStore> existing)
{
    if (m_descriptions.isEmpty())
        return;
    const PersistentStoreDescription &description = m_descriptions.first();
    std::optional<StoreProblem> problem;
    if (existing) {
        m_store = std::move(existing);
    } else {
        PersistentStore::OpenResult opened = PersistentStore::open(description.url);
        m_store = std::move(opened.store);
        problem = std::move(opened.problem);
    }
    if (description.cloudContainerIdentifier && !m_store->isTemporary()) {
        m_mirror = CloudMirror::factory()({description.url, *description.cloudContainerIdentifier});
        if (m_mirror) {
            m_mirror->setRemoteChangeHandler(m_remoteChangeHandler);
            m_mirror->start();
        }
    }
    if (completion)
        completion(description, problem);
}

void PersistentContainer::setRemoteChangeHandler(CloudRemoteChangeHandler handler)
{
    m_remoteChangeHandler = std::move(handler);
    if (m_mirror)
        m_mirror->setRemoteChangeHandler(m_remoteChangeHandler);
}

void PersistentContainer::stopMirroring()
{
    if (!m_mirror)
        return;
    m_mirror->setRemoteChangeHandler({});
    m_mirror->stop();
    m_mirror.reset();
}
