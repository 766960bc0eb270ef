#include "shell/SearchHUDIntroWindowController.h"

#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

SearchHUDIntroWindowController::SearchHUDIntroWindowController(QWidget *parent) : RoundedPanelWindow(10, parent)
{
    setObjectName(QStringLiteral("SearchHUDIntroWindowController"));
    setWindowTitle(L("SearchTip.Title"));
    auto *title = new QLabel(L("SearchTip.Title"), this);
    setTitleLabel(title);
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setWordWrap(true);
    okBtn = new QPushButton(L("SearchTip.OK"), this);
    okBtn->setObjectName(QStringLiteral("okBtn"));
    okBtn->setDefault(true);
    connect(okBtn, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->addWidget(title);
    layout->addWidget(messageLabel);
    layout->addLayout(buttons);
    layout->setSpacing(12);
    updateMessage();
}

void SearchHUDIntroWindowController::updateMessage()
{
    const std::optional<Shortcut> hotKey = ShortcutBinder::shared().shortcut(AppDelegate::kSpotlightShortcutKey);
    const QString open = hotKey ? L("SearchTip.Message").arg(hotKey->displayText()) : L("SearchTip.Message.NoHotKey");
    const QString enter = TaviSettings::shared().quickPasteEnable() ? L("SearchTip.Return.Paste") : L("SearchTip.Return.Copy");
    messageLabel->setText(open + QLatin1Char(' ') + enter);
    fitToWidth(kPreferredWidth);
}

void SearchHUDIntroWindowController::showIfNeeded()
{
    if (TaviSettings::shared().copyTotalTimes() < kMinimumCopies)
        return;
    if (hasShowHUDTip.get())
        return;
    Analytics::trackEvent(QStringLiteral("PBHUD_OpenTip"));
    QPointer<SearchHUDIntroWindowController> self(this);
    MainQueue::async([self] {
        if (!self)
            return;
        self->updateMessage();
        self->showWindow();
        self->makeKeyAndOrderFront();
        self->center();
    });
    hasShowHUDTip.set(true);
}
