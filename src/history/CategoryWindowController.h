#pragma once
// The history list window: one frameless, rounded window for the whole run, showing one
// category's list at a time. It is moved by dragging its header. While it is the active window
// the list's keys work; when activation moves to a window the list does not own (its preview,
// sheets and dialogs, and windows registered as its own do not count), it closes by itself if
// "needAutoHideWindow" is on and it is not floating. GUI thread.

#include "core/PBCategory.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class CategoryListViewController;
class TaviPBManager;

// Told when the list window closes (the color bar deselects the category's row).
class CategoryListWindowDelegate {
public:
    virtual ~CategoryListWindowDelegate() = default;
    virtual void categoryListWindowWillClose(const PBCategory &category) = 0;
};

class CategoryWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr double kCornerRadius = 8.0;
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 640;

    explicit CategoryWindowController(QWidget *parent = nullptr);
    CategoryWindowController(TaviPBManager &manager, QWidget *parent = nullptr);

    CategoryListViewController *contentViewController() const { return m_content; }
    CategoryListWindowDelegate *delegate = nullptr;

    // Shows the window for the category beside nothing in particular (the color bar places it).
    void showCategory(const PBCategory &category);
    // The floating level: kept above other windows and never closed by auto-hide.
    bool isFloating() const { return m_floating; }
    void setFloating(bool floating);
    // A window that counts as the list's own for auto-hide (the category edit window).
    void registerOwnedWindow(QWidget *window);
    bool ownsWindow(const QWidget *window) const;

    // Activation moved: to this window, or away to `newlyActive` (null: another program).
    void windowDidBecomeMain();
    void windowDidResignMain(const QWidget *newlyActive);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void windowDidLoad();
    void windowWillClose();

    CategoryListViewController *m_content = nullptr;
    QList<QPointer<QWidget>> m_ownedWindows;
    bool m_floating = false;
    bool m_isMain = false;
    std::optional<QPoint> m_dragOffset;
};

// The one list window, made on first use from the scene registry (storyboard "Main") and kept.
CategoryWindowController *sharedCategoryWindowController();
// The shared window when it was made; null before.
CategoryWindowController *existingCategoryWindowController();
