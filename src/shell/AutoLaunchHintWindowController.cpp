#include "shell/AutoLaunchHintWindowController.h"

#include "core/Alert.h"
#include "core/TaviSettings.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

AutoLaunchHintWindowController::AutoLaunchHintWindowController(AppDelegate &delegate, QWidget *parent)
    : QWidget(parent, Qt::Window), m_delegate(delegate)
{
    setObjectName(QStringLiteral("AutoLaunchHintWindowController"));
    setWindowTitle(L("AutoLaunchHint.Window.title"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *title = new QLabel(L("AutoLaunchHint.Title"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    title->setFont(titleFont);
    auto *message = new QLabel(L("AutoLaunchHint.Message"), this);
    message->setWordWrap(true);

    noPromptBtn = new QCheckBox(L("AutoLaunchHint.NoPrompt"), this);
    noPromptBtn->setObjectName(QStringLiteral("noPromptBtn"));
    noPromptBtn->setChecked(TaviSettings::shared().noAutoLaunchHint());
    cancelBtn = new QPushButton(L("AutoLaunchHint.Quit"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    autoLaunchBtn = new QPushButton(L("AutoLaunchHint.LaunchAndQuit"), this);
    autoLaunchBtn->setObjectName(QStringLiteral("autoLaunchBtn"));
    autoLaunchBtn->setDefault(true);
    connect(noPromptBtn, &QCheckBox::toggled, this, &AutoLaunchHintWindowController::notPromptBtnAction);
    connect(cancelBtn, &QPushButton::clicked, this, &AutoLaunchHintWindowController::cancelBtnAction);
    connect(autoLaunchBtn, &QPushButton::clicked, this, &AutoLaunchHintWindowController::autoLaunchBtnAction);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(noPromptBtn);
    buttons->addStretch();
    buttons->addWidget(cancelBtn);
    buttons->addWidget(autoLaunchBtn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    // The wrapped message decides the height for the window's width.
    constexpr int kWidth = 520;
    const int height = heightForWidth(kWidth);
    setFixedSize(kWidth, height > 0 ? height : sizeHint().height());
}

void AutoLaunchHintWindowController::present()
{
    show();
    QRect frame = frameGeometry();
    if (QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
    raise();
    activateWindow();
    // Return takes the offer, as in a dialog.
    autoLaunchBtn->setFocus();
}

void AutoLaunchHintWindowController::notPromptBtnAction(bool checked)
{
    TaviSettings::shared().setNoAutoLaunchHint(checked);
}

void AutoLaunchHintWindowController::cancelBtnAction()
{
    m_delegate.terminate();
}

void AutoLaunchHintWindowController::autoLaunchBtnAction()
{
    autoLaunchBtn->setEnabled(false);
    const LoginItem::Result result = m_delegate.setLaunchAtLogin(true);
    if (!result.matches)
        showAlert(L("AutoLaunch.Failed.title"), result.error, L("AutoLaunch.Failed.OK"), std::nullopt, nullptr,
                  AlertStyle::warning);
    const QPointer<AppDelegate> delegate(&m_delegate);
    QTimer::singleShot(kQuitDelayMs, &m_delegate, [delegate] {
        if (delegate)
            delegate->terminate();
    });
}

void AutoLaunchHintWindowController::windowWillClose()
{
    m_delegate.terminate();
}

void AutoLaunchHintWindowController::closeEvent(QCloseEvent *event)
{
    // Closing the window means quitting, through the same shutdown as every other way out.
    windowWillClose();
    QWidget::closeEvent(event);
}
