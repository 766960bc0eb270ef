#include "core/PBCategoryManager.h"

#include "core/ColorExtensions.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/DebugOutput.h"
#include "platform/NotificationCenter.h"

#include <QSet>

namespace {
const QString kIndex = QStringLiteral("index");

void write(PBCategoryRecord &record, const PBCategory &category)
{
    record.setName(category.name());
    record.setType(rawValue(category.type()));
    record.setBgColorHexStr(hexString(category.backgroundColor()));
    record.setFgColorHexStr(hexString(category.foregroundColor()));
    record.setIsHidden(category.isHidden());
    record.setIsLock(category.isLocked());
}
} // namespace

PBCategoryManager &PBCategoryManager::shared()
{
    static PBCategoryManager manager(CoreDataStack::shared().managedContext());
    return manager;
}

PBCategoryManager::PBCategoryManager(std::shared_ptr<ManagedObjectContext> context) : m_storage(std::move(context))
{
    setup();
}

QList<std::shared_ptr<PBCategoryRecord>> PBCategoryManager::refetch() const
{
    std::lock_guard lock(context()->mutex());
    m_storage.fetchRecords(std::nullopt, {{kIndex, true}});
    return m_storage.fetchedObjects().value_or(QList<std::shared_ptr<PBCategoryRecord>>());
}

QList<PBCategory> PBCategoryManager::fetchCategories() const
{
    QList<PBCategory> result;
    for (const auto &record : refetch()) {
        if (auto category = PBCategory::fromRecord(*record))
            result.append(*category);
    }
    return result;
}

QList<PBCategory> PBCategoryManager::categories() const
{
    QList<PBCategory> unique;
    QSet<QString> seen;
    for (const PBCategory &category : fetchCategories()) {
        if (!seen.contains(category.id())) {
            seen.insert(category.id());
            unique.append(category);
        }
    }
    return unique;
}

QList<PBCategory> PBCategoryManager::defaultCategories() const
{
    QList<PBCategory> result;
    for (PBDefaultCategory kind :
         {PBDefaultCategory::all, PBDefaultCategory::text, PBDefaultCategory::link, PBDefaultCategory::image,
          PBDefaultCategory::file, PBDefaultCategory::note, PBDefaultCategory::other, PBDefaultCategory::email}) {
        result.append(PBCategory(categoryId(kind), localizedName(kind), defaultBackgroundColor(kind),
                                 defaultForegroundColor(kind), kind, false, false));
    }
    return result;
}

QList<PBCategory> PBCategoryManager::customCategories() const
{
    QList<PBCategory> result;
    for (const PBCategory &category : categories()) {
        if (category.type() == PBDefaultCategory::custom)
            result.append(category);
    }
    return result;
}

std::optional<PBCategory> PBCategoryManager::activeCategory() const
{
    const QString id = TaviSettings::shared().activeCategoryID();
    if (id.isEmpty())
        return std::nullopt;
    return categoryWithId(id);
}

void PBCategoryManager::setActiveCategory(const std::optional<PBCategory> &category)
{
    TaviSettings::shared().setActiveCategoryID(category ? category->id() : QString());
    NotificationCenter::defaultCenter().post(NotificationName::categoryActiveStatusChanged);
}

void PBCategoryManager::setup()
{
    std::lock_guard lock(context()->mutex());
    const auto records = refetch();
    if (records.isEmpty()) {
        save(defaultCategories());
    } else {
        // A kind added by an update joins at the index of the last record.
        const qint64 lastIndex = records.size() - 1;
        for (const PBCategory &builtIn : defaultCategories()) {
            const QString type = rawValue(builtIn.type());
            const bool stored = std::any_of(records.cbegin(), records.cend(),
                                            [&](const auto &record) { return record->type() == type; });
            if (!stored)
                insert(builtIn, lastIndex);
        }
    }
    for (PBCategory category : customCategories()) {
        if (category.isLocked()) {
            category.setLocked(false);
            update(category);
        }
    }
}

