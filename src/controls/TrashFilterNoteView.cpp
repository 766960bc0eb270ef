#include "controls/TrashFilterNoteView.h"

#include "platform/Strings.h"

#include <QCheckBox>
#include <QVBoxLayout>

TrashFilterNoteView::TrashFilterNoteView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TrashFilterNoteView"));
    noteBtn = new QCheckBox(L("Category.Alert.IncludeNotes"), this);
    noteBtn->setObjectName(QStringLiteral("noteBtn"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->addWidget(noteBtn);
}

bool TrashFilterNoteView::includesNotes() const { return noteBtn->isChecked(); }
