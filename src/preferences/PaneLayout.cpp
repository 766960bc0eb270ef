#include "preferences/PaneLayout.h"

#include "preferences/SecondaryText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

PaneLayout::PaneLayout(QWidget *pane, Labels labels) : m_labels(labels)
{
    auto *outer = new QVBoxLayout(pane);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(pane);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    m_content = new QWidget(scroll);
    scroll->setWidget(m_content);
    m_grid = new QGridLayout(m_content);
    m_grid->setContentsMargins(24, 12, 24, 12);
    m_grid->setHorizontalSpacing(12);
    m_grid->setVerticalSpacing(6);
    m_grid->setColumnStretch(1, 1);
    if (m_labels == Labels::InColumn)
        m_grid->setColumnMinimumWidth(0, 160);
}

void PaneLayout::section(const QString &title)
{
    auto *label = new QLabel(title, m_content);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    if (m_row > 0)
        m_grid->setRowMinimumHeight(m_row++, 10);
    m_grid->addWidget(label, m_row++, 0, 1, 2);
}

QCheckBox *PaneLayout::checkBox(const QString &text, const char *objectName, int indent)
{
    auto *box = new QCheckBox(text, m_content);
    box->setObjectName(QLatin1String(objectName));
    const int margin = 20 * indent + (m_labels == Labels::Inline ? 12 : 0);
    const int column = m_labels == Labels::Inline ? 0 : 1;
    const int span = m_labels == Labels::Inline ? 2 : 1;
    if (margin > 0) {
        auto *holder = new QWidget(m_content);
        auto *layout = new QHBoxLayout(holder);
        layout->setContentsMargins(margin, 0, 0, 0);
        layout->addWidget(box);
        layout->addStretch(1);
        m_grid->addWidget(holder, m_row++, column, 1, span);
    } else {
        m_grid->addWidget(box, m_row++, column, 1, span);
    }
    return box;
}

QComboBox *PaneLayout::comboBox(const QString &label, const char *objectName, const QStringList &items)
{
    auto *combo = new QComboBox(m_content);
    combo->setObjectName(QLatin1String(objectName));
    combo->addItems(items);
    combo->setMinimumWidth(200);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *holder = new QWidget(m_content);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(combo);
    layout->addStretch(1);
    row(label, holder);
    return combo;
}

ValueStepperField *PaneLayout::stepperField(const QString &label, const char *objectName, ValueStepperField::Kind kind,
                                            const QString &unit)
{
    auto *holder = new QWidget(m_content);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *field = new ValueStepperField(kind, holder);
    field->setObjectName(QLatin1String(objectName));
    layout->addWidget(field, 0, Qt::AlignTop);
    if (!unit.isEmpty()) {
        auto *unitLabel = new QLabel(unit, holder);
        unitLabel->setContentsMargins(4, 0, 0, 0);
        field->addAccessory(unitLabel);
    }
    layout->addStretch(1);
    row(label, holder);
    return field;
}

void PaneLayout::row(const QString &label, QWidget *control)
{
    if (m_labels == Labels::Inline) {
        auto *holder = new QWidget(m_content);
        auto *layout = new QHBoxLayout(holder);
        layout->setContentsMargins(12, 0, 0, 0);
        if (!label.isEmpty()) {
            auto *text = new QLabel(label, holder);
            text->setBuddy(control);
            layout->addWidget(text, 0, Qt::AlignTop);
            text->setContentsMargins(0, 4, 0, 0);
        }
        layout->addWidget(control, 0, Qt::AlignTop);
        layout->addStretch(1);
        m_grid->addWidget(holder, m_row++, 0, 1, 2);
        return;
    }
    if (!label.isEmpty()) {
        auto *text = new QLabel(label, m_content);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        text->setBuddy(control);
        m_grid->addWidget(text, m_row, 0, Qt::AlignRight | Qt::AlignTop);
        text->setContentsMargins(0, 4, 0, 0);
    }
    m_grid->addWidget(control, m_row++, 1);
}

QLabel *PaneLayout::note(const QString &text)
{
    auto *label = new QLabel(text, m_content);
    label->setWordWrap(true);
    SecondaryText::apply(label, SecondaryText::Kind::Help);
    m_grid->addWidget(label, m_row++, m_labels == Labels::Inline ? 0 : 1, 1, m_labels == Labels::Inline ? 2 : 1);
    return label;
}

void PaneLayout::finish() { m_grid->setRowStretch(m_row, 1); }
