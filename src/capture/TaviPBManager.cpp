#include "capture/TaviPBManager.h"

#include "capture/HistoryAnnouncements.h"
#include "capture/HistoryClearing.h"
#include "capture/HistoryCopyOut.h"
#include "capture/HistoryEdits.h"
#include "capture/HistoryNotes.h"
#include "capture/HistoryQueries.h"
#include "capture/HistoryRecords.h"
#include "capture/PasteboardCapture.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Memory.h"

#include <QMimeData>

TaviPBManager &TaviPBManager::shared()
{
    // Never destroyed: its destructor would reach the pasteboard and the store, other
    // process-wide objects that may be gone at exit.
    static auto *manager = new TaviPBManager(Pasteboard::general(), Workspace::shared(), PBCategoryManager::shared());
    return *manager;
}

TaviPBManager::TaviPBManager(Pasteboard &pasteboard, Workspace &workspace, PBCategoryManager &categoryManager)
    : m_pasteboard(pasteboard),
      m_categoryManager(categoryManager),
      m_settings(TaviSettings::shared()),
      m_saver(categoryManager.context(), m_problems),
      m_saveScheduler([this] {
          const bool saved = m_saver.save();
          // What the saved payloads took goes back to the system. The trim walks every heap and
          // holds each one meanwhile: a save the GUI thread runs leaves it to a worker.
          if (MainQueue::isCurrent())
              GlobalQueue::async(&Memory::trim);
          else
              Memory::trim();
          return saved;
      }),
      m_unreadableSettings(std::make_unique<UnreadableSettingNotice>(m_problems)),
      m_records(std::make_unique<HistoryRecords>(categoryManager, m_saveScheduler)),
      m_capture(std::make_unique<PasteboardCapture>(pasteboard, workspace, m_settings, *m_records, m_saveScheduler,
                                                    m_problems, *m_unreadableSettings)),
      m_queries(std::make_unique<HistoryQueries>(m_settings, *m_records)),
      m_copyOut(std::make_unique<HistoryCopyOut>(m_settings, *m_records, m_problems)),
      m_edits(std::make_unique<HistoryEdits>(*m_records)),
      m_clearing(std::make_unique<HistoryClearing>(m_settings, *m_records, *m_queries, *m_unreadableSettings)),
      m_notes(std::make_unique<HistoryNotes>(m_settings, *m_records))
{
}

TaviPBManager::~TaviPBManager() { shutDown(); }

void TaviPBManager::shutDown()
{
    m_capture->detach();
    m_clearing->finishBackgroundClears(); // finishes a clear the user confirmed
    m_capture->drain();
    m_saveScheduler.flush();
}

// ---------------------------------------------------------------------------------------------
// State

std::optional<PBSearchFilter> TaviPBManager::filter() const { return m_queries->filter(); }
void TaviPBManager::setFilter(std::optional<PBSearchFilter> filter) { m_queries->setFilter(std::move(filter)); }
bool TaviPBManager::isPaused() const { return m_capture->isPaused(); }
void TaviPBManager::setPaused(bool paused) { m_capture->setPaused(paused); }
bool TaviPBManager::isProcessing() const { return m_capture->isProcessing(); }
qint64 TaviPBManager::lastChangeCount() const { return m_capture->lastChangeCount(); }
bool TaviPBManager::needIgnoreFromSelfCopy() const { return m_capture->needIgnoreFromSelfCopy(); }
qint64 TaviPBManager::lostCopyCount() const { return m_capture->lostCopyCount(); }

CoreDataManager<PBItemRecord> &TaviPBManager::storage()
{
    m_records->ensureListsFresh();
    return m_records->storage();
}

void TaviPBManager::setFolderAuthorizationCheck(
    std::function<std::optional<QString>(const QList<PasteboardItem> &)> check)
{
    m_capture->setFolderAuthorizationCheck(std::move(check));
}

// ---------------------------------------------------------------------------------------------
// Capture

void TaviPBManager::startMonitoring(std::chrono::milliseconds fallback) { m_capture->startMonitoring(fallback); }
void TaviPBManager::stopMonitoring() { m_capture->stopMonitoring(); }
bool TaviPBManager::isPolling() const { return m_capture->isPolling(); }
void TaviPBManager::retreivePasteboardInfo() { m_capture->retreivePasteboardInfo(); }
std::optional<RunningApplication> TaviPBManager::getCurrentActiveApp() { return m_capture->getCurrentActiveApp(); }

void TaviPBManager::processPasteboardItem(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                                          const std::function<void(const PasteboardProcessResult &)> &resultCompletion)
{
    m_capture->processPasteboardItem(item, app, resultCompletion);
}

std::optional<PBItem> TaviPBManager::findItem(const QString &hash) { return m_records->findItem(hash); }

// ---------------------------------------------------------------------------------------------
// Storing and saving

bool TaviPBManager::add(const PBItem &item) { return m_records->add(item); }

bool TaviPBManager::update(const PBItem &item, const std::optional<PBCategory> &activeCategory)
{
    return m_records->update(item, activeCategory, QDateTime::currentDateTime());
}

bool TaviPBManager::saveNow() { return m_saveScheduler.flush(true); }

// ---------------------------------------------------------------------------------------------
// Queries

void TaviPBManager::reloadRecords(RecordSorter sorter, bool ascending) { m_queries->reloadRecords(sorter, ascending); }
QList<PBItem> TaviPBManager::getAllItems() { return m_queries->getAllItems(); }
QList<PBItem> TaviPBManager::getItemsPage(qsizetype offset, qsizetype limit)
{
    return m_queries->getItemsPage(offset, limit);
}
qsizetype TaviPBManager::itemCount() { return m_queries->itemCount(); }
qsizetype TaviPBManager::itemCount(const PBCategory &category) { return m_queries->itemCount(category); }

