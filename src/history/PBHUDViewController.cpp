#include "history/PBHUDViewController.h"

#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/Debounce.h"
#include "core/NotificationNames.h"
#include "core/NotificationPayloads.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/DragOut.h"
#include "history/PBHUDCell.h"
#include "history/PBHUDRowDelegate.h"
#include "history/PBHUDTableView.h"
#include "history/PasteItemRow.h"
#include "history/PasteRoutine.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/Strings.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDrag>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace {

// Longer than the gap between two slices of a clear's announcements.
constexpr std::chrono::milliseconds kDeleteRefreshDelay(20);

void track(const char *event) { Analytics::trackEvent(QString::fromLatin1(event)); }

// Three bars, the usual sign of a menu; no icon theme is needed.
QIcon menuIcon(const QColor &color)
{
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(color, size / 10.0, Qt::SolidLine, Qt::RoundCap));
        for (const double y : {0.3, 0.5, 0.7})
            painter.drawLine(QPointF(size * 0.2, size * y), QPointF(size * 0.8, size * y));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

PBHUDViewController::PBHUDViewController(TaviPBManager &manager, QWidget *parent) : QWidget(parent), manager(manager)
{
    setObjectName(QStringLiteral("PBHUDViewController"));
    searchInput = new QLineEdit(this);
    searchInput->setObjectName(QStringLiteral("searchInput"));
    searchInput->setPlaceholderText(L("PBHUD.Search.placeholder"));
    searchInput->setFrame(false);
    QFont searchFont = searchInput->font();
    searchFont.setPointSizeF(searchFont.pointSizeF() * 1.4);
    searchInput->setFont(searchFont);
    searchInput->setMinimumHeight(40);
    // The one clear button, inside the search field at its end; the field's own stays off.
    searchInput->setClearButtonEnabled(false);
    btnClearSearch = new QToolButton(searchInput);
    btnClearSearch->setObjectName(QStringLiteral("btnClearSearch"));
    btnClearSearch->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
    btnClearSearch->setAutoRaise(true);
    btnClearSearch->setFocusPolicy(Qt::NoFocus);
    btnClearSearch->setCursor(Qt::ArrowCursor);
    btnClearSearch->setToolTip(L("PBHUD.Clear.tooltip"));
    auto *insideSearch = new QHBoxLayout(searchInput);
    insideSearch->setContentsMargins(0, 0, 2, 0);
    insideSearch->addStretch();
    insideSearch->addWidget(btnClearSearch);
    searchInput->setTextMargins(0, 0, btnClearSearch->sizeHint().width() + 2, 0);
    btnMenu = new QToolButton(this);
    btnMenu->setObjectName(QStringLiteral("btnMenu"));
    btnMenu->setIcon(menuIcon(palette().color(QPalette::WindowText)));
    btnMenu->setToolTip(L("PBHUD.Menu.tooltip"));
    btnMenu->setAutoRaise(true);
    btnMenu->setFocusPolicy(Qt::NoFocus);
    btnClose = new QToolButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    btnClose->setToolTip(L("PBHUD.Close.tooltip"));
    btnClose->setAutoRaise(true);
    btnClose->setFocusPolicy(Qt::NoFocus);
    historyTableView = new PBHUDTableView(this);
    historyTableView->setObjectName(QStringLiteral("historyTableView"));
    historyTableView->setFixedHeight(0);
    m_model = new CategoryListModel(manager, this);
    emptyLabel = new QLabel(this);
    emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    emptyLabel->setTextFormat(Qt::PlainText);
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLabel->setWordWrap(true);
    emptyLabel->setContentsMargins(14, 10, 14, 12);
    QPalette quiet = emptyLabel->palette();
    QColor quietText = quiet.color(QPalette::WindowText);
    quietText.setAlphaF(0.7);
    quiet.setColor(QPalette::WindowText, quietText);
    emptyLabel->setPalette(quiet);

    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(14, 6, 8, 6);
    searchRow->addWidget(searchInput, 1);
    searchRow->addWidget(btnMenu);
    searchRow->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(0);
    layout->addLayout(searchRow);
    layout->addWidget(emptyLabel);
    layout->addWidget(historyTableView);

    setupSearch();
    setupUI();
    // Until the history is read the panel is sized as an empty one.
    setTableHeight();
}

