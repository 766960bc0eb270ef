#include "history/CategoryListHeader.h"

#include "core/TaviSettings.h"
#include "history/CategoryListViewController.h"
#include "history/NamedImages.h"
#include "platform/ColorAssets.h"
#include "platform/Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *makeButton(QWidget *parent, const char *objectName, const QString &glyph, const char *toolTipKey = nullptr)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(glyph);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(26, 26);
    QFont font = button->font();
    font.setPixelSize(15);
    button->setFont(font);
    if (toolTipKey)
        button->setToolTip(L(toolTipKey));
    return button;
}

} // namespace

QColor CategoryListHeader::readable(const QColor &foreground)
{
    return foreground.isValid() ? foreground : QColor(Qt::white);
}

CategoryListHeader::CategoryListHeader(CategoryListViewController &list, TaviSettings &settings)
    : QWidget(&list),
      m_list(list),
      m_settings(settings)
{
    m_background = ColorAssets::namedOr(QStringLiteral("Pomegranate"), QColor());
    list.naviView = this;
    setObjectName(QStringLiteral("naviView"));
    setFixedHeight(76);
    m_list.categoryNameLabel = new QLabel(this);
    m_list.categoryNameLabel->setObjectName(QStringLiteral("categoryNameLabel"));
    m_list.categoryNameLabel->setTextFormat(Qt::PlainText);
    QFont nameFont = m_list.categoryNameLabel->font();
    nameFont.setPixelSize(16);
    nameFont.setBold(true);
    m_list.categoryNameLabel->setFont(nameFont);
    m_list.itemSearchTextfield = new QLineEdit(this);
    m_list.itemSearchTextfield->setObjectName(QStringLiteral("itemSearchTextfield"));
    m_list.itemSearchTextfield->setPlaceholderText(L("Category.List.Search.placeholder"));
    m_list.itemSearchTextfield->setClearButtonEnabled(true);

    m_list.rightTopPanel = new QWidget(this);
    m_list.rightTopPanel->setObjectName(QStringLiteral("rightTopPanel"));
    m_list.noteAddBtn = makeButton(m_list.rightTopPanel, "noteAddBtn", QStringLiteral("+"), "ToolTip.List.NewNote");
    m_list.textStyleBtn =
        makeButton(m_list.rightTopPanel, "textStyleBtn", QStringLiteral("\u00B6"), "ToolTip.List.Style");
    m_list.sortTypeBtn = makeButton(m_list.rightTopPanel, "sortTypeBtn", QStringLiteral("\u2261"), "ToolTip.List.Sort");
    m_list.orderBtn = makeButton(m_list.rightTopPanel, "orderBtn", QStringLiteral("\u21C5"), "ToolTip.List.Order");
    m_list.activeBtn = makeButton(m_list.rightTopPanel, "activeBtn", QStringLiteral("\u2606"), "ToolTip.List.AutoTag");
    m_list.lockBtn = makeButton(m_list.rightTopPanel, "lockBtn", QStringLiteral("\u25CB"), "ToolTip.List.Lock");
    m_list.trashBtn = makeButton(m_list.rightTopPanel, "trashBtn", L("Category.List.Clear"), "ToolTip.List.Delete");
    m_list.trashBtn->setAccessibleName(L("ToolTip.List.Delete"));
    m_list.trashBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_list.trashBtn->setMinimumWidth(0);
    m_list.trashBtn->setMaximumWidth(QWIDGETSIZE_MAX);
    m_list.trashBtn->setFont(font());
    m_list.floatingBtn = makeButton(m_list.rightTopPanel, "floatingBtn", QStringLiteral("\u21A5"), "ToolTip.List.Top");
    m_list.editBtn = makeButton(m_list.rightTopPanel, "editBtn", QStringLiteral("\u270E"), "ToolTip.List.Edit");
    m_list.settingsBtn =
        makeButton(m_list.rightTopPanel, "settingsBtn", QStringLiteral("\u2699"), "ToolTip.List.Settings");
    for (QToolButton *toggle :
         {m_list.textStyleBtn, m_list.orderBtn, m_list.activeBtn, m_list.lockBtn, m_list.floatingBtn})
        toggle->setCheckable(true);
    auto *buttons = new QHBoxLayout(m_list.rightTopPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    for (QToolButton *button :
         {m_list.noteAddBtn, m_list.textStyleBtn, m_list.sortTypeBtn, m_list.orderBtn, m_list.activeBtn, m_list.lockBtn,
          m_list.trashBtn, m_list.floatingBtn, m_list.editBtn, m_list.settingsBtn})
        buttons->addWidget(button);

    m_list.selectionStackView = new QWidget(this);
    m_list.selectionStackView->setObjectName(QStringLiteral("selectionStackView"));
    m_list.selectedItemsLabel = new QLabel(m_list.selectionStackView);
    m_list.selectedItemsLabel->setObjectName(QStringLiteral("selectedItemsLabel"));
    m_list.selectionDeleteBtn =
        makeButton(m_list.selectionStackView, "selectionDeleteBtn", QString(), "Category.List.DeleteSelection");
    auto *selection = new QHBoxLayout(m_list.selectionStackView);
    selection->setContentsMargins(0, 0, 0, 0);
    selection->addWidget(m_list.selectedItemsLabel);
    selection->addWidget(m_list.selectionDeleteBtn);
    m_list.selectionStackView->hide();
    m_list.closeBtn = makeButton(this, "closeBtn", QString(), "ToolTip.List.Close");
    m_list.closeBtn->setAccessibleName(L("ToolTip.List.Close"));

    auto *top = new QHBoxLayout;
    top->addWidget(m_list.categoryNameLabel, 1);
    top->addWidget(m_list.rightTopPanel);
    top->addWidget(m_list.selectionStackView);
    top->addSpacing(4);
    top->addWidget(m_list.closeBtn);
    auto *headerLayout = new QVBoxLayout(this);
    headerLayout->setContentsMargins(12, 8, 8, 8);
    headerLayout->setSpacing(6);
    headerLayout->addLayout(top);
    headerLayout->addWidget(m_list.itemSearchTextfield);
}

void CategoryListHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
}

