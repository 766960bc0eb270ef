#include "history/CustomCategoryPickCellView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>

CustomCategoryPickCellView::CustomCategoryPickCellView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CustomCategoryPickCellView"));
    checkBtn = new QCheckBox(this);
    checkBtn->setObjectName(QStringLiteral("checkBtn"));
    colorView = new QWidget(this);
    colorView->setObjectName(QStringLiteral("colorView"));
    colorView->setFixedSize(14, 14);
    colorView->setAutoFillBackground(true);
    nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setTextFormat(Qt::PlainText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(checkBtn);
    layout->addWidget(colorView);
    layout->addWidget(nameLabel, 1);
    connect(checkBtn, &QCheckBox::clicked, this, &CustomCategoryPickCellView::checkBtnAction);
}

void CustomCategoryPickCellView::configure(const PBCategory &category, const PBItem &item)
{
    QPalette palette = colorView->palette();
    palette.setColor(QPalette::Window, category.backgroundColor());
    colorView->setPalette(palette);
    nameLabel->setText(category.name());
    const auto &categories = item.categories();
    checkBtn->setChecked(std::any_of(categories.cbegin(), categories.cend(),
                                     [&](const PBCategory &carried) { return carried.id() == category.id(); }));
}

void CustomCategoryPickCellView::checkBtnAction()
{
    if (checkBtnClick)
        checkBtnClick(checkBtn->isChecked());
}
