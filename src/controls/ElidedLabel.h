#pragma once
// A one-line label that shows as much of its text as fits and ends it with "…"; text() keeps the
// whole text. It asks for no width of its own, so a long text never widens its layout. GUI thread.

#include <QLabel>

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // What is drawn at the label's present width.
    QString displayedText() const;
    // Whether a text too wide is cut at a word boundary (as titles are) instead of mid-word.
    void setElideAtWordBoundary(bool atWord);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textArea() const;

    bool m_atWord = false;
};
