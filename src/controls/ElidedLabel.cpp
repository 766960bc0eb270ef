#include "controls/ElidedLabel.h"

#include "core/StringExtensions.h"

#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QRect ElidedLabel::textArea() const
{
    const int inset = margin();
    return contentsRect().adjusted(inset, inset, -inset, -inset);
}

QString ElidedLabel::displayedText() const
{
    if (m_atWord)
        return elideAtWordBoundary(text(), fontMetrics(), textArea().width());
    return fontMetrics().elidedText(text(), Qt::ElideRight, textArea().width());
}

void ElidedLabel::setElideAtWordBoundary(bool atWord)
{
    m_atWord = atWord;
    update();
}

QSize ElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

QSize ElidedLabel::sizeHint() const { return {0, QLabel::sizeHint().height()}; }

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, textArea(), int(align) | Qt::TextSingleLine, palette(), isEnabled(),
                          displayedText(), foregroundRole());
}
