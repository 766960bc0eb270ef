#pragma once
// The welcome window's pages, one at a time on a horizontal strip, with back and forward
// buttons. Each page is made from the "Welcome" storyboard by its identifier when first shown.
// GUI thread.

#include "shell/PBTutorials.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

class QParallelAnimationGroup;
class QPushButton;

class PBPageController : public QWidget {
    Q_OBJECT
public:
    explicit PBPageController(QWidget *parent = nullptr);

    QPushButton *btnLeft = nullptr;
    QPushButton *btnRight = nullptr;
    const QList<PBTutorials> tutorialPages = Tutorials::allCases();

    int selectedIndex() const { return m_selectedIndex; }
    // The page shown now (made on demand).
    QWidget *selectedViewController() const;
    void navigateBack();
    void navigateForward();
    // Slides to the page at index; out-of-range indexes are ignored.
    void setSelectedIndex(int index);

    // What the page strip asks of its delegate.
    QString identifierForObject(PBTutorials page) const;
    QWidget *viewControllerForIdentifier(const QString &identifier);
    void didTransitionToObject(PBTutorials page);
    void pageControllerDidEndLiveTransition();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *pageAt(int index);
    void layoutPages();

    QWidget *m_strip = nullptr;
    QHash<QString, QPointer<QWidget>> m_pages;
    int m_selectedIndex = 0;
    QParallelAnimationGroup *m_transition = nullptr;
};
