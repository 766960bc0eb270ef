#pragma once
// The rows of a history list: a category's items (or a search's matches) read from the store a
// page at a time off the GUI thread. Only a bounded number of pages stay in memory; a row whose
// page is not in yet answers no item (its delegate paints a blank row) and asks for the page.
// With rich titles on, the formatting of the text rows' titles follows each page, read from the
// store off the GUI thread. Results of a request that a later one replaced are dropped. GUI thread.

#include "capture/TaviPBManager.h"
#include "core/PBItem.h"
#include "history/RichTitle.h"
#include "platform/DispatchQueue.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class CategoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // RichTitleRole: the row's RichTitle, for a formatted text row of a list with rich titles.
    enum Role { ItemRole = Qt::UserRole + 1, RichTitleRole };
    static constexpr int kPageSize = 50;
    static constexpr int kMaxCachedPages = 24;
    // Pages asked for while one is read; the oldest are forgotten (rows scrolled past), and asked
    // for again if they are still on screen when painted.
    static constexpr int kMaxWantedPages = 4;

    explicit CategoryListModel(TaviPBManager &manager, QObject *parent = nullptr);
    ~CategoryListModel() override;

    // Reads the rows the query selects. The rows shown stay until its first page is in; then the
    // model resets and `done` runs (never for a request a later one replaced). The count follows.
    void fetch(const TaviPBManager::ListQuery &query, std::function<void()> done = {});
    bool isFetching() const { return m_fetching; }
    // Whether the requests from now on read the formatting of text rows' titles.
    void setRichTitles(bool rich) { m_readRichTitles = rich; }
    const TaviPBManager::ListQuery &query() const { return m_query; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The row's item when its page is in memory (asks for the page otherwise).
    std::optional<PBItem> cachedItem(int row) const;
    // The row's item, read from the store now when its page is not in memory; a null item for a
    // row out of range. For the few rows a user action names.
    PBItem item(int row);
    // The row of the item among the pages in memory; -1 when it is not there.
    int rowOf(const QUuid &uuid) const;
    // The items of the rows, in the order given; rows not in memory are read from the store in
    // runs of consecutive rows. Rows out of range are left out.
    QList<PBItem> items(const QList<int> &rows);
    // The same, in two steps: what is in memory is taken now, and the returned function reads the
    // rest from the store when called (on any thread, while the model's manager lives).
    std::function<QList<PBItem>()> itemsReader(const QList<int> &rows) const;
    // The rows as the store's delete takes them: ids of the items in memory, runs of the others.
    TaviPBManager::ListRows listRows(const QList<int> &rows) const;
    // The rows among the pages in memory that hold these items.
    QList<int> rowsOf(const QSet<QUuid> &uuids) const;
    // Takes the row out without reading the store again; the rows below move up.
    void removeRowAt(int row);
    // Takes the rows out, one removal per run of consecutive rows.
    void removeRows(QList<int> rows);
    // Reads the row's page again and repaints it.
    void reloadRow(int row);
    // Runs store work for the list (previews) on its queue, which the model waits for when it goes.
    void readAsync(std::function<void()> work) { m_queue.async(std::move(work)); }
    // The pages in memory (tests and the benchmark check the bound).
    int cachedPageCount() const { return int(m_pages.size()); }

Q_SIGNALS:
    // The first page of the latest request is in and the rows were reset.
    void fetched();
    // The latest request's count grew the list.
    void countChanged(int rows);

private:
    void requestPage(int page) const;
    // Reads the page asked for last, one page at a time.
    void loadNext() const;
    void pageArrived(quint64 generation, quint64 layout, int page, const QList<PBItem> &items);
    // Reads the rich titles of the items on their own queue, then repaints their rows.
    void readRichTitles(quint64 generation, const QList<PBItem> &items) const;
    void richTitlesArrived(quint64 generation, const QHash<QUuid, RichTitle> &titles);
    void forgetPage(int page);
    void touch(int page) const;
    void removeRange(int first, int last);
    // The item of a row when its page is in memory; asks for nothing.
    const PBItem *inMemory(int row) const;
    // The rows in range, and among them those whose page is not in memory (sorted); `known` gets
    // the others.
    void splitByMemory(const QList<int> &rows, QList<int> &inRange, QList<int> &missing,
                       const std::function<void(int row, const PBItem &item)> &known) const;

    TaviPBManager &m_manager;
    TaviPBManager::ListQuery m_query;
    int m_count = 0;
    bool m_fetching = false;
    // Moves with every request; page results of an older one are dropped.
    quint64 m_generation = 0;
    // Moves when a row is taken out: pages read before no longer line up.
    quint64 m_layout = 0;
    mutable QHash<int, QList<PBItem>> m_pages;
    // The rich titles of items in the pages in memory.
    QHash<QUuid, RichTitle> m_richTitles;
    bool m_readRichTitles = false;
    // Whether the latest request reads rich titles.
    bool m_latestReadsRichTitles = false;
    mutable QList<int> m_recent;
    // Pages wanted or being read.
    mutable QSet<int> m_requested;
    mutable QList<int> m_wanted;
    mutable bool m_reading = false;
    // The latest request, read by the store work to skip what a later request replaced.
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    // Store reads run here, in order; the model waits for them when it goes.
    mutable SerialQueue m_queue{QStringLiteral("com.tavi.categoryList")};
    SerialQueue m_countQueue{QStringLiteral("com.tavi.categoryList.count")};
    // Rich titles are read here, so that no page waits for them.
    mutable SerialQueue m_titleQueue{QStringLiteral("com.tavi.categoryList.titles")};
};
