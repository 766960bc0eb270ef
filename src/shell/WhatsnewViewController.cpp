#include "shell/WhatsnewViewController.h"

#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "shell/MakerService.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

WhatsnewViewController::WhatsnewViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WhatsnewViewController"));
    lblTitle = new QLabel(L("WhatsNew.Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    lblTitle->setFont(titleFont);
    lblTitle->setStyleSheet(QStringLiteral("color: white;"));

    txtViewContent = new QTextEdit(this);
    txtViewContent->setObjectName(QStringLiteral("txtViewContent"));
    txtViewContent->setReadOnly(true);
    txtViewContent->setFrameShape(QFrame::NoFrame);
    txtViewContent->viewport()->setAutoFillBackground(false);
    txtViewContent->setStyleSheet(QStringLiteral("background: transparent;"));
    txtViewContent->setPlainText(L("WhatsNew.Content"));
    // The whole text: one and a half line height, white at 85 %.
    QTextCursor all(txtViewContent->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat block;
    block.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    all.mergeBlockFormat(block);
    QTextCharFormat character;
    character.setForeground(QColor::fromRgbF(1.0, 1.0, 1.0, 0.847));
    all.mergeCharFormat(character);

    btnGo = new QPushButton(L("WhatsNew.Btn"), this);
    btnGo->setObjectName(QStringLiteral("btnGo"));
    btnGo->setCursor(Qt::PointingHandCursor);
    btnGo->setMinimumHeight(36);
    btnGo->setMinimumWidth(200);
    btnGo->setStyleSheet(
        QStringLiteral("QPushButton { color: white; border: none; border-radius: 18px; padding: 0 24px;"
                       " background-color: rgb(39, 174, 96); font-weight: bold; }"
                       "QPushButton:hover { background-color: rgb(46, 196, 110); }"
                       "QPushButton:pressed { background-color: rgb(33, 150, 83); }"));
    connect(btnGo, &QPushButton::clicked, this, &WhatsnewViewController::btnGoAction);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 28, 32, 24);
    layout->setSpacing(14);
    layout->addWidget(lblTitle);
    layout->addWidget(txtViewContent, 1);
    layout->addWidget(btnGo, 0, Qt::AlignHCenter);
}

void WhatsnewViewController::btnGoAction()
{
    Analytics::trackEvent(QStringLiteral("ClickMoreTools"), {{QStringLiteral("Source"), QStringLiteral("whatsnew")}});
    const QUrl url = MakerService::websiteURL();
    if (!url.isValid() || url.isEmpty()) {
        LOG_INFO("WhatsnewViewController", QStringLiteral("No web site to open: no service address is configured"));
        return;
    }
    Workspace::shared().openUrl(url);
}
