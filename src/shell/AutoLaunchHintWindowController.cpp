#include "shell/AutoLaunchHintWindowController.h"

#include "core/Alert.h"
#include "core/TaviSettings.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

AutoLaunchHintWindowController::AutoLaunchHintWindowController(AppDelegate &delegate, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_delegate(delegate)
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
    cancelQuitBtn = new QPushButton(L("AutoLaunchHint.Cancel"), this);
    cancelQuitBtn->setObjectName(QStringLiteral("cancelQuitBtn"));
    // The default quits as asked and changes no setting.
    cancelBtn->setDefault(true);
    connect(cancelQuitBtn, &QPushButton::clicked, this, &AutoLaunchHintWindowController::cancelQuitAction);
    connect(noPromptBtn, &QCheckBox::toggled, this, &AutoLaunchHintWindowController::notPromptBtnAction);
    connect(cancelBtn, &QPushButton::clicked, this, &AutoLaunchHintWindowController::cancelBtnAction);
    connect(autoLaunchBtn, &QPushButton::clicked, this, &AutoLaunchHintWindowController::autoLaunchBtnAction);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(noPromptBtn);
    buttons->addStretch();
    buttons->addWidget(cancelQuitBtn);
    buttons->addWidget(autoLaunchBtn);
    buttons->addWidget(cancelBtn);
    setTabOrder(noPromptBtn, cancelQuitBtn);
    setTabOrder(cancelQuitBtn, autoLaunchBtn);
    setTabOrder(autoLaunchBtn, cancelBtn);
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
    // Return quits as asked, as in a dialog.
    cancelBtn->setFocus();
}

void AutoLaunchHintWindowController::notPromptBtnAction(bool checked)
{
    TaviSettings::shared().setNoAutoLaunchHint(checked);
}

void AutoLaunchHintWindowController::cancelBtnAction() { m_delegate.terminate(); }

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

void AutoLaunchHintWindowController::cancelQuitAction() { hide(); }

void AutoLaunchHintWindowController::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Escape) {
            cancelQuitAction();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // The focused button, else the default one.
            auto *focused = qobject_cast<QPushButton *>(focusWidget());
            (focused ? focused : cancelBtn)->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void AutoLaunchHintWindowController::windowWillClose() { m_delegate.terminate(); }

void AutoLaunchHintWindowController::closeEvent(QCloseEvent *event)
{
    // Closing the window means quitting, through the same shutdown as every other way out.
    windowWillClose();
    QWidget::closeEvent(event);
}
