#include "controls/VerticalAlignTextFieldCell.h"

#include <QLineEdit>

QRectF VerticalAlignTextFieldCell::adjustedFrame(const QStyleOptionViewItem &option) const
{
    const QRectF title = titleRect(option);
    const double h = textHeight(option);
    return QRectF(title.x(), title.y() + (title.height() - h) * 0.5, title.width(), h);
}

QWidget *VerticalAlignTextFieldCell::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                                  const QModelIndex &index) const
{
    QWidget *editor = TextFieldCell::createEditor(parent, option, index);
    if (auto *field = qobject_cast<QLineEdit *>(editor)) {
        // A bare field exactly one line high puts its text where the cell draws it.
        field->setFrame(false);
        field->setTextMargins(0, 0, 0, 0);
        field->setContentsMargins(0, 0, 0, 0);
    }
    return editor;
}

void VerticalAlignTextFieldCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                                      const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    editor->setGeometry(adjustedFrame(opt).toAlignedRect());
}
