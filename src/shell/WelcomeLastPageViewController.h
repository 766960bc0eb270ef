#pragma once
// The welcome window's last page: its OK button closes the welcome window. GUI thread.

#include "shell/WelcomePageViewController.h"

class QPushButton;

class WelcomeLastPageViewController : public WelcomePageViewController {
    Q_OBJECT
public:
    explicit WelcomeLastPageViewController(QWidget *parent = nullptr);

    void clickOKButton();
    QPushButton *okButton = nullptr;
};
