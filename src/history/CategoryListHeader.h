#pragma once
// The history list's header, painted in the category's colours: its name, the tool buttons its
// kind calls for (in their place, while several rows are selected, the selection bar), the close
// button and the search field. It makes the list's header widgets and styles them. GUI thread.

#include "core/PBCategory.h"

#include <QColor>
#include <QWidget>

class CategoryListViewController;
class TaviSettings;

class CategoryListHeader : public QWidget {
public:
    // Makes the header and its widgets as the list's own (naviView, the buttons, the search field).
    CategoryListHeader(CategoryListViewController &list, TaviSettings &settings);

    // Colours, name and the buttons the category's kind calls for, their states from the settings.
    void showCategory(const PBCategory &category);
    // The header's text and button colour.
    void applyTint(const QColor &color);
    // The colour text takes on the header: the category's, else white.
    static QColor readable(const QColor &foreground);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    CategoryListViewController &m_list;
    TaviSettings &m_settings;
    QColor m_background;
};
