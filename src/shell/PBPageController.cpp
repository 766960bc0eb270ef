#include "shell/PBPageController.h"

#include "controls/SceneRegistry.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <QHBoxLayout>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kTransitionMs = 260;
}

PBPageController::PBPageController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PBPageController"));
    m_strip = new QWidget(this);
    m_strip->setObjectName(QStringLiteral("pageStrip"));
    btnLeft = new QPushButton(L("Welcome.Back"), this);
    btnLeft->setObjectName(QStringLiteral("btnLeft"));
    btnRight = new QPushButton(L("Welcome.Next"), this);
    btnRight->setObjectName(QStringLiteral("btnRight"));
    btnRight->setDefault(true);
    connect(btnLeft, &QPushButton::clicked, this, &PBPageController::navigateBack);
    connect(btnRight, &QPushButton::clicked, this, &PBPageController::navigateForward);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(20, 0, 20, 16);
    buttons->addWidget(btnLeft);
    buttons->addStretch();
    buttons->addWidget(btnRight);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_strip, 1);
    layout->addLayout(buttons);

    m_transition = new QParallelAnimationGroup(this);
    connect(m_transition, &QParallelAnimationGroup::finished, this,
            &PBPageController::pageControllerDidEndLiveTransition);

    // The first page has nothing before it.
    btnLeft->setEnabled(false);
    pageAt(0)->show();
    didTransitionToObject(tutorialPages.first());
}

QString PBPageController::identifierForObject(PBTutorials page) const { return Tutorials::rawValue(page); }

QWidget *PBPageController::viewControllerForIdentifier(const QString &identifier)
{
    LOG_DEBUG("PBPageController", identifier);
    QObject *scene = SceneRegistry::shared().instantiateScene(QStringLiteral("Welcome"), identifier);
    if (auto *page = qobject_cast<QWidget *>(scene))
        return page;
    delete scene;
    LOG_WARNING("PBPageController", QStringLiteral("The welcome page %1 is missing").arg(identifier));
    return new QWidget;
}

void PBPageController::didTransitionToObject(PBTutorials page)
{
    btnLeft->setEnabled(page != PBTutorials::sideBar);
    btnRight->setEnabled(page != PBTutorials::autoTag);
}

void PBPageController::pageControllerDidEndLiveTransition()
{
    // Completes the transition: only the selected page stays shown.
    for (int i = 0; i < tutorialPages.size(); ++i) {
        const QPointer<QWidget> page = m_pages.value(identifierForObject(tutorialPages[i]));
        if (page)
            page->setVisible(i == m_selectedIndex);
    }
    layoutPages();
}

QWidget *PBPageController::pageAt(int index)
{
    const QString identifier = identifierForObject(tutorialPages.at(index));
    QPointer<QWidget> &page = m_pages[identifier];
    if (!page) {
        page = viewControllerForIdentifier(identifier);
        page->setParent(m_strip);
        page->setGeometry(m_strip->rect());
        page->hide();
    }
    return page;
}

QWidget *PBPageController::selectedViewController() const
{
    return m_pages.value(identifierForObject(tutorialPages.at(m_selectedIndex)));
}

void PBPageController::navigateBack() { setSelectedIndex(m_selectedIndex - 1); }

void PBPageController::navigateForward() { setSelectedIndex(m_selectedIndex + 1); }

void PBPageController::setSelectedIndex(int index)
{
    if (index < 0 || index >= tutorialPages.size() || index == m_selectedIndex)
        return;
    if (m_transition->state() == QAbstractAnimation::Running) {
        m_transition->stop();
        pageControllerDidEndLiveTransition();
    }
    m_transition->clear();
    QWidget *from = pageAt(m_selectedIndex);
    QWidget *to = pageAt(index);
    const int width = m_strip->width();
    const int direction = index > m_selectedIndex ? 1 : -1;
    m_selectedIndex = index;
    to->setGeometry(m_strip->rect().translated(direction * width, 0));
    to->show();
    to->raise();
    for (auto [page, offset] : {std::pair{from, -direction * width}, std::pair{to, 0}}) {
        auto *slide = new QPropertyAnimation(page, "pos", m_transition);
        slide->setDuration(kTransitionMs);
        slide->setEasingCurve(QEasingCurve::OutCubic);
        slide->setEndValue(QPoint(offset, 0));
        m_transition->addAnimation(slide);
    }
    didTransitionToObject(tutorialPages.at(index));
    m_transition->start();
}

void PBPageController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPages();
}

void PBPageController::layoutPages()
{
    if (m_transition->state() == QAbstractAnimation::Running)
        return;
    if (QWidget *page = selectedViewController())
        page->setGeometry(m_strip->rect());
}
