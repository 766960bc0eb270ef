#include "controls/TextFieldCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

QRectF TextFieldCell::titleRect(const QStyleOptionViewItem &option) const
{
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    return style->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget);
}

double TextFieldCell::textHeight(const QStyleOptionViewItem &option) { return QFontMetricsF(option.font).height(); }

void TextFieldCell::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    const QRectF area = textRect(opt);
    const QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();

    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    if (text.isEmpty())
        return;

    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole role = (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, role));
    const QFontMetricsF metrics(opt.font);
    const QString shown = metrics.elidedText(text, opt.textElideMode, area.width());
    const Qt::Alignment horizontal = opt.displayAlignment & Qt::AlignHorizontal_Mask;
    painter->setClipRect(opt.rect);
    painter->drawText(area, int(horizontal | Qt::AlignTop | Qt::TextSingleLine), shown);
    painter->restore();
}
