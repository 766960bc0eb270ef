#include "shell/WelcomePageViewController.h"

#include "platform/Strings.h"
#include "shell/TutorialIllustration.h"

#include <QLabel>
#include <QVBoxLayout>

WelcomePageViewController::WelcomePageViewController(PBTutorials page, QWidget *parent) : QWidget(parent), m_page(page)
{
    const QString key = QStringLiteral("Welcome.") + Tutorials::rawValue(page);
    setObjectName(Tutorials::rawValue(page));
    auto *picture = new TutorialIllustration(page, this);
    lblTitle = new QLabel(Strings::text(key + QStringLiteral(".Title")), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.45);
    lblTitle->setFont(titleFont);
    lblTitle->setAlignment(Qt::AlignHCenter);
    lblText = new QLabel(Strings::text(key + QStringLiteral(".Text")), this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setWordWrap(true);
    lblText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblText->setMinimumHeight(lblText->fontMetrics().lineSpacing() * 3);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(36, 24, 36, 8);
    m_layout->setSpacing(12);
    m_layout->addWidget(picture, 1);
    m_layout->addWidget(lblTitle);
    m_layout->addWidget(lblText);
}
