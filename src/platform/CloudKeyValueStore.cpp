#include "platform/CloudKeyValueStore.h"

#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

namespace {
QString defaultPath() { return Paths::dataDirectory() + QStringLiteral("/cloud-kvs.json"); }
// Never destroyed: objects that stop late (a sync engine) still reach it; its file is flushed
// explicitly before the program ends.
std::unique_ptr<CloudKeyValueStore> &instance()
{
    static auto *store = new std::unique_ptr<CloudKeyValueStore>;
    return *store;
}
QMutex g_instanceMutex;
} // namespace

CloudKeyValueStore &CloudKeyValueStore::shared()
{
    QMutexLocker lock(&g_instanceMutex);
    if (!instance())
        instance() = std::make_unique<CloudKeyValueStore>(defaultPath());
    return *instance();
}

void CloudKeyValueStore::resetShared()
{
    QMutexLocker lock(&g_instanceMutex);
    static auto *retired = new std::vector<std::unique_ptr<CloudKeyValueStore>>;
    if (instance()) {
        instance()->m_values.flush(); // the new one reads the file
        retired->push_back(std::move(instance()));
    }
    instance() = std::make_unique<CloudKeyValueStore>(defaultPath());
}

CloudKeyValueStore::CloudKeyValueStore(QString filePath) : m_values(std::move(filePath)) {}

QVariant CloudKeyValueStore::value(const QString &key) const { return m_values.value(key); }

void CloudKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    m_values.setValue(key, value);
    Publisher publisher;
    {
        QMutexLocker lock(&m_publisherMutex);
        publisher = m_publisher;
    }
    if (publisher)
        publisher({{key, value}});
}

void CloudKeyValueStore::remove(const QString &key) { m_values.remove(key); }

bool CloudKeyValueStore::synchronize()
{
    return true; // every write is already on disk
}

void CloudKeyValueStore::setPublisher(Publisher publisher)
{
    QMutexLocker lock(&m_publisherMutex);
    m_publisher = std::move(publisher);
}

void CloudKeyValueStore::applyExternalChange(const QVariantMap &values, ChangeReason reason)
{
    m_values.setValues(values);
    NotificationCenter::defaultCenter().post(
        kDidChangeExternally, this, {{kChangedKeys, QStringList(values.keys())}, {kChangeReason, int(reason)}});
}