void PBCategoryManager::insert(const PBCategory &category, qint64 index)
{
    std::lock_guard lock(context()->mutex());
    const auto record = m_storage.newRecord();
    record->setId(category.id());
    record->setIndex(index);
    record->setName(category.name());
    record->setBgColorHexStr(hexString(category.backgroundColor()));
    record->setFgColorHexStr(hexString(category.foregroundColor()));
    record->setType(rawValue(category.type()));
}

void PBCategoryManager::add(const PBCategory &category)
{
    if (category.type() != PBDefaultCategory::custom)
        return;
    std::lock_guard lock(context()->mutex());
    insert(category, m_storage.numberOfObjects().value_or(0));
    refetch();
}

void PBCategoryManager::update(const PBCategory &category)
{
    std::lock_guard lock(context()->mutex());
    const auto fetched = m_storage.fetchedObjects();
    const auto records =
        fetched ? filterCategoryRecords(*fetched, category) : QList<std::shared_ptr<PBCategoryRecord>>();
    if (records.isEmpty()) {
        DebugOutput::print(QStringLiteral("Cannot find category: ") + category.id());
        return;
    }
    for (const auto &record : records)
        write(*record, category);
    refetch();
}

void PBCategoryManager::deleteCategory(const PBCategory &category)
{
    if (category.type() != PBDefaultCategory::custom)
        return;
    {
        std::lock_guard lock(context()->mutex());
        const auto records = filterCategoryRecords(
            m_storage.fetchedObjects().value_or(QList<std::shared_ptr<PBCategoryRecord>>()), category);
        if (records.isEmpty())
            return;
        // Mirroring can leave several records with one id: all of them go.
        for (const auto &record : records)
            m_storage.deleteRecord(record);
        refetch();
    }
    NotificationCenter::defaultCenter().post(NotificationName::didRemovedCustomCategory);
}

void PBCategoryManager::reorder(const QList<PBCategory> &categories)
{
    std::lock_guard lock(context()->mutex());
    const auto records = m_storage.fetchedObjects().value_or(QList<std::shared_ptr<PBCategoryRecord>>());
    for (qsizetype i = 0; i < categories.size(); ++i) {
        for (const auto &record : filterCategoryRecords(records, categories.at(i)))
            record->setIndex(i);
    }
    refetch();
}

void PBCategoryManager::save(const QList<PBCategory> &categories)
{
    std::lock_guard lock(context()->mutex());
    const QList<PBCategory> current = this->categories();
    for (qsizetype i = 0; i < categories.size(); ++i) {
        const PBCategory &category = categories.at(i);
        if (current.contains(category))
            update(category);
        else
            insert(category, i);
    }
    refetch();
}

int PBCategoryManager::numberOfCategories() const { return int(categories().size()); }

std::optional<PBCategory> PBCategoryManager::categoryAt(int index) const
{
    const QList<PBCategory> list = categories();
    if (index < 0 || index >= list.size())
        return std::nullopt;
    return list.at(index);
}

std::optional<PBCategory> PBCategoryManager::categoryWithId(const QString &id) const
{
    for (const PBCategory &category : categories()) {
        if (category.id() == id)
            return category;
    }
    return std::nullopt;
}

std::optional<PBCategory> PBCategoryManager::categoryWithName(const QString &name) const
{
    for (const PBCategory &category : categories()) {
        if (category.name() == name)
            return category;
    }
    return std::nullopt;
}

std::optional<int> PBCategoryManager::indexOf(const PBCategory &category) const { return indexOfId(category.id()); }

std::optional<int> PBCategoryManager::indexOfId(const QString &id) const
{
    const QList<PBCategory> list = categories();
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).id() == id)
            return int(i);
    }
    return std::nullopt;
}

QList<PBCategory> filterCategories(const QList<PBCategory> &categories, const QString &id)
{
    QList<PBCategory> result;
    for (const PBCategory &category : categories) {
        if (category.id() == id)
            result.append(category);
    }
    return result;
}

QList<std::shared_ptr<PBCategoryRecord>> filterCategoryRecords(const QList<std::shared_ptr<PBCategoryRecord>> &records,
                                                               const PBCategory &matching)
{
    QList<std::shared_ptr<PBCategoryRecord>> result;
    for (const auto &record : records) {
        if (record->id() == matching.id())
            result.append(record);
    }
    return result;
}
