#include "colorbar/CategoryEditWindowController.h"

#include "colorbar/MainWindowController.h"
#include "controls/ClickedCollectionView.h"
#include "core/NotificationPayloads.h"
#include "core/Alert.h"
#include "core/ColorExtensions.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/ColorAssets.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <utility>

namespace {
const char *const kLogTag = "CategoryEditWindowController";
constexpr int kSwatchSize = 34;
constexpr int kSwatchSpacing = 8;
constexpr int kColumns = 7;
const int kEntryRole = Qt::UserRole + 1;
const int kIsAddRole = Qt::UserRole + 2;

// One swatch: the colour with rounded corners; a border while selected, amber for the user's
// colours and blue for the built-in ones. The last cell is the add button.
class SwatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(kSwatchSize + kSwatchSpacing, kSwatchSize + kSwatchSpacing);
    }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF box =
            QRectF(option.rect)
                .adjusted(kSwatchSpacing / 2.0, kSwatchSpacing / 2.0, -kSwatchSpacing / 2.0, -kSwatchSpacing / 2.0);
        QPainterPath path;
        path.addRoundedRect(box, 4, 4);
        if (index.data(kIsAddRole).toBool()) {
            painter->setPen(QPen(option.palette.color(QPalette::Mid), 1, Qt::DashLine));
            painter->drawPath(path);
            painter->setPen(QPen(option.palette.color(QPalette::Text), 2, Qt::SolidLine, Qt::RoundCap));
            const QPointF c = box.center();
            painter->drawLine(QPointF(c.x() - 7, c.y()), QPointF(c.x() + 7, c.y()));
            painter->drawLine(QPointF(c.x(), c.y() - 7), QPointF(c.x(), c.y() + 7));
            painter->restore();
            return;
        }
        const QString entry = index.data(kEntryRole).toString();
        if (const auto color = CategoryEditWindowController::colorOfEntry(entry)) {
            painter->fillPath(path, *color);
            painter->setPen(QPen(QColor(0, 0, 0, 40), 1));
            painter->drawPath(path);
        } else {
            // An entry that names no colour: a crossed-out blank swatch.
            painter->fillPath(path, option.palette.color(QPalette::Base));
            painter->setPen(QPen(option.palette.color(QPalette::Mid), 1));
            painter->drawPath(path);
            painter->drawLine(box.topLeft() + QPointF(6, 6), box.bottomRight() - QPointF(6, 6));
        }
        if (option.state & QStyle::State_Selected) {
            const bool custom = entry.contains(QLatin1Char('#'));
            const QColor border =
                custom ? QColor::fromRgbF(1.0f, 0.755f, 0.138f) : QColor::fromRgbF(0.017f, 0.198f, 1.0f);
            QPainterPath ring;
            ring.addRoundedRect(box.adjusted(-1, -1, 1, 1), 5, 5);
            painter->setPen(QPen(border, 2));
            painter->drawPath(ring);
        }
        painter->restore();
    }
};

QString colorName(const QString &asset) { return hexString(ColorAssets::namedOr(asset, QColor())); }
} // namespace

const QStringList &CategoryEditWindowController::seedColors()
{
    static const QStringList seed{
        QStringLiteral("Pomegranate"),   QStringLiteral("Alizarin"),  QStringLiteral("Pumpkin"),
        QStringLiteral("Carrot"),        QStringLiteral("Orange"),    QStringLiteral("Sun Flower"),
        QStringLiteral("Wisteria"),      QStringLiteral("Amethyst"),  QStringLiteral("Nephritis"),
        QStringLiteral("Emerald"),       QStringLiteral("Green Sea"), QStringLiteral("Belize Hole"),
        QStringLiteral("Perter River"),  QStringLiteral("Turquoise"), QStringLiteral("WetAsphalt"),
        QStringLiteral("Midnight Blue"), QStringLiteral("Asbestos"),  QStringLiteral("Concrete"),
        QStringLiteral("Sliver"),        QStringLiteral("Clouds")};
    return seed;
}

