#include "preferences/BlacklistViewController.h"

#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DesktopEntries.h"
#include "platform/Strings.h"
#include "preferences/SecondaryText.h"
#include "preferences/SettingBlacklistCell.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The applications folders of the XDG data folders, most important first.
QStringList applicationFolders()
{
    QStringList folders;
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders.append(QDir::cleanPath(data + QStringLiteral("/applications")));
    return folders;
}

// Whether the file's [Desktop Entry] group names the application.
bool hasName(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QLatin1String("Name")) && line.contains(QLatin1Char('=')))
            return !line.section(QLatin1Char('='), 1).trimmed().isEmpty();
    }
    return false;
}

} // namespace

BlacklistViewController::BlacklistViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BlacklistViewController"));
    chooseFiles = [this] {
        const QStringList folders = applicationFolders();
        const QString start =
            std::ranges::find_if(folders, [](const QString &f) { return QFileInfo(f).isDir(); }) != folders.end()
                ? *std::ranges::find_if(folders, [](const QString &f) { return QFileInfo(f).isDir(); })
                : QDir::homePath();
        QFileDialog dialog(this, L("Settings.Blacklist.OpenPanel.Prompt"), start,
                           L("Settings.Blacklist.OpenPanel.Filter"));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        if (dialog.exec() != QDialog::Accepted)
            return QStringList();
        return dialog.selectedFiles();
    };

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    lblTitle = new QLabel(L("Settings.Blacklist.Title"), this);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblTips = new QLabel(L("Settings.Blacklist.Tips"), this);
    lblTips->setWordWrap(true);
    listTableView = new QTableWidget(0, 1, this);
    listTableView->setObjectName(QStringLiteral("listTableView"));
    listTableView->horizontalHeader()->hide();
    listTableView->verticalHeader()->hide();
    listTableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    listTableView->verticalHeader()->setDefaultSectionSize(SettingBlacklistCell::kRowHeight);
    listTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listTableView->setShowGrid(false);
    listTableView->setAcceptDrops(true);
    listTableView->viewport()->setAcceptDrops(true);
    listTableView->viewport()->installEventFilter(this);
    setAcceptDrops(true);

    lblRefusal = new QLabel(this);
    lblRefusal->setObjectName(QStringLiteral("lblRefusal"));
    SecondaryText::apply(lblRefusal, SecondaryText::Kind::Warning);
    lblRefusal->setWordWrap(true);
    lblRefusal->hide();

    auto *buttons = new QHBoxLayout;
    addBtn = new QPushButton(QStringLiteral("+"), this);
    addBtn->setObjectName(QStringLiteral("addBtn"));
    addBtn->setToolTip(L("Settings.Blacklist.Add"));
    deleteBtn = new QPushButton(QStringLiteral("\u2212"), this);
    deleteBtn->setObjectName(QStringLiteral("deleteBtn"));
    deleteBtn->setToolTip(L("Settings.Blacklist.Delete"));
    for (QPushButton *button : {addBtn, deleteBtn})
        button->setFixedSize(28, 24);
    buttons->setSpacing(0);
    buttons->addWidget(addBtn);
    buttons->addWidget(deleteBtn);
    buttons->addStretch(1);

    layout->addWidget(lblTitle);
    layout->addWidget(lblTips);
    layout->addWidget(listTableView, 1);
    layout->addLayout(buttons);
    layout->addWidget(lblRefusal);

    connect(addBtn, &QPushButton::clicked, this, &BlacklistViewController::clickAddBtn);
    connect(deleteBtn, &QPushButton::clicked, this, &BlacklistViewController::clickDeleteBtn);
    connect(listTableView, &QTableWidget::itemSelectionChanged, this,
            [this] { deleteBtn->setEnabled(!listTableView->selectionModel()->selectedRows().isEmpty()); });
    reloadData();
}

void BlacklistViewController::showEvent(QShowEvent *event)
{
    reloadData();
    QWidget::showEvent(event);
}

