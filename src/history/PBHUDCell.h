#pragma once
// What one row of the quick-paste panel shows, worked out from its item and its place: the icon
// to load, the start of its text and a label that says how to paste the row: its digit hot key as
// the keyboard names it ("Super+1"), or Enter on the row Enter would paste. The panel's row
// delegate paints it; tests read it. GUI thread (it reads the settings).

#include "core/PBItem.h"
#include "history/PasteItemRow.h"

#include <QString>

class PBHUDCell {
public:
    static inline const QString kIdentifier = QStringLiteral("PBHUDCell");
    static constexpr double kRowHeight = 60.0;
    static constexpr int kMaxTextLength = 200;
    // Every icon of a row is drawn at this size, whatever size its source gives.
    static constexpr int kIconSize = 32;

    void configureHUDCell(const PBItem &item, int row, bool isSearchMode);
    // The label again, after `isSelected` changed.
    void updateShortcutLabel();

    QUuid uuid;
    // The whole text; the delegate cuts it to the row's width.
    QString text;
    QString shortcutLabel;
    // Where the icon comes from, as the history list's rows say it (source none: no icon).
    PasteItemRow icon;
    // An image listed without its data (a large one): its thumbnail needs the stored item.
    bool needsStoredImage = false;
    bool isSearchingMode = false;
    QString shortCutStr;
    int currentIndex = -1;
    bool isSelected = false;

private:
    void describeIcon(const PBItem &item);
};
