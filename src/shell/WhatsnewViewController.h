#pragma once
// The content of the what's-new window: a title, what this version brings and a button to the
// maker's web site. GUI thread.

#include <QWidget>

class QLabel;
class QPushButton;
class QTextEdit;

class WhatsnewViewController : public QWidget {
    Q_OBJECT
public:
    explicit WhatsnewViewController(QWidget *parent = nullptr);

    void btnGoAction();

    QLabel *lblTitle = nullptr;
    QTextEdit *txtViewContent = nullptr;
    QPushButton *btnGo = nullptr;
};