std::optional<QStringList> CategoryEditWindowController::categoryColors()
{
    return TaviSettings::shared().categoryColors();
}

void CategoryEditWindowController::setCategoryColors(const QStringList &colors)
{
    TaviSettings::shared().setCategoryColors(colors);
}

std::optional<QColor> CategoryEditWindowController::colorOfEntry(const QString &entry)
{
    if (entry.contains(QLatin1Char('#')))
        return colorWithHexString(entry);
    return ColorAssets::named(entry);
}

CategoryEditWindowController::CategoryEditWindowController(PBCategoryManager &categories, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      m_categoryManager(categories)
{
    windowDidLoad();
}

CategoryEditWindowController::~CategoryEditWindowController() = default;

void CategoryEditWindowController::windowDidLoad()
{
    LOG_DEBUG(kLogTag, QStringLiteral("--> Load Category Edit Window"));
    setObjectName(QStringLiteral("CategoryEditWindowController"));
    setWindowTitle(L("ColorBar.Edit.windowTitle"));

    auto *nameLabel = new QLabel(L("ColorBar.Edit.name"), this);
    m_nameField = new QLineEdit(this);
    m_nameField->setObjectName(QStringLiteral("categoryNameTextfiled"));
    m_nameField->setPlaceholderText(L("ColorBar.Edit.namePlaceholder"));
    nameLabel->setBuddy(m_nameField);

    auto *colorLabel = new QLabel(L("ColorBar.Edit.color"), this);
    m_colors = new ClickedCollectionView(this);
    m_colors->setObjectName(QStringLiteral("colorsCollectionView"));
    m_colors->setViewMode(QListView::IconMode);
    m_colors->setFlow(QListView::LeftToRight);
    m_colors->setWrapping(true);
    m_colors->setResizeMode(QListView::Adjust);
    m_colors->setMovement(QListView::Static);
    m_colors->setUniformItemSizes(true);
    m_colors->setSelectionMode(QAbstractItemView::SingleSelection);
    m_colors->setItemDelegate(new SwatchDelegate(m_colors));
    m_colors->setFrameShape(QFrame::NoFrame);
    m_colors->setFixedWidth(kColumns * (kSwatchSize + kSwatchSpacing) + 4);
    m_colors->setMinimumHeight(3 * (kSwatchSize + kSwatchSpacing) + 4);
    m_model = new QStandardItemModel(this);
    m_colors->setModel(m_model);
    connect(m_colors, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (index.data(kIsAddRole).toBool())
            addColor();
    });

    auto *textLabel = new QLabel(L("ColorBar.Edit.textColor"), this);
    m_lightBtn = new QPushButton(L("ColorBar.Edit.light"), this);
    m_lightBtn->setObjectName(QStringLiteral("lightBtn"));
    m_darkBtn = new QPushButton(L("ColorBar.Edit.dark"), this);
    m_darkBtn->setObjectName(QStringLiteral("darkBtn"));
    for (QPushButton *button : {m_lightBtn, m_darkBtn})
        button->setCheckable(true);
    m_lightBtn->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid #95A5A6; border-radius: 4px; "
                       "padding: 5px 14px; }"
                       "QPushButton:checked { border: 2px solid #0432FF; }")
            .arg(colorName(QStringLiteral("Clouds")), colorName(QStringLiteral("Midnight Blue"))));
    m_darkBtn->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid #95A5A6; "
                                            "border-radius: 4px; padding: 5px 14px; }"
                                            "QPushButton:checked { border: 2px solid #0432FF; }")
                                 .arg(colorName(QStringLiteral("Midnight Blue")), colorName(QStringLiteral("Clouds"))));
    connect(m_lightBtn, &QPushButton::clicked, this, [this] { lightBtnAction(); });
    connect(m_darkBtn, &QPushButton::clicked, this, [this] { darkBtnAction(); });
    m_lightBtn->setChecked(true);

    m_saveBtn = new QPushButton(L("ColorBar.Edit.save"), this);
    m_saveBtn->setObjectName(QStringLiteral("saveBtn"));
    m_saveBtn->setDefault(true);
    connect(m_saveBtn, &QPushButton::clicked, this, [this] { saveCategory(); });
    connect(m_nameField, &QLineEdit::returnPressed, this, [this] { saveCategory(); });

    auto *textRow = new QHBoxLayout;
    textRow->addWidget(textLabel);
    textRow->addSpacing(8);
    textRow->addWidget(m_lightBtn);
    textRow->addWidget(m_darkBtn);
    textRow->addStretch();
    auto *saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(m_saveBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(8);
    layout->addWidget(nameLabel);
    layout->addWidget(m_nameField);
    layout->addSpacing(6);
    layout->addWidget(colorLabel);
    layout->addWidget(m_colors, 1);
    layout->addSpacing(4);
    layout->addLayout(textRow);
    layout->addSpacing(8);
    layout->addLayout(saveRow);

    if (!categoryColors())
        setCategoryColors(seedColors());
    reloadPalette();

    m_menu = new QMenu(this);
    QAction *remove = m_menu->addAction(L("Category.Color.Delete"));
    connect(remove, &QAction::triggered, this, [this] { didSelectDelete(); });
    QAction *edit = m_menu->addAction(L("Category.Color.Edit"));
    connect(edit, &QAction::triggered, this, [this] { didSelectEdit(); });
    m_colors->setMenu(m_menu);
    LOG_DEBUG(kLogTag, QStringLiteral("<-- Did Load Category Edit Window"));
}

