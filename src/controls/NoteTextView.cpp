#include "controls/NoteTextView.h"

#include "platform/Strings.h"

#include <QPainter>
#include <QPalette>

NoteTextView::NoteTextView(QWidget *parent) : QTextEdit(parent)
{
    QFont font = this->font();
    font.setPixelSize(12);
    placeholderAttributedString =
        Placeholder{L("Note.Edit.PlaceholderString"), palette().color(QPalette::PlaceholderText), font};
    // Deleting the last character must bring the placeholder back everywhere, not just where
    // the character was.
    connect(this, &QTextEdit::textChanged, viewport(), qOverload<>(&QWidget::update));
}

bool NoteTextView::showsPlaceholder() const { return placeholderAttributedString.has_value() && document()->isEmpty(); }

QRectF NoteTextView::placeholderRect(const QRectF &area) const
{
    const QMargins &m = placeholderInsets;
    const double dx = m.left() + m.right();
    const double dy = m.top() + m.bottom();
    return area.adjusted(dx, dy, -dx, -dy).translated(m.left() - m.right(), m.top() - m.bottom());
}

void NoteTextView::paintEvent(QPaintEvent *event)
{
    QTextEdit::paintEvent(event);
    if (!showsPlaceholder())
        return;
    QPainter painter(viewport());
    painter.setFont(placeholderAttributedString->font);
    painter.setPen(placeholderAttributedString->color);
    // Laid out in the whole visible area; a partial repaint only clips it.
    painter.drawText(placeholderRect(viewport()->rect()), int(Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap),
                     placeholderAttributedString->text);
}

void NoteTextView::focusInEvent(QFocusEvent *event)
{
    viewport()->update();
    QTextEdit::focusInEvent(event);
}
