#include "shell/TaviPermissionViewController.h"

#include "core/Alert.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "shell/AuthorizerManager.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char *const kFunction = "TaviPermissionViewController";

QString canonicalOrClean(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}
} // namespace

TaviPermissionViewController::TaviPermissionViewController(QFileDialog *openPanel, QWidget *parent)
    : RoundedPanelWindow(10, parent),
      m_openPanel(openPanel),
      m_homeDir(Paths::homeDirectoryPath())
{
    setObjectName(QStringLiteral("TaviPermissionViewController"));
    setWindowTitle(L("Authorization.Unreadable"));

    auto *title = new QLabel(L("Authorization.Unreadable"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setWordWrap(true);
    lblDescription = new QLabel(this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setTextFormat(Qt::PlainText);
    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setTextFormat(Qt::PlainText);
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont folderFont = lblFolder->font();
    folderFont.setFamily(QStringLiteral("monospace"));
    lblFolder->setFont(folderFont);

    okButton = new QPushButton(L("Authorization.OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelBtn = new QPushButton(L("Authorization.Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    notPromptBtn = new QCheckBox(L("Authorization.NotPrompt"), this);
    notPromptBtn->setObjectName(QStringLiteral("notPromptBtn"));
    notPromptBtn->setChecked(TaviSettings::shared().notPromptFolderAccess());
    connect(okButton, &QPushButton::clicked, this, &TaviPermissionViewController::OKAction);
    connect(cancelBtn, &QPushButton::clicked, this, &TaviPermissionViewController::cancelAction);
    connect(notPromptBtn, &QCheckBox::toggled, this, &TaviPermissionViewController::notPromptAction);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(notPromptBtn);
    buttons->addStretch();
    buttons->addWidget(cancelBtn);
    buttons->addWidget(okButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(lblDescription);
    layout->addWidget(lblFolder);
    layout->addLayout(buttons);
    setFixedWidth(440);

    // The dialog's checks follow this controller (the panel's delegate).
    if (m_openPanel) {
        connect(m_openPanel, &QFileDialog::directoryEntered, this,
                &TaviPermissionViewController::panelDidChangeToDirectory);
        connect(m_openPanel, &QDialog::finished, this, &TaviPermissionViewController::panelDidFinish);
    }
}

QFileDialog *TaviPermissionViewController::panel() const { return m_openPanel; }

QString TaviPermissionViewController::targetPath() const { return initialPath.value_or(m_homeDir); }

void TaviPermissionViewController::updateTexts()
{
    lblDescription->setText(L("Authorization.Desc"));
    lblFolder->setText(Strings::text("Authorization.Folder").arg(QDir::toNativeSeparators(targetPath())));
    adjustSize();
}

void TaviPermissionViewController::paintEvent(QPaintEvent *event)
{
    RoundedPanelWindow::paintEvent(event);
    // A hairline keeps the popover apart from a window of the same colour behind it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

void TaviPermissionViewController::showEvent(QShowEvent *event)
{
    updateTexts();
    RoundedPanelWindow::showEvent(event);
    makeKeyAndOrderFront();
}

void TaviPermissionViewController::OKAction() { openPanel(); }

void TaviPermissionViewController::cancelAction() { AuthorizerManager::shared().close(); }

void TaviPermissionViewController::notPromptAction()
{
    TaviSettings::shared().setNotPromptFolderAccess(notPromptBtn->isChecked());
}

void TaviPermissionViewController::openPanel()
{
    if (!m_openPanel || m_openPanel->isVisible())
        return;
    const QString target = targetPath();
    m_openPanel->setProperty("taviTarget", target);
    m_openPanel->setWindowTitle(L("Authorization.Title"));
    m_openPanel->setOption(QFileDialog::DontUseNativeDialog, true);
    m_openPanel->setFileMode(QFileDialog::Directory);
    m_openPanel->setOption(QFileDialog::ShowDirsOnly, true);
    m_openPanel->setOption(QFileDialog::ReadOnly, true); // no new folders
    m_openPanel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_openPanel->setLabelText(QFileDialog::Accept, L("Authorization.OK"));
    m_openPanel->setDirectory(target);
    if (!m_openPanel->isVisible() && m_openPanel->width() < 760)
        m_openPanel->resize(760, 480);
    // Nothing typed or picked from an earlier round: the choice starts as the target itself.
    if (auto *name = m_openPanel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->clear();
    for (auto *view : m_openPanel->findChildren<QAbstractItemView *>())
        view->clearSelection();
    QPointer<QFileDialog> panel(m_openPanel);
    MainQueue::async([panel] {
        if (!panel)
            return;
        panel->show();
        panel->raise();
        panel->activateWindow();
    });
    AuthorizerManager::shared().close();
}

void TaviPermissionViewController::panelDidChangeToDirectory(const QString &directory)
{
    const QString target = m_openPanel->property("taviTarget").toString();
    if (!target.isEmpty() && !Paths::isInside(directory, target))
        m_openPanel->setDirectory(target);
}

void TaviPermissionViewController::panelDidFinish(int result)
{
    const QString target = m_openPanel->property("taviTarget").toString();
    if (target.isEmpty())
        return; // the dialog was opened for something else
    m_openPanel->setProperty("taviTarget", QVariant());
    const QString chosen = m_openPanel->selectedFiles().value(0);
    if (result != QDialog::Accepted || chosen.isEmpty() || !QFileInfo(chosen).isDir()) {
        MainQueue::async([self = QPointer(this)] {
            if (self)
                self->showFailureAlert();
        });
        return;
    }
    if (canonicalOrClean(chosen) != canonicalOrClean(target)) {
        LOG_INFO(kFunction, QStringLiteral("Refused a folder other than the one asked for"));
        MainQueue::async([this, self = QPointer(this)] {
            if (!self)
                return;
            showAlert(L("Authorization.Invalid"), L("Authorization.Desc"), L("Authorization.OK"),
                      L("Authorization.Cancel"), nullptr, AlertStyle::warning, [this](ModalResponse response) {
                          if (response == ModalResponse::alertFirstButtonReturn)
                              openPanel();
                      });
        });
        return;
    }
    LOG_DEBUG(kFunction, QStringLiteral("Setting bookmark from permission alert..."));
    // Kept under the path asked for: that is the path the next check looks up.
    TPBookMarkCacher::shared().store({QUrl::fromLocalFile(target)});
}

void TaviPermissionViewController::showFailureAlert()
{
    showAlert(L("Authorization.Failed"), L("Authorization.Desc"), L("Authorization.OK"), L("Authorization.Cancel"),
              nullptr, AlertStyle::critical, [this](ModalResponse response) {
                  if (response == ModalResponse::alertFirstButtonReturn)
                      openPanel();
              });
}
