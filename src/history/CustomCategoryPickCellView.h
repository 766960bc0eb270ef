#pragma once
// One row of the custom-category picker: the category's colour and name, and a check box that is
// on when the item being sorted belongs to that category. Toggling it reports the new state. GUI thread.

#include "core/PBCategory.h"
#include "core/PBItem.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;

class CustomCategoryPickCellView : public QWidget {
    Q_OBJECT
public:
    explicit CustomCategoryPickCellView(QWidget *parent = nullptr);

    void configure(const PBCategory &category, const PBItem &item);
    void checkBtnAction();

    QCheckBox *checkBtn = nullptr;
    QWidget *colorView = nullptr;
    QLabel *nameLabel = nullptr;
    std::function<void(bool)> checkBtnClick;
};