void CategoryListHeader::showCategory(const PBCategory &shown)
{
    m_background = shown.backgroundColor();
    update();
    const QColor foreground = readable(shown.foregroundColor());
    const QString labelStyle = QStringLiteral("color: %1;").arg(foreground.name());
    m_list.categoryNameLabel->setStyleSheet(labelStyle);
    m_list.selectedItemsLabel->setStyleSheet(labelStyle);
    m_list.categoryNameLabel->setText(shown.name());

    const PBDefaultCategory kind = shown.type();
    const bool text = kind == PBDefaultCategory::text;
    const bool note = kind == PBDefaultCategory::note;
    const bool custom = kind == PBDefaultCategory::custom;
    const bool all = kind == PBDefaultCategory::all;
    m_list.noteAddBtn->setVisible(note);
    m_list.textStyleBtn->setVisible(text);
    m_list.sortTypeBtn->setVisible(text || note);
    m_list.orderBtn->setVisible(text || note);
    m_list.activeBtn->setVisible(custom);
    m_list.lockBtn->setVisible(!all && !note && !custom);

    if (text)
        m_list.orderBtn->setChecked(m_settings.textOrderAscending());
    else if (note)
        m_list.orderBtn->setChecked(m_settings.noteOrderAscending());
    const bool plain = m_settings.alwaysCopyPlainText();
    m_list.textStyleBtn->setChecked(!plain);
    m_list.textStyleBtn->setText(plain ? QStringLiteral("\u00B6") : QStringLiteral("A"));
    m_list.lockBtn->setChecked(shown.isLocked());
    m_list.lockBtn->setText(shown.isLocked() ? QStringLiteral("\u25CF") : QStringLiteral("\u25CB"));
    m_list.trashBtn->setEnabled(!shown.isLocked());
    applyTint(foreground);
}

void CategoryListHeader::applyTint(const QColor &color)
{
    const QString style =
        QStringLiteral("QToolButton { color: %1; border: none; } QToolButton:checked { background: "
                       "rgba(255,255,255,60); border-radius: 4px; }"
                       " QToolButton:disabled { color: %2; }")
            .arg(color.name(), QColor(color.red(), color.green(), color.blue(), 90).name(QColor::HexArgb));
    for (QToolButton *button : {m_list.trashBtn, m_list.floatingBtn, m_list.editBtn, m_list.settingsBtn,
                                m_list.noteAddBtn, m_list.textStyleBtn, m_list.activeBtn, m_list.lockBtn,
                                m_list.orderBtn, m_list.sortTypeBtn, m_list.selectionDeleteBtn, m_list.closeBtn})
        button->setStyleSheet(style);
    m_list.trashBtn->setIcon(symbolIcon(QStringLiteral("trash"), color));
    m_list.selectionDeleteBtn->setIcon(m_list.trashBtn->icon());
    m_list.closeBtn->setIcon(symbolIcon(QStringLiteral("close"), color));
}
