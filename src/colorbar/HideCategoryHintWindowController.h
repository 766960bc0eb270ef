#pragma once
// The hint shown after a category was hidden from the color bar: where hidden categories come
// back, a box that turns the hint off, and a button to the categories of the preferences.
// GUI thread.

#include <QWidget>

class QCheckBox;

class HideCategoryHintWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCategoryTab = 2;

    explicit HideCategoryHintWindowController(QWidget *parent = nullptr);

    QCheckBox *notPromptButton() const { return m_notPrompt; }
    void notPromptBtnAction();
    void preferencesBtnAction();
    void confirmBtnAction();

private:
    QCheckBox *m_notPrompt = nullptr;
};
