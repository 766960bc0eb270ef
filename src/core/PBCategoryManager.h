#pragma once
// The ordered list of categories: the eight built-in ones and those the user makes, kept as
// PBCategoryRecord rows ordered by "index", handed out as new PBCategory values on every read.
// The active category's id follows the user between machines in the cloud key-value store.
// Nothing here saves the context. Any thread: every change runs under the context's lock.

#include "core/PBCategory.h"
#include "core/store/CoreDataManager.h"
#include "core/store/PBCategoryRecord.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

// Positions and look-ups over the category list; each call reads the list afresh.
class PBCategoryDataSource {
public:
    virtual ~PBCategoryDataSource() = default;
    virtual int numberOfCategories() const = 0;
    // Nothing outside 0 to count - 1.
    virtual std::optional<PBCategory> categoryAt(int index) const = 0;
    virtual std::optional<PBCategory> categoryWithId(const QString &id) const = 0;
    virtual std::optional<PBCategory> categoryWithName(const QString &name) const = 0;
    virtual std::optional<int> indexOf(const PBCategory &category) const = 0;
    virtual std::optional<int> indexOfId(const QString &id) const = 0;
};

class PBCategoryManager : public PBCategoryDataSource {
public:
    // Made on first use on the shared store's main context.
    static PBCategoryManager &shared();

    // Seeds the store with the built-in categories when it has none (tests make their own).
    explicit PBCategoryManager(std::shared_ptr<ManagedObjectContext> context);
    PBCategoryManager(const PBCategoryManager &) = delete;
    PBCategoryManager &operator=(const PBCategoryManager &) = delete;

    CoreDataManager<PBCategoryRecord> &storage() { return m_storage; }
    const CoreDataManager<PBCategoryRecord> &storage() const { return m_storage; }
    const std::shared_ptr<ManagedObjectContext> &context() const { return m_storage.context(); }

    // The category whose id is stored as active; nothing when none has it.
    std::optional<PBCategory> activeCategory() const;
    // Stores the id (empty for none) and always posts "categoryActiveStatusChanged".
    void setActiveCategory(const std::optional<PBCategory> &category);

    // Every stored category by "index" (ties in stored order); of two with one id the first wins.
    QList<PBCategory> categories() const;
    // The eight built-in categories, all to email, with their fixed ids, names and colours.
    QList<PBCategory> defaultCategories() const;
    QList<PBCategory> customCategories() const;

    // Run once on creation: seeds an empty store, adds built-in kinds a store lacks, and unlocks
    // every user category.
    void setup();
    // Updates the categories that are stored, inserts the others at their position.
    void save(const QList<PBCategory> &categories);
    // Each category's records get its position as "index".
    void reorder(const QList<PBCategory> &categories);
    // User categories only: removes every record with its id and posts "didRemovedCustomCategory".
    void deleteCategory(const PBCategory &category);
    // User categories only: appended after the last record.
    void add(const PBCategory &category);
    // Writes name, kind, colours and flags into every record with the category's id.
    void update(const PBCategory &category);
    // A new record; nothing is refetched.
    void insert(const PBCategory &category, qint64 index);
    // The stored categories by "index"; records that make no category are left out.
    QList<PBCategory> fetchCategories() const;

    int numberOfCategories() const override;
    std::optional<PBCategory> categoryAt(int index) const override;
    std::optional<PBCategory> categoryWithId(const QString &id) const override;
    std::optional<PBCategory> categoryWithName(const QString &name) const override;
    std::optional<int> indexOf(const PBCategory &category) const override;
    std::optional<int> indexOfId(const QString &id) const override;

private:
    // Refetches the main list, sorted by "index" ascending, and returns its records.
    QList<std::shared_ptr<PBCategoryRecord>> refetch() const;

    mutable CoreDataManager<PBCategoryRecord> m_storage;
};

// The categories with this id, in order.
QList<PBCategory> filterCategories(const QList<PBCategory> &categories, const QString &id);
// The records with the category's id, in order.
QList<std::shared_ptr<PBCategoryRecord>> filterCategoryRecords(const QList<std::shared_ptr<PBCategoryRecord>> &records,
                                                               const PBCategory &matching);
