#include "colorbar/HideCategoryHintWindowController.h"

#include "core/TaviSettings.h"
#include "platform/Strings.h"
#include "shell/ShellSeams.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

HideCategoryHintWindowController::HideCategoryHintWindowController(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("HideCategoryHintWindowController"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(L("ColorBar.HideHint.windowTitle"));
    auto *title = new QLabel(L("ColorBar.HideHint.title"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title->setFont(bold);
    auto *message = new QLabel(L("ColorBar.HideHint.message"), this);
    message->setWordWrap(true);
    message->setMinimumWidth(320);
    m_notPrompt = new QCheckBox(L("ColorBar.HideHint.notPrompt"), this);
    m_notPrompt->setObjectName(QStringLiteral("notPromptBtn"));
    auto *preferences = new QPushButton(L("ColorBar.HideHint.preferences"), this);
    preferences->setObjectName(QStringLiteral("preferencesBtn"));
    auto *confirm = new QPushButton(L("ColorBar.HideHint.confirm"), this);
    confirm->setObjectName(QStringLiteral("confirmBtn"));
    confirm->setDefault(true);
    connect(m_notPrompt, &QCheckBox::toggled, this, [this] { notPromptBtnAction(); });
    connect(preferences, &QPushButton::clicked, this, [this] { preferencesBtnAction(); });
    connect(confirm, &QPushButton::clicked, this, [this] { confirmBtnAction(); });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_notPrompt);
    buttons->addStretch();
    buttons->addWidget(preferences);
    buttons->addWidget(confirm);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addSpacing(6);
    layout->addLayout(buttons);
}

void HideCategoryHintWindowController::notPromptBtnAction()
{
    TaviSettings::shared().setNeedShowHideCategoryTips(!m_notPrompt->isChecked());
}

void HideCategoryHintWindowController::preferencesBtnAction()
{
    ShellSeams &seams = ShellSeams::shared();
    if (seams.showPreferencesWindow)
        seams.showPreferencesWindow();
    if (seams.selectPreferencesTab)
        seams.selectPreferencesTab(kCategoryTab);
}

void HideCategoryHintWindowController::confirmBtnAction() { close(); }