void TaviPBManager::getItems(PBDefaultCategory categoryType, bool useFilter, const ItemsCompletion &completion)
{
    m_queries->getItems(categoryType, useFilter, completion);
}

void TaviPBManager::getItems(const PBCategory &category, bool useFilter, const ItemsCompletion &completion)
{
    m_queries->getItems(category, useFilter, completion);
}

QList<PBItem> TaviPBManager::getFilterItemsPage(const PBSearchFilter &filter, qsizetype offset, qsizetype limit)
{
    return m_queries->getFilterItemsPage(filter, offset, limit);
}

qsizetype TaviPBManager::filterItemCount(const PBSearchFilter &filter) { return m_queries->filterItemCount(filter); }

QList<PBItem> TaviPBManager::getItemsPage(const ListQuery &query, qsizetype offset, qsizetype limit)
{
    return m_queries->getItemsPage(query, offset, limit);
}

qsizetype TaviPBManager::itemCount(const ListQuery &query) { return m_queries->itemCount(query); }

void TaviPBManager::getFilterItems(PBDefaultCategory categoryType, const ItemsCompletion &completion)
{
    m_queries->getFilterItems(categoryType, completion);
}

void TaviPBManager::getFilterItems(const PBCategory &category, const ItemsCompletion &completion)
{
    m_queries->getFilterItems(category, completion);
}

PBItem TaviPBManager::loadFullItem(const PBItem &item, bool *readFailed)
{
    return m_records->loadFullItem(item, readFailed);
}

// ---------------------------------------------------------------------------------------------
// Copy-out

bool TaviPBManager::copy(const QList<PBItem> &items, const std::optional<PBCategory> &category)
{
    // What is on the clipboard stays when an item could not be read.
    const std::optional<QList<PasteboardItem>> written = m_copyOut->pasteboardItems(items, category);
    if (!written)
        return false;
    m_capture->expectOwnCopy();
    m_pasteboard.write(*written);
    m_settings.setCopyOutTimes(m_settings.copyOutTimes() + 1);
    return true;
}

std::optional<PasteboardItem>
TaviPBManager::getPasteboardItem(const PBItem &item, const std::optional<PBCategory> &category, bool *readFailed)
{
    return m_copyOut->getPasteboardItem(item, category, readFailed);
}

std::unique_ptr<QMimeData> TaviPBManager::mimeDataForDrag(const QList<PBItem> &items,
                                                          const std::optional<PBCategory> &category)
{
    return m_copyOut->mimeDataForDrag(items, category);
}

// ---------------------------------------------------------------------------------------------
// Edits

void TaviPBManager::updateComment(const PBItem &item, const std::optional<QString> &comment,
                                  const std::function<void()> &completion)
{
    m_edits->updateComment(item, comment, completion);
}

void TaviPBManager::updateText(const PBItem &item, const QString &text, const std::function<void()> &completion)
{
    m_edits->updateText(item, text, completion);
}

void TaviPBManager::stickItem(const PBItem &item, bool is_sticky, const std::function<void()> &completion)
{
    m_edits->stickItem(item, is_sticky, completion);
}

void TaviPBManager::addItem(const PBItem &item, const PBCategory &to) { m_edits->addItem(item, to); }
void TaviPBManager::addItems(const QList<PBItem> &items, const PBCategory &to) { m_edits->addItems(items, to); }
void TaviPBManager::removeItem(const PBItem &item, const PBCategory &from) { m_edits->removeItem(item, from); }
void TaviPBManager::removeCategoryFromAllItems(const PBCategory &category)
{
    m_edits->removeCategoryFromAllItems(category);
}

// ---------------------------------------------------------------------------------------------
// Deleting, clearing and auto-clean

void TaviPBManager::deleteItem(const PBItem &item) { m_clearing->deleteItem(item); }
void TaviPBManager::deleteItems(const QList<PBItem> &items) { m_clearing->deleteItems(items); }
void TaviPBManager::deleteItems(const QList<QUuid> &uuids) { m_clearing->deleteItems(uuids); }
void TaviPBManager::deleteItems(const ListRows &rows) { m_clearing->deleteItems(rows); }
void TaviPBManager::clearAllItems(bool withNotes) { m_clearing->clearAllItems(withNotes); }
void TaviPBManager::clearItems(const PBCategory &in, const ClearOptions &options)
{
    m_clearing->clearItems(in, options);
}
void TaviPBManager::clearAllItemsInBackground(bool withNotes) { m_clearing->clearAllItemsInBackground(withNotes); }

void TaviPBManager::clearItemsInBackground(const PBCategory &in, const ClearOptions &options,
                                           std::function<void()> done)
{
    m_clearing->clearItemsInBackground(in, options, std::move(done));
}

void TaviPBManager::clearHistoryItems(const QList<PBItem> &items) { m_clearing->clearHistoryItems(items); }
void TaviPBManager::autoCleanHistory() { m_clearing->autoCleanHistory(); }
void TaviPBManager::autoCleanHistoryInBackground() { m_clearing->autoCleanHistoryInBackground(); }
void TaviPBManager::getAutoCleanCandidates(const ItemsCompletion &completion)
{
    m_clearing->getAutoCleanCandidates(completion);
}

// ---------------------------------------------------------------------------------------------
// Notes

PBItem TaviPBManager::addNote(const QString &title, const QString &body) { return m_notes->addNote(title, body); }
void TaviPBManager::updateNote(const PBItem &item) { m_notes->updateNote(item); }
