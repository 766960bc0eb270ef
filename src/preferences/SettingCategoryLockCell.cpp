#include "preferences/SettingCategoryLockCell.h"

#include <QCheckBox>
#include <QHBoxLayout>

SettingCategoryLockCell::SettingCategoryLockCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingCategoryLockCell"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    btnDisplay = new QCheckBox(this);
    layout->addWidget(btnDisplay, 0, Qt::AlignCenter);
    connect(btnDisplay, &QCheckBox::clicked, this, &SettingCategoryLockCell::changeDisplayAction);
}

void SettingCategoryLockCell::changeDisplayAction()
{
    if (clickHandler)
        clickHandler(btnDisplay->isChecked());
}