void CategoryEditWindowController::reloadPalette()
{
    // A stored value that is not a list of strings is treated as absent: the seed comes back.
    std::optional<QStringList> colors = categoryColors();
    if (!colors) {
        colors = seedColors();
        setCategoryColors(*colors);
    }
    m_model->clear();
    for (const QString &entry : *colors) {
        auto *item = new QStandardItem;
        item->setData(entry, kEntryRole);
        item->setToolTip(entry);
        item->setEditable(false);
        m_model->appendRow(item);
    }
    auto *add = new QStandardItem;
    add->setData(true, kIsAddRole);
    add->setToolTip(L("ColorBar.Edit.addColor"));
    add->setEditable(false);
    add->setSelectable(false);
    m_model->appendRow(add);
}

int CategoryEditWindowController::numberOfItems() const { return m_model->rowCount(); }

QList<int> CategoryEditWindowController::selectedSwatches() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_colors->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CategoryEditWindowController::selectSwatch(int index, bool exclusive)
{
    if (index < 0 || index >= m_model->rowCount() - 1)
        return;
    const QModelIndex modelIndex = m_model->index(index, 0);
    m_colors->selectionModel()->select(modelIndex,
                                       exclusive ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
    m_colors->setCurrentIndex(modelIndex);
    m_colors->scrollTo(modelIndex);
}

void CategoryEditWindowController::configure(const PBCategory &category)
{
    m_category = category;
    m_nameField->setText(category.name());
    const QString foreground = hexString(category.foregroundColor());
    if (foreground == colorName(QStringLiteral("Midnight Blue"))) {
        m_lightBtn->setChecked(false);
        m_darkBtn->setChecked(true);
    } else if (foreground == colorName(QStringLiteral("Clouds"))) {
        m_lightBtn->setChecked(true);
        m_darkBtn->setChecked(false);
    }
    m_nameField->setEnabled(category.type() == PBDefaultCategory::custom);
    reloadPalette();
    const QString background = hexString(category.backgroundColor());
    const QStringList colors = categoryColors().value_or(QStringList());
    for (int i = 0; i < colors.size(); ++i) {
        const QString &entry = colors.at(i);
        const bool matches = entry.contains(QLatin1Char('#'))
                                 ? entry == background
                                 : (ColorAssets::named(entry) && colorName(entry) == background);
        if (matches) {
            selectSwatch(i);
            break;
        }
    }
}

void CategoryEditWindowController::present(const std::optional<PBCategory> &category)
{
    if (category)
        configure(*category);
    adjustSize();
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen && !isVisible())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    if (m_nameField->isEnabled())
        m_nameField->setFocus();
}

