#include "shell/WhatsnewWindowController.h"

#include "platform/Analytics.h"
#include "platform/Strings.h"
#include "shell/WhatsnewViewController.h"

#include <QCloseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

WhatsnewWindowController::WhatsnewWindowController(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("WhatsnewWindowController"));
    setWindowTitle(L("WhatsNew.Title"));
    m_viewController = new WhatsnewViewController(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_viewController);
    setFixedSize(480, 420);
}

void WhatsnewWindowController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_shownFor.start();
}

void WhatsnewWindowController::closeEvent(QCloseEvent *event)
{
    reportSession();
    QWidget::closeEvent(event);
}

void WhatsnewWindowController::reportSession()
{
    if (!m_shownFor.isValid())
        return;
    const double seconds = double(m_shownFor.elapsed()) / 1000.0;
    m_shownFor.invalidate();
    Analytics::trackEvent(QStringLiteral("WhatsNew_Session"), {{QStringLiteral("duration"), QString::number(seconds)}});
}

void WhatsnewWindowController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(0x23, 0x2B, 0x3A));
    background.setColorAt(1, QColor(0x14, 0x19, 0x24));
    painter.fillRect(rect(), background);
}
