#pragma once
// A number typed into a line edit, with a small stepper of our own beside it. Any text can be
// typed (a spin box would refuse "20" on the way to "2" against a maximum of 9); the owner checks
// what was typed with typedValue() and accepts, corrects or refuses it, showing the reason below
// the field. The stepper always steps from the value the field shows. GUI thread.

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QToolButton;

class ValueStepperField : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Integer, Decimal };

    explicit ValueStepperField(Kind kind, QWidget *parent = nullptr);

    // The stepper's bounds; the maximum may be infinity.
    void setRange(double minimum, double maximum);
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    void setIncrement(double increment) { m_increment = increment; }
    double increment() const { return m_increment; }

    // Shows the value (integers without a fraction) and hides any refusal.
    void setValue(double value);
    // The value last given to setValue() (or stepped to): what the field held before the user
    // began typing, to go back to when the typed text is refused.
    double lastSetValue() const { return m_lastSetValue; }
    // The typed value was taken: it becomes the one to go back to; the text stays as typed.
    void acceptTypedValue(double value) { m_lastSetValue = value; }
    // The number the field shows now: none when its text is not one finite number.
    std::optional<double> typedValue() const;
    // Integers only: the typed number as an integer; none when fractional or out of the int range.
    std::optional<qint64> typedInteger() const;
    static std::optional<double> parse(const QString &text);

    // Shows why the typed text was not taken (an empty reason hides it).
    void showRefusal(const QString &reason);
    QString refusal() const;

    // Steps from the shown value (or from the minimum when the text is not a number), within the
    // bounds, shows the result and emits stepped().
    void stepBy(int steps);

    // A widget beside the stepper (a unit); a refusal shows below both.
    void addAccessory(QWidget *widget);

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

Q_SIGNALS:
    void textEdited(const QString &text); // each keystroke
    void editingFinished();
    void stepped(double value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString format(double value) const;

    Kind m_kind;
    double m_minimum = 0;
    double m_maximum = 100;
    double m_increment = 1;
    double m_lastSetValue = 0;
    QLineEdit *m_edit = nullptr;
    QToolButton *m_up = nullptr;
    QToolButton *m_down = nullptr;
    QLabel *m_reason = nullptr;
    class QGridLayout *m_grid = nullptr;
    int m_accessories = 0;
};
