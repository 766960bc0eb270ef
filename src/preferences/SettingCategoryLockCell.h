#pragma once
// The lock column's cell of the category management table: a check box; the owner sets its state
// and is told the new one. GUI thread.

#include <QWidget>

#include <functional>

class QCheckBox;

class SettingCategoryLockCell : public QWidget {
    Q_OBJECT
public:
    explicit SettingCategoryLockCell(QWidget *parent = nullptr);

    void changeDisplayAction();

    QCheckBox *btnDisplay = nullptr;
    std::function<void(bool locked)> clickHandler;
};