PBHUDViewController::~PBHUDViewController() { stopKeyMonitor(); }

void PBHUDViewController::setupSearch()
{
    connect(historyTableView, &PBHUDTableView::rowDoubleClicked, this, &PBHUDViewController::doubleClickAciton);
    const QPointer<PBHUDViewController> self(this);
    changeHandleFunc = debounce(std::chrono::milliseconds(100), [self] {
        if (self)
            self->searchAndReload();
    });
    connect(searchInput, &QLineEdit::textEdited, this, [this] {
        if (!std::exchange(m_isEditingSearch, true))
            controlTextDidBeginEditing();
        controlTextDidChange();
    });
    connect(searchInput, &QLineEdit::textChanged, this,
            [this] { btnClearSearch->setHidden(searchInput->text().isEmpty()); });
}

void PBHUDViewController::setupUI()
{
    historyTableView->setModel(m_model);
    // Large images are listed without their data: their thumbnails read the stored item off the
    // GUI thread.
    TaviPBManager *store = &manager;
    historyTableView->rowDelegate()->setStoredItemReader(
        [this, store](const PBItem &listed, std::function<void(const PBItem &)> done) {
            m_model->readAsync([store, listed, done = std::move(done)] {
                const PBItem stored = store->loadFullItem(listed);
                MainQueue::async([done, stored] { done(stored); });
            });
        });
    // A search's count follows its first page: the panel grows to it.
    connect(m_model, &CategoryListModel::countChanged, this, [this] { setTableHeight(); });
    connect(historyTableView, &PBHUDTableView::selectionDidChange, this,
            &PBHUDViewController::tableViewSelectionDidChange);
    connect(historyTableView, &PBHUDTableView::dragRequested, this, &PBHUDViewController::startDrag);
    connect(historyTableView, &PBHUDTableView::deleteClicked, this, &PBHUDViewController::deleteRow);
    connect(btnClearSearch, &QToolButton::clicked, this, &PBHUDViewController::clearAction);
    connect(btnClose, &QToolButton::clicked, this, &PBHUDViewController::closeAction);
    connect(btnMenu, &QToolButton::clicked, this, &PBHUDViewController::menuAction);
}

void PBHUDViewController::menuAction()
{
    AppDelegate *delegate = AppDelegate::shared();
    if (!delegate || !delegate->statusBarMenu)
        return;
    delegate->statusBarMenu->popup(btnMenu->mapToGlobal(QPoint(0, btnMenu->height())));
}

// --- Life cycle

void PBHUDViewController::viewWillAppear()
{
    btnClearSearch->hide();
    searchInput->clear();
    m_keyword.clear();
    isSearchMode = false;
    m_isEditingSearch = false;
    // A selection left from the last opening would make Return paste a row the user cannot see
    // marked: every opening starts with none, so Return pastes the first row.
    historyTableView->deselectAll();
    lastSelectedIndex = 0;
    startKeyMonitor();
    track("PBHUD_Open");

    m_observers.clear();
    const auto refresh = [this](const Notification &) { refreshData(); };
    m_observers.observe(NotificationName::historyDidAddNewItem, refresh);
    m_observers.observe(NotificationName::historyItemDidUpdate, refresh);
    m_observers.observe(NotificationName::historyItemsDidClear, refresh);
    m_observers.observe(NotificationName::historyItemDidDelete, [this](const Notification &n) { handleItemDelete(n); });
    m_observers.observe(NotificationName::remoteDataChanged, refresh);
    m_observers.observe(AppActivation::kWillResignActive, [this](const Notification &) { handleAppResignActive(); });
}

void PBHUDViewController::viewDidAppear()
{
    searchInput->setFocus(Qt::ActiveWindowFocusReason);
    searchAndReload();
}

void PBHUDViewController::viewWillDisappear()
{
    stopKeyMonitor();
    m_observers.clear();
    // A search still running must not act on a closed panel.
    ++m_fetchGeneration;
    // Nothing is observed while the panel is hidden: rows wanted before the next opening's fetch
    // lands are read afresh, never taken from this opening.
    m_query = {};
    m_stale = true;
}

// --- Fetching

