#include "history/TrashFilterView.h"

#include "controls/TrashFilterNoteView.h"
#include "platform/Strings.h"

#include <QCheckBox>
#include <QVBoxLayout>

TrashFilterView::TrashFilterView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TrashFilterView"));
    m_noteView = new TrashFilterNoteView(this);
    m_noteView->layout()->setContentsMargins(0, 0, 0, 0);
    noteBtn = m_noteView->noteBtn;
    stickyBtn = new QCheckBox(L("Actions.Clear.IncludeSticky"), this);
    stickyBtn->setObjectName(QStringLiteral("stickyBtn"));
    lockBtn = new QCheckBox(L("Actions.Clear.IncludeLocked"), this);
    lockBtn->setObjectName(QStringLiteral("lockBtn"));
    customBtn = new QCheckBox(L("Actions.Clear.IncludeCustom"), this);
    customBtn->setObjectName(QStringLiteral("customBtn"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QWidget *row : {static_cast<QWidget *>(stickyBtn), static_cast<QWidget *>(m_noteView),
                         static_cast<QWidget *>(lockBtn), static_cast<QWidget *>(customBtn)}) {
        row->setFixedHeight(kRowHeight);
        layout->addWidget(row);
    }
    setCategoryType(std::nullopt);
}

void TrashFilterView::setCategoryType(std::optional<PBDefaultCategory> type)
{
    m_categoryType = type;
    const bool all = type == PBDefaultCategory::all;
    const bool custom = type == PBDefaultCategory::custom;
    m_noteView->setVisible(all);
    stickyBtn->setVisible(true);
    lockBtn->setVisible(all);
    customBtn->setVisible(!custom);
    const int rows = all ? 4 : custom ? 1 : 2;
    setFixedHeight(rows * kRowHeight);
}

TaviPBManager::ClearOptions TrashFilterView::clearOptions() const
{
    TaviPBManager::ClearOptions options;
    options.includeSticky = !stickyBtn->isHidden() && stickyBtn->isChecked();
    options.includeNotes =
        m_categoryType == PBDefaultCategory::note || (!m_noteView->isHidden() && noteBtn->isChecked());
    options.includeLock = !lockBtn->isHidden() && lockBtn->isChecked();
    options.includeCustom =
        m_categoryType == PBDefaultCategory::custom || (!customBtn->isHidden() && customBtn->isChecked());
    return options;
}
