#pragma once
// One row of the quick-paste panel: the item's icon, the start of its text (cut at a word boundary
// with "…" where the row ends) and a label that says how to paste the row: its digit hot key as the keyboard names
// it ("Super+1"), or Enter on the row Enter would paste. The delete button shows while the
// pointer is over the row. GUI thread.

#include "controls/ElidedLabel.h"
#include "core/PBItem.h"

#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QToolButton;

class PBHUDCell : public QWidget {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("PBHUDCell");
    static constexpr double kRowHeight = 60.0;
    static constexpr int kMaxTextLength = 200;
    // Every icon of a row is drawn at this size, whatever size its source gives.
    static constexpr int kIconSize = 32;

    explicit PBHUDCell(QWidget *parent = nullptr);

    void configureHUDCell(const PBItem &item, int row, bool isSearchMode);
    void updateShortcutLabel();
    void deleteBtnAction();

    const PBItem &item() const { return m_item; }

    QLabel *iconImage = nullptr;
    ElidedLabel *textField = nullptr;
    QLabel *lblShortCut = nullptr;
    QToolButton *deleteBtn = nullptr;
    bool isSearchingMode = false;
    QString shortCutStr;
    int currentIndex = -1;
    std::function<void()> deleteAction;
    bool isSelected = false;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateIcon();
    void setIcon(const QPixmap &pixmap);
    void showFileThumbnail(const QUrl &url);

    PBItem m_item;
};
