#include "shell/SearchHUDIntroWindowController.h"

#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/Strings.h"

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
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    title->setFont(titleFont);
    auto *message = new QLabel(L("SearchTip.Message"), this);
    message->setWordWrap(true);
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
    layout->addWidget(message);
    layout->addLayout(buttons);
    setFixedWidth(420);
    adjustSize();
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
        self->showWindow();
        self->makeKeyAndOrderFront();
        self->center();
    });
    hasShowHUDTip.set(true);
}
