#pragma once
// The folder-access popover: explains why TaviPaste asks for a folder, opens the folder dialog
// that accepts only that folder, and offers to stop asking. The folder chosen is stored as a
// bookmark. GUI thread.

#include "shell/RoundedPanelWindow.h"

#include <QPointer>
#include <QString>

#include <optional>

class QCheckBox;
class QFileDialog;
class QLabel;
class QPushButton;

class TaviPermissionViewController : public RoundedPanelWindow {
    Q_OBJECT
public:
    // The dialog is the application's one folder chooser.
    explicit TaviPermissionViewController(QFileDialog *openPanel, QWidget *parent = nullptr);
    QFileDialog *panel() const;

    // The folder asked for: initialPath when set, else the home folder.
    QString targetPath() const;
    std::optional<QString> initialPath;

    // Shows the explanation and the folder asked for, and fits the popover to them.
    void updateTexts();

    // Configures the folder dialog on the target folder and opens it after the current event.
    void openPanel();

    // Button actions.
    void OKAction();
    void cancelAction();
    void notPromptAction();

    QLabel *lblDescription = nullptr;
    QLabel *lblFolder = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelBtn = nullptr;
    QCheckBox *notPromptBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The dialog's checks: it stays inside the target folder and accepts only the target.
    void panelDidChangeToDirectory(const QString &directory);
    void panelDidFinish(int result);
    void showFailureAlert();

    QPointer<QFileDialog> m_openPanel;
    QString m_homeDir;
};
