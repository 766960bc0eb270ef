#include "shell/WelcomeLastPageViewController.h"

#include "platform/Strings.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WelcomeLastPageViewController::WelcomeLastPageViewController(QWidget *parent)
    : WelcomePageViewController(PBTutorials::autoTag, parent)
{
    okButton = new QPushButton(L("Welcome.autoTag.OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setMinimumWidth(180);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &WelcomeLastPageViewController::clickOKButton);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(okButton);
    row->addStretch();
    contentLayout()->addLayout(row);
}

void WelcomeLastPageViewController::clickOKButton()
{
    if (QWidget *welcome = window())
        welcome->close();
}