void CategoryEditWindowController::lightBtnAction()
{
    m_lightBtn->setChecked(true);
    m_darkBtn->setChecked(false);
}

void CategoryEditWindowController::darkBtnAction()
{
    m_darkBtn->setChecked(true);
    m_lightBtn->setChecked(false);
}

QColorDialog *CategoryEditWindowController::colorPanel()
{
    if (!m_colorPanel) {
        // A child of this window, so the window system keeps it above this always-on-top window.
        m_colorPanel = new QColorDialog(this);
        m_colorPanel->setOptions(QColorDialog::DontUseNativeDialog);
        m_colorPanel->setWindowTitle(L("ColorBar.Edit.colorPanel"));
        connect(m_colorPanel, &QColorDialog::currentColorChanged, this,
                [this](const QColor &color) { colorPanelDidChange(color); });
        connect(m_colorPanel, &QDialog::accepted, this, [this] { m_colorEdit.reset(); });
        connect(m_colorPanel, &QDialog::rejected, this, [this] { cancelColorEdit(); });
    }
    return m_colorPanel;
}

void CategoryEditWindowController::showColorPanel(int index, const QColor &color,
                                                  const std::optional<QString> &entryBefore)
{
    QColorDialog *panel = colorPanel();
    {
        const QSignalBlocker blocker(panel);
        panel->setCurrentColor(color);
    }
    m_colorEdit = ColorEdit{index, entryBefore};
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void CategoryEditWindowController::cancelColorEdit()
{
    const std::optional<ColorEdit> edit = std::exchange(m_colorEdit, std::nullopt);
    QStringList colors = categoryColors().value_or(QStringList());
    if (!edit || edit->index < 0 || edit->index >= colors.size())
        return;
    // An added colour goes again; an edited one gets back the colour it had.
    if (edit->entryBefore)
        colors[edit->index] = *edit->entryBefore;
    else
        colors.removeAt(edit->index);
    setCategoryColors(colors);
    reloadPalette();
    if (edit->entryBefore)
        selectSwatch(edit->index);
}

void CategoryEditWindowController::addColor()
{
    Analytics::trackEvent(QStringLiteral("Category_Action"),
                          {{QStringLiteral("action"), QStringLiteral("AddNewCategoryColor")}});
    QStringList colors = categoryColors().value_or(seedColors());
    colors.append(QStringLiteral("#FFFFFF"));
    setCategoryColors(colors);
    reloadPalette();
    selectSwatch(int(colors.size()) - 1);
    showColorPanel(int(colors.size()) - 1, Qt::white, std::nullopt);
}

void CategoryEditWindowController::colorPanelDidChange(const QColor &color)
{
    const QList<int> selected = selectedSwatches();
    if (selected.isEmpty())
        return;
    const int index = selected.first();
    QStringList colors = categoryColors().value_or(QStringList());
    if (index >= colors.size() || !colors.at(index).contains(QLatin1Char('#')))
        return;
    colors[index] = hexString(color);
    setCategoryColors(colors);
    if (QStandardItem *item = m_model->item(index)) {
        item->setData(colors.at(index), kEntryRole);
        item->setToolTip(colors.at(index));
    }
    selectSwatch(index);
}

void CategoryEditWindowController::didSelectEdit()
{
    const std::optional<int> clicked = m_colors->clickedIndex();
    const QStringList colors = categoryColors().value_or(QStringList());
    if (!clicked || *clicked < 0 || *clicked >= colors.size())
        return;
    const std::optional<QColor> color = colorWithHexString(colors.at(*clicked));
    if (!color)
        return;
    selectSwatch(*clicked);
    showColorPanel(*clicked, *color, colors.at(*clicked));
}

void CategoryEditWindowController::didSelectDelete()
{
    const std::optional<int> clicked = m_colors->clickedIndex();
    QStringList colors = categoryColors().value_or(QStringList());
    if (!clicked || *clicked < 0 || *clicked >= colors.size())
        return;
    colors.removeAt(*clicked);
    setCategoryColors(colors);
    m_model->removeRow(*clicked);
}

std::optional<QColor> CategoryEditWindowController::selectedColor() const
{
    const QList<int> selected = selectedSwatches();
    const QStringList colors = categoryColors().value_or(QStringList());
    if (selected.isEmpty() || selected.first() >= colors.size())
        return std::nullopt;
    return colorOfEntry(colors.at(selected.first()));
}

bool CategoryEditWindowController::showMissingAlert(const char *messageKey)
{
    showAlert(L("Category.Alert.MissingDetails.title"), L(messageKey), L("Category.Alert.confirm"), std::nullopt,
              nullptr, AlertStyle::warning);
    return false;
}

void CategoryEditWindowController::saveCategory()
{
    const QString name = m_nameField->text();
    // A category without a name would show as a blank row: refused in both modes.
    if (name.trimmed().isEmpty() && (!m_category || m_category->type() == PBDefaultCategory::custom)) {
        showMissingAlert("Category.Alert.Name.message");
        return;
    }
    const std::optional<QColor> background = selectedColor();
    if (!background) {
        showMissingAlert("Category.Alert.Color.message");
        return;
    }
    const QColor text =
        ColorAssets::namedOr(m_lightBtn->isChecked() ? QStringLiteral("Clouds") : QStringLiteral("Midnight Blue"),
                             m_lightBtn->isChecked() ? QColor(0xECF0F1) : QColor(0x2C3E50));
    if (!m_category) {
        const PBCategory created(std::nullopt, name, *background, text, PBDefaultCategory::custom, false, false);
        m_categoryManager.add(created);
        if (changedBlick)
            changedBlick(true, created);
        MainWindowController::relayoutColorBar();
        Analytics::trackEvent(
            QStringLiteral("Category_Action"),
            {{QStringLiteral("action"), QStringLiteral("AddNewCategory")},
             {QStringLiteral("totalCustomCount"), QString::number(m_categoryManager.customCategories().size())}});
    } else {
        PBCategory edited = *m_category;
        if (edited.type() == PBDefaultCategory::custom)
            edited.setName(name);
        edited.setForegroundColor(text);
        edited.setBackgroundColor(*background);
        m_categoryManager.update(edited);
        if (changedBlick)
            changedBlick(false, edited);
        NotificationCenter::defaultCenter().post(NotificationName::categorySettingsUpdated, nullptr,
                                                 NotificationPayload::ChangedCategory::encode(edited));
        Analytics::trackEvent(QStringLiteral("Category_Action"),
                              {{QStringLiteral("action"), QStringLiteral("EditCategory")}});
    }
    close();
}

void CategoryEditWindowController::keyPressEvent(QKeyEvent *event)
{
    // The colour panel is a window of its own: its Escape closes only the panel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CategoryEditWindowController::closeEvent(QCloseEvent *event)
{
    if (m_colorPanel)
        m_colorPanel->hide(); // what it changed so far is kept
    m_colorEdit.reset();
    resetForNextUse();
    QWidget::closeEvent(event);
}

void CategoryEditWindowController::resetForNextUse()
{
    m_nameField->clear();
    m_nameField->setEnabled(true);
    m_lightBtn->setChecked(true);
    m_darkBtn->setChecked(false);
    reloadPalette();
    m_category.reset();
}
