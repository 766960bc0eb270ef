#include "shell/WelcomeWindowController.h"

#include "platform/Strings.h"
#include "shell/PBPageController.h"

#include <QVBoxLayout>

WelcomeWindowController::WelcomeWindowController(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("welcomeWindowController"));
    setWindowTitle(L("Welcome.Window.Title"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_pageController = new PBPageController(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pageController);
    setFixedSize(640, 500);
}
