#pragma once
// The Ignored-applications tab: the desktop ids whose copies are never recorded ("blackList"),
// one row each, with buttons to add applications (their .desktop files, chosen or dropped on the
// list) and to delete the selected rows. A file that is not an application's desktop entry is
// refused with its reason. GUI thread.

#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

class BlacklistViewController : public QWidget {
    Q_OBJECT
public:
    explicit BlacklistViewController(QWidget *parent = nullptr);

    void reloadData();
    void clickAddBtn();
    void clickDeleteBtn();
    // Adds the applications of the .desktop files; returns the ids taken (a listed one again too).
    // The reasons for the files refused are shown under the list.
    QStringList addApplications(const QStringList &paths);

    // The desktop id of a .desktop file and why it cannot be added (empty reason when it can).
    struct Candidate {
        QString id;
        QString reason;
    };
    static Candidate candidate(const QString &path);

    // Asks for .desktop files; a file dialog unless replaced (tests).
    std::function<QStringList()> chooseFiles;

    QLabel *lblTitle = nullptr;
    QLabel *lblTips = nullptr;
    QLabel *lblRefusal = nullptr;
    QTableWidget *listTableView = nullptr;
    QPushButton *addBtn = nullptr;
    QPushButton *deleteBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QStringList desktopFilePaths(const class QMimeData *data);
};
