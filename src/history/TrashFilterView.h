#pragma once
// The accessory of the confirmation that clears a category: check boxes saying which protected
// items the clear deletes as well. Which boxes show depends on the kind of category cleared:
// every box for All, only the pinned box for a user's category, pinned and "in my categories"
// for the other kinds. The notes box is the clear-all alert's own notes view. GUI thread.

#include "capture/TaviPBManager.h"
#include "core/PBDefaultCategory.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class TrashFilterNoteView;

class TrashFilterView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;

    explicit TrashFilterView(QWidget *parent = nullptr);

    std::optional<PBDefaultCategory> categoryType() const { return m_categoryType; }
    // Shows the boxes that apply and sets the view's height (rows of kRowHeight).
    void setCategoryType(std::optional<PBDefaultCategory> type);

    // What a clear with the boxes' states spares. A hidden box counts as off, except that the
    // items of the user's category or the notes category being cleared are always included:
    // sparing them would leave that clear nothing to delete.
    TaviPBManager::ClearOptions clearOptions() const;

    QCheckBox *noteBtn = nullptr;
    QCheckBox *stickyBtn = nullptr;
    QCheckBox *lockBtn = nullptr;
    QCheckBox *customBtn = nullptr;

private:
    TrashFilterNoteView *m_noteView = nullptr;
    std::optional<PBDefaultCategory> m_categoryType;
};
