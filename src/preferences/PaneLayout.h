#pragma once
// Lays a settings pane out as titled sections of rows: a label on the left, its control on the
// right, check boxes in the control column. The rows scroll when the window is small. GUI thread.

#include "preferences/ValueStepperField.h"

#include <QStringList>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QWidget;

class PaneLayout {
public:
    // Without a label column, check boxes start at the left and labels stand before their control.
    enum class Labels { InColumn, Inline };
    explicit PaneLayout(QWidget *pane, Labels labels = Labels::InColumn);

    void section(const QString &title);
    // A check box in the control column; indent moves it right to show it depends on the one above.
    QCheckBox *checkBox(const QString &text, const char *objectName, int indent = 0);
    QComboBox *comboBox(const QString &label, const char *objectName, const QStringList &items);
    // The field with its unit after it.
    ValueStepperField *stepperField(const QString &label, const char *objectName, ValueStepperField::Kind kind,
                                    const QString &unit);
    // Any control with its label (empty for none).
    void row(const QString &label, QWidget *control);
    // A grey explanatory text under the rows so far.
    QLabel *note(const QString &text);
    // Ends the rows; space below them stays empty.
    void finish();

    QWidget *content() const { return m_content; }

private:
    QWidget *m_content = nullptr;
    QGridLayout *m_grid = nullptr;
    int m_row = 0;
    Labels m_labels = Labels::InColumn;
};