void PBHUDViewController::searchAndReload()
{
    const QString text = searchInput->text();
    isSearchMode = !text.isEmpty();
    btnClearSearch->setHidden(text.isEmpty());
    m_keyword = text;
    fetch([this] {
        lastSelectedIndex = 0;
        historyTableView->scrollToTop();
    });
}

void PBHUDViewController::refreshData()
{
    fetch([this] {
        lastSelectedIndex = 0;
        historyTableView->scrollToTop();
    });
}

void PBHUDViewController::fetch(std::function<void()> then)
{
    const quint64 generation = ++m_fetchGeneration;
    // The search is the panel's own: the store's filter is never set, so what the other lists
    // show never changes.
    m_query = {};
    if (!m_keyword.isEmpty())
        m_query.search = PBSearchFilter{{m_keyword}};
    m_stale = true;
    const QPointer<PBHUDViewController> self(this);
    m_model->fetch(m_query, [self, generation, then] {
        if (!self || self->m_fetchGeneration != generation)
            return;
        self->m_stale = false;
        self->setTableHeight();
        if (then)
            then();
    });
}

int PBHUDViewController::numberOfRows() const { return m_model->rowCount(); }

QString PBHUDViewController::shownKeyword() const
{
    const auto &search = m_model->query().search;
    return search ? search->keywords.value(0) : QString();
}

PBItem PBHUDViewController::itemAt(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return {};
    if (m_stale)
        return manager.getItemsPage(m_query, row, 1).value(0);
    return m_model->item(row);
}

void PBHUDViewController::setTableHeight()
{
    const int count = numberOfRows();
    const int height = int(PBHUDCell::kRowHeight) * std::min(count, kMaxVisibleRows);
    historyTableView->setFixedHeight(height);
    // The keyword is shown in the panel only; it is never logged.
    const QString keyword = shownKeyword();
    emptyLabel->setText(keyword.isEmpty() ? L("PBHUD.Empty") : L("PBHUD.NoMatch").arg(shownSearch(keyword)));
    const bool wasEmpty = !emptyLabel->isHidden();
    emptyLabel->setVisible(count == 0);
    if (height != m_tableHeight || wasEmpty != (count == 0)) {
        m_tableHeight = height;
        Q_EMIT tableHeightChanged(height);
    }
}

// --- Keyboard

// The panel's own key-down monitor: it sees every key press of the search field and the list
// before they do.
void PBHUDViewController::startKeyMonitor()
{
    if (m_keyMonitorInstalled)
        return;
    searchInput->installEventFilter(this);
    historyTableView->installEventFilter(this);
    m_keyMonitorInstalled = true;
}

void PBHUDViewController::stopKeyMonitor()
{
    if (!m_keyMonitorInstalled)
        return;
    searchInput->removeEventFilter(this);
    historyTableView->removeEventFilter(this);
    m_keyMonitorInstalled = false;
}

bool PBHUDViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !m_keyMonitorInstalled
        || (watched != searchInput && watched != historyTableView))
        return QWidget::eventFilter(watched, event);
    m_keyReceiver = static_cast<QWidget *>(watched);
    const bool consumed = handleKeyDown(static_cast<QKeyEvent *>(event));
    m_keyReceiver = nullptr;
    return consumed;
}

bool PBHUDViewController::handleKeyDown(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        track("PBHUD_ESC");
        Q_EMIT closeRequested();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        track("PBHUD_UsingReturn");
        pasteSelectedItem();
        return false;
    case Qt::Key_Down:
        track("PBHUD_KeyBoardSelection");
        moveSelection(false);
        return false;
    case Qt::Key_Up:
        track("PBHUD_KeyBoardSelection");
        moveSelection(true);
        return false;
    case Qt::Key_Backspace:
        track("ListVC_CommandAndDelete");
        if (event->modifiers() & Qt::ControlModifier)
            deleteSelectedItem();
        return false;
    default: return false;
    }
}

void PBHUDViewController::moveSelection(bool up)
{
    QWidget *focus = m_keyReceiver ? m_keyReceiver : QApplication::focusWidget();
    if (!window() || !focus || focus == historyTableView || numberOfRows() == 0)
        return;
    const int n = numberOfRows();
    const int candidate = lastSelectedIndex + (up ? -1 : 1);
    const int row = (candidate < 0 ? n - 1 : candidate) % n;
    historyTableView->selectRow(row);
    historyTableView->scrollRowToVisible(row);
}

