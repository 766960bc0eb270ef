#include "preferences/SettingCategoryCells.h"

#include "platform/Strings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

SettingCategoryColorCell::SettingCategoryColorCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settingCategoryColorCell"));
}

void SettingCategoryColorCell::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void SettingCategoryColorCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch = QRectF(0, 0, 18, 18).translated(QRectF(rect()).center() - QPointF(9, 9));
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(m_color.isValid() ? m_color : palette().color(QPalette::Window));
    painter.drawRoundedRect(swatch, 2, 2);
}

SettingCategoryActiveCell::SettingCategoryActiveCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settingCategoryActiveCell"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    btnActive = new QToolButton(this);
    btnActive->setCheckable(true);
    btnActive->setAutoRaise(true);
    btnActive->setToolTip(L("Settings.Category.Active.tip"));
    layout->addWidget(btnActive, 0, Qt::AlignCenter);
    connect(btnActive, &QToolButton::clicked, this, &SettingCategoryActiveCell::clickActiveBtn);
    setImage(QStringLiteral("inactive"));
}

void SettingCategoryActiveCell::setImage(const QString &name)
{
    m_imageName = name;
    const bool filled = name == QLatin1String("active");
    btnActive->setText(filled ? QStringLiteral("\u2605") : QStringLiteral("\u2606"));
    QString color = QStringLiteral("#e6a700");
    if (name == QLatin1String("active-disable"))
        color = QStringLiteral("#c8c8c8");
    btnActive->setStyleSheet(QStringLiteral("QToolButton { color: %1; font-size: 16px; border: none; }").arg(color));
}

void SettingCategoryActiveCell::configure(bool active, bool enabled)
{
    btnActive->setEnabled(enabled);
    if (enabled) {
        btnActive->setChecked(active);
        setImage(active ? QStringLiteral("active") : QStringLiteral("inactive"));
    } else {
        setImage(QStringLiteral("active-disable"));
    }
}

void SettingCategoryActiveCell::clickActiveBtn()
{
    const bool on = btnActive->isChecked();
    setImage(on ? QStringLiteral("active") : QStringLiteral("inactive"));
    if (clickHandler)
        clickHandler(on);
}

SettingCategoryDisplayCell::SettingCategoryDisplayCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settingCategoryDisplayCell"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    btnDisplay = new QCheckBox(this);
    layout->addWidget(btnDisplay, 0, Qt::AlignCenter);
    connect(btnDisplay, &QCheckBox::clicked, this, &SettingCategoryDisplayCell::changeDisplayAction);
}

void SettingCategoryDisplayCell::changeDisplayAction()
{
    if (clickHandler)
        clickHandler(!btnDisplay->isChecked());
}

SettingCategoryManageCell::SettingCategoryManageCell(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingCategoryManageCell"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    deleteBtn = new QPushButton(L("Settings.Category.Clear"), this);
    deleteBtn->setToolTip(L("Settings.Category.Clear.tip"));
    layout->addWidget(deleteBtn, 0, Qt::AlignCenter);
    connect(deleteBtn, &QPushButton::clicked, this, [this] {
        if (deleteHandler)
            deleteHandler();
    });
}
