#pragma once
// The cells of the category management table other than the lock cell: the colour swatch, the
// active star, the shown-on-bar check box and the clear button. GUI thread.

#include <QColor>
#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class QToolButton;

class SettingCategoryColorCell : public QWidget {
    Q_OBJECT
public:
    explicit SettingCategoryColorCell(QWidget *parent = nullptr);
    void setColor(const QColor &color);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

class SettingCategoryActiveCell : public QWidget {
    Q_OBJECT
public:
    explicit SettingCategoryActiveCell(QWidget *parent = nullptr);
    // Enabled: the star follows active; not enabled: a grey star, the state left alone.
    void configure(bool active, bool enabled);
    void clickActiveBtn();
    // The name of the star image shown: "active", "inactive" or "active-disable".
    QString imageName() const { return m_imageName; }

    QToolButton *btnActive = nullptr;
    std::function<void(bool active)> clickHandler;

private:
    void setImage(const QString &name);
    QString m_imageName;
};

class SettingCategoryDisplayCell : public QWidget {
    Q_OBJECT
public:
    explicit SettingCategoryDisplayCell(QWidget *parent = nullptr);
    void changeDisplayAction();

    QCheckBox *btnDisplay = nullptr;
    // Called with whether the category is to be hidden.
    std::function<void(bool hidden)> clickHandler;
};

class SettingCategoryManageCell : public QWidget {
    Q_OBJECT
public:
    explicit SettingCategoryManageCell(QWidget *parent = nullptr);

    QPushButton *deleteBtn = nullptr;
    std::function<void()> deleteHandler;
};