void PBHUDViewController::tableViewSelectionDidChange()
{
    // The rows repaint their hints themselves: the selected one says that Return pastes it.
    lastSelectedIndex = historyTableView->selectedRow();
}

// --- Pasting

void PBHUDViewController::pasteSelectedItem()
{
    const int selected = historyTableView->selectedRow();
    if (numberOfRows() == 0 || selected >= numberOfRows())
        return;
    pasteItem(selected < 0 ? 0 : selected);
    const QPointer<PBHUDViewController> self(this);
    MainQueue::async([self] {
        if (self)
            Q_EMIT self->closeRequested();
    });
}

void PBHUDViewController::doubleClickAciton()
{
    const int row = historyTableView->clickedRow();
    if (row < 0 || row >= numberOfRows())
        return;
    pasteItem(row);
    track("PBHUD_DoubleClickCopy");
}

void PBHUDViewController::pasteItem(int row)
{
    const PBItem item = itemAt(row);
    PasteRoutine::paste(manager, {item}, item.primaryCategory());
}

// --- Deleting

void PBHUDViewController::deleteSelectedItem() { deleteRow(historyTableView->selectedRow()); }

void PBHUDViewController::deleteRow(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    const PBItem item = itemAt(row);
    manager.deleteItem(item);
    NotificationCenter::defaultCenter().post(NotificationName::historyItemDidDeleteFromHUD, nullptr,
                                             NotificationPayload::ChangedItem::encode(item));
    reloadAfterDelete(row);
}

void PBHUDViewController::reloadAfterDelete(int row)
{
    if (TaviSettings::shared().enableQuickSelection()) {
        if (AppDelegate *delegate = AppDelegate::shared())
            delegate->requestQuickSelectionRefresh();
    }
    fetch([this, row] {
        if (numberOfRows() > 0)
            historyTableView->selectRow(std::min(row, numberOfRows() - 1));
    });
}

void PBHUDViewController::handleItemDelete(const Notification &notification)
{
    if (!NotificationPayload::ChangedItem::decode(notification))
        return;
    // A clear announces each item it took: the rows are read again once the announcements pause.
    m_stale = true;
    ++m_deletesAnnounced;
    if (m_deleteRefreshQueued)
        return;
    m_deleteRefreshQueued = true;
    refreshAfterDeletes(historyTableView->selectedRow());
}

void PBHUDViewController::refreshAfterDeletes(int selected)
{
    const quint64 seen = m_deletesAnnounced;
    QTimer::singleShot(kDeleteRefreshDelay, this, [this, selected, seen] {
        if (m_deletesAnnounced != seen) {
            refreshAfterDeletes(selected);
            return;
        }
        m_deleteRefreshQueued = false;
        if (m_observers.isEmpty())
            return; // closed since
        fetch([this, selected] {
            if (selected >= 0 && numberOfRows() > 0)
                historyTableView->selectRow(std::min(selected, numberOfRows() - 1));
        });
    });
}

void PBHUDViewController::handleAppResignActive() { Q_EMIT closeRequested(); }

// --- Buttons and the search field

void PBHUDViewController::closeAction()
{
    track("PBHUD_CloseByCross");
    if (TaviSettings::shared().hasShownPBHUDCloseTip()) {
        Q_EMIT closeRequested();
        return;
    }
    showAlert(L("PBHUD.Close.Tip"), QString(), L("Note.Alert.confirm"), std::nullopt, nullptr,
              AlertStyle::informational);
    Q_EMIT closeRequested();
    TaviSettings::shared().setHasShownPBHUDCloseTip(true);
}

void PBHUDViewController::clearAction()
{
    searchInput->clear();
    searchAndReload();
}

void PBHUDViewController::controlTextDidChange()
{
    if (changeHandleFunc)
        changeHandleFunc();
}

void PBHUDViewController::controlTextDidBeginEditing() { track("PBHUD_UsingSearch"); }

// --- Drag out

void PBHUDViewController::startDrag(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    const PBItem item = itemAt(row);
    DragOut::start(this, manager, {item}, item.primaryCategory());
}
