#include "shell/SearchHUDIntroWindowController.h"

#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QEvent>
#include <QCoreApplication>
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
    const QString enter =
        TaviSettings::shared().quickPasteEnable() ? L("SearchTip.Return.Paste") : L("SearchTip.Return.Copy");
    messageLabel->setText(open + QLatin1Char(' ') + enter);
    fitToWidth(kPreferredWidth);
}

void SearchHUDIntroWindowController::showIfNeeded()
{
    if (TaviSettings::shared().copyTotalTimes() < kMinimumCopies)
        return;
    if (TaviSettings::shared().hasShownSearchHUDTip())
        return;
    if (isHeldBack()) {
        m_waiting = true;
        return;
    }
    Analytics::trackEvent(QStringLiteral("PBHUD_OpenTip"));
    TaviSettings::shared().setHasShownSearchHUDTip(true);
    QPointer<SearchHUDIntroWindowController> self(this);
    MainQueue::async([self] {
        if (self)
            self->present();
    });
}

void SearchHUDIntroWindowController::present()
{
    if (isHeldBack()) {
        m_waiting = true;
        return;
    }
    updateMessage();
    // Due after a copy or a paste, while the user works in another program (the window system's
    // active window, not Qt's state, which an opened tray menu leaves active), the tip shows
    // without taking the focus: the window manager would activate it a moment later, in the
    // middle of whatever the user does then (opening the tray menu, or receiving a paste).
    const std::optional<RunningApplication> front = Workspace::shared().frontmostApplication();
    const bool takesFocus =
        front && front->processIdentifier == QCoreApplication::applicationPid() && !AppActivation::isSteppingAside();
    setAttribute(Qt::WA_ShowWithoutActivating, !takesFocus);
    center(); // before it is shown, so it is mapped once, there
    showWindow();
    if (takesFocus)
        makeKeyAndOrderFront();
    else
        raise();
}

void SearchHUDIntroWindowController::waitWhileShown(QWidget *window)
{
    if (m_heldBackBy == window)
        return;
    if (m_heldBackBy)
        m_heldBackBy->removeEventFilter(this);
    m_heldBackBy = window;
    if (window)
        window->installEventFilter(this);
}

bool SearchHUDIntroWindowController::isHeldBack() const { return m_heldBackBy && m_heldBackBy->isVisible(); }

bool SearchHUDIntroWindowController::eventFilter(QObject *watched, QEvent *event)
{
    const bool closed = event->type() == QEvent::Hide || event->type() == QEvent::Close;
    if (watched == m_heldBackBy && closed && m_waiting) {
        // Once the window has really gone (a close hides it only after this event).
        QPointer<SearchHUDIntroWindowController> self(this);
        MainQueue::async([self] {
            if (!self || !self->m_waiting || self->isHeldBack())
                return;
            self->m_waiting = false;
            // Held back before it was promised, or between the promise and the showing.
            if (TaviSettings::shared().hasShownSearchHUDTip())
                self->present();
            else
                self->showIfNeeded();
        });
    }
    return RoundedPanelWindow::eventFilter(watched, event);
}
