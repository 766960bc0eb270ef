#pragma once
// The window that creates a custom category or edits one: a name, a palette of background
// colours (the user's list "categoryColors" in the defaults: asset names and "#RRGGBB" colours
// the user added), a light or dark text colour and a save button. Each owner keeps its own
// instance; closing the window returns it to create mode. GUI thread.

#include "core/PBCategory.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class ClickedCollectionView;
class PBCategoryManager;
class QColorDialog;
class QLineEdit;
class QMenu;
class QPushButton;
class QStandardItemModel;

class CategoryEditWindowController : public QWidget {
    Q_OBJECT
public:
    static const QStringList &seedColors();

    explicit CategoryEditWindowController(PBCategoryManager &categories, QWidget *parent = nullptr);
    ~CategoryEditWindowController() override;

    // The palette; nothing when absent or not a list of strings.
    static std::optional<QStringList> categoryColors();
    static void setCategoryColors(const QStringList &colors);
    // The colour of a palette entry: "#RRGGBB" parsed, else the asset of that name; nothing when neither.
    static std::optional<QColor> colorOfEntry(const QString &entry);

    // Edit mode for the category (before the window is shown).
    void configure(const PBCategory &category);
    // Called after a save: (true, new category) or (false, edited category).
    std::function<void(bool isNew, const PBCategory &category)> changedBlick;
    const std::optional<PBCategory> &category() const { return m_category; }

    // Create mode when no category is given; shows, raises and centres the window.
    void present(const std::optional<PBCategory> &category = std::nullopt);

    void saveCategory();
    void lightBtnAction();
    void darkBtnAction();
    void addColor();
    void colorPanelDidChange(const QColor &color);
    void didSelectDelete();
    void didSelectEdit();
    void resetForNextUse();

    // For the owner and tests.
    QLineEdit *nameField() const { return m_nameField; }
    QPushButton *lightButton() const { return m_lightBtn; }
    QPushButton *darkButton() const { return m_darkBtn; }
    QPushButton *saveButton() const { return m_saveBtn; }
    ClickedCollectionView *colorsCollectionView() const { return m_colors; }
    // Palette entries + 1: the last cell adds a colour.
    int numberOfItems() const;
    QList<int> selectedSwatches() const;
    void selectSwatch(int index, bool exclusive = true);
    QColorDialog *colorPanel();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void windowDidLoad();
    void reloadPalette();
    bool showMissingAlert(const char *messageKey);
    // The colour of the first selected swatch.
    std::optional<QColor> selectedColor() const;
    // Opens the colour panel on a palette entry; its Cancel puts back the entry as it was before
    // (none: the entry was just added, and goes).
    void showColorPanel(int index, const QColor &color, const std::optional<QString> &entryBefore);
    void cancelColorEdit();

    struct ColorEdit {
        int index = -1;
        std::optional<QString> entryBefore;
    };
    std::optional<ColorEdit> m_colorEdit;

    PBCategoryManager &m_categoryManager;
    std::optional<PBCategory> m_category;
    QLineEdit *m_nameField = nullptr;
    QPushButton *m_lightBtn = nullptr;
    QPushButton *m_darkBtn = nullptr;
    QPushButton *m_saveBtn = nullptr;
    ClickedCollectionView *m_colors = nullptr;
    QStandardItemModel *m_model = nullptr;
    QMenu *m_menu = nullptr;
    QPointer<QColorDialog> m_colorPanel;
};