void BlacklistViewController::reloadData()
{
    const QStringList ids = TaviSettings::shared().storedBlackList();
    listTableView->clearContents();
    listTableView->setRowCount(int(ids.size()));
    for (int row = 0; row < ids.size(); ++row) {
        // A fresh cell for every row: nothing of another row's application can show.
        auto *cell = new SettingBlacklistCell;
        cell->configure(ids.at(row));
        listTableView->setCellWidget(row, 0, cell);
    }
    deleteBtn->setEnabled(!listTableView->selectionModel()->selectedRows().isEmpty());
}

BlacklistViewController::Candidate BlacklistViewController::candidate(const QString &path)
{
    const QFileInfo info(path);
    const QString file = info.fileName();
    if (!file.endsWith(QLatin1String(".desktop")))
        return {{}, L("Settings.Blacklist.Refused.NotDesktopFile").arg(file)};
    // A link to nowhere, or a loop of links, has no canonical path.
    if (info.canonicalFilePath().isEmpty() || !QFileInfo(info.canonicalFilePath()).isFile())
        return {{}, L("Settings.Blacklist.Refused.Unreadable").arg(file)};
    // The id as the desktop knows it: relative to its applications folder, '/' becoming '-'.
    QString id = info.completeBaseName();
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    for (const QString &folder : applicationFolders()) {
        if (absolute.startsWith(folder + QLatin1Char('/'))) {
            id = absolute.mid(folder.size() + 1);
            id.chop(int(qstrlen(".desktop")));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            break;
        }
    }
    if (!DesktopEntry::read(info.canonicalFilePath(), id))
        return {{}, L("Settings.Blacklist.Refused.NotApplication").arg(file)};
    if (!hasName(info.canonicalFilePath()))
        return {{}, L("Settings.Blacklist.Refused.NoName").arg(file)};
    return {id, {}};
}

QStringList BlacklistViewController::addApplications(const QStringList &paths)
{
    QStringList collected;
    QStringList reasons;
    for (const QString &path : paths) {
        const Candidate found = candidate(path);
        if (found.reason.isEmpty())
            collected.append(found.id);
        else
            reasons.append(found.reason);
    }
    lblRefusal->setText(reasons.join(QLatin1Char('\n')));
    lblRefusal->setVisible(!reasons.isEmpty());
    if (collected.isEmpty())
        return {};
    QStringList list = TaviSettings::shared().storedBlackList();
    for (const QString &id : std::as_const(collected))
        if (!list.contains(id))
            list.append(id);
    TaviSettings::shared().setBlackList(list);
    reloadData();
    for (const QString &id : std::as_const(collected))
        Analytics::trackEvent(QStringLiteral("Settings_Blacklist"), {{QStringLiteral("app"), id}});
    return collected;
}

void BlacklistViewController::clickAddBtn()
{
    if (!chooseFiles)
        return;
    const QStringList paths = chooseFiles();
    if (!paths.isEmpty())
        addApplications(paths);
}

void BlacklistViewController::clickDeleteBtn()
{
    QList<int> rows;
    for (const QModelIndex &index : listTableView->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    std::ranges::sort(rows, std::greater<>());
    QStringList list = TaviSettings::shared().storedBlackList();
    for (int row : std::as_const(rows))
        if (row >= 0 && row < list.size())
            list.removeAt(row);
    TaviSettings::shared().setBlackList(list);
    listTableView->clearSelection();
    reloadData();
}

QStringList BlacklistViewController::desktopFilePaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QLatin1String(".desktop")))
            paths.append(url.toLocalFile());
    return paths;
}

void BlacklistViewController::dragEnterEvent(QDragEnterEvent *event)
{
    if (!desktopFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BlacklistViewController::dragMoveEvent(QDragMoveEvent *event)
{
    if (!desktopFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BlacklistViewController::dropEvent(QDropEvent *event)
{
    const QStringList paths = desktopFilePaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    addApplications(paths);
    event->acceptProposedAction();
}

bool BlacklistViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == listTableView->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter: dragEnterEvent(static_cast<QDragEnterEvent *>(event)); return true;
        case QEvent::DragMove: dragMoveEvent(static_cast<QDragMoveEvent *>(event)); return true;
        case QEvent::Drop: dropEvent(static_cast<QDropEvent *>(event)); return true;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
