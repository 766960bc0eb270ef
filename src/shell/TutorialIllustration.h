#pragma once
// The picture of a welcome page: a sketch of the screen with the colour bar, drawn for the page's
// subject. GUI thread.

#include "shell/PBTutorials.h"

#include <QWidget>

class TutorialIllustration : public QWidget {
public:
    explicit TutorialIllustration(PBTutorials page, QWidget *parent = nullptr);
    QSize sizeHint() const override { return {520, 250}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PBTutorials m_page;
};
