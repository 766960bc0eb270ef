#include "preferences/ValueStepperField.h"

#include "preferences/SecondaryText.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

ValueStepperField::ValueStepperField(Kind kind, QWidget *parent) : QWidget(parent), m_kind(kind)
{
    auto *layout = new QGridLayout(this);
    m_grid = layout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(2);
    layout->setVerticalSpacing(2);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("valueField"));
    m_edit->setMaximumWidth(90);
    m_edit->setAlignment(Qt::AlignRight);
    m_edit->installEventFilter(this);

    auto *stepper = new QWidget(this);
    auto *stepperLayout = new QVBoxLayout(stepper);
    stepperLayout->setContentsMargins(0, 0, 0, 0);
    stepperLayout->setSpacing(0);
    const auto makeArrow = [stepper](Qt::ArrowType arrow, const char *name) {
        auto *button = new QToolButton(stepper);
        button->setObjectName(QLatin1String(name));
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFixedSize(16, 11);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    m_up = makeArrow(Qt::UpArrow, "stepUp");
    m_down = makeArrow(Qt::DownArrow, "stepDown");
    stepperLayout->addWidget(m_up);
    stepperLayout->addWidget(m_down);

    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("refusalLabel"));
    SecondaryText::apply(m_reason, SecondaryText::Kind::Warning);
    QFont small = m_reason->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_reason->setFont(small);
    m_reason->hide();

    layout->addWidget(m_edit, 0, 0);
    layout->addWidget(stepper, 0, 1, Qt::AlignVCenter);
    layout->addWidget(m_reason, 1, 0, 1, 8);
    layout->setColumnStretch(7, 1);

    connect(m_edit, &QLineEdit::textEdited, this, &ValueStepperField::textEdited);
    connect(m_edit, &QLineEdit::editingFinished, this, &ValueStepperField::editingFinished);
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void ValueStepperField::addAccessory(QWidget *widget)
{
    widget->setParent(this);
    m_grid->addWidget(widget, 0, 2 + m_accessories++, Qt::AlignVCenter | Qt::AlignLeft);
}

void ValueStepperField::setRange(double minimum, double maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
}

QString ValueStepperField::format(double value) const
{
    if (m_kind == Kind::Integer || value == std::trunc(value))
        return QString::number(qint64(std::llround(value)));
    return QString::number(value, 'g', 12);
}

void ValueStepperField::setValue(double value)
{
    if (!std::isfinite(value))
        return;
    m_lastSetValue = value;
    m_edit->setText(format(value));
    showRefusal(QString());
}

std::optional<double> ValueStepperField::parse(const QString &text)
{
    // Pasted text keeps only what is on its first line.
    const QString trimmed = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ValueStepperField::typedValue() const { return parse(m_edit->text()); }

std::optional<qint64> ValueStepperField::typedInteger() const
{
    const std::optional<double> value = typedValue();
    if (!value || *value != std::trunc(*value) || std::fabs(*value) > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return qint64(*value);
}

void ValueStepperField::showRefusal(const QString &reason)
{
    m_reason->setText(reason);
    m_reason->setVisible(!reason.isEmpty());
    m_edit->setStyleSheet(reason.isEmpty() ? QString() : QStringLiteral("QLineEdit { border: 1px solid #c0392b; }"));
}

QString ValueStepperField::refusal() const { return m_reason->isHidden() ? QString() : m_reason->text(); }

void ValueStepperField::stepBy(int steps)
{
    if (!isEnabled())
        return;
    const double from = typedValue().value_or(m_minimum);
    double next = from + steps * m_increment;
    if (m_kind == Kind::Integer)
        next = std::round(next);
    else
        next = std::round(next * 1e6) / 1e6; // 0.1 steps stay 0.3, not 0.30000000000000004
    next = std::clamp(next, m_minimum, m_maximum);
    setValue(next);
    Q_EMIT stepped(next);
}

bool ValueStepperField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
