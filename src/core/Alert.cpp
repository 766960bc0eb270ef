#include "core/Alert.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {
std::function<ModalResponse(const AlertRequest &)> &responder()
{
    static std::function<ModalResponse(const AlertRequest &)> instance;
    return instance;
}

QMessageBox::Icon iconFor(AlertStyle style)
{
    switch (style) {
    case AlertStyle::informational:
        return QMessageBox::Information;
    case AlertStyle::critical:
        return QMessageBox::Critical;
    case AlertStyle::warning:
        break;
    }
    return QMessageBox::Warning;
}

ModalResponse runDialog(const AlertRequest &request)
{
    QMessageBox box;
    // Texts may come from a server or a user's data: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.messageText);
    box.setInformativeText(request.informativeText);
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setIcon(iconFor(request.alertStyle));
    QPushButton *first = box.addButton(request.firstButtonTitle, QMessageBox::AcceptRole);
    QPushButton *second = nullptr;
    if (request.secondButtonTitle)
        second = box.addButton(*request.secondButtonTitle, QMessageBox::RejectRole);
    box.setDefaultButton(first);
    box.setEscapeButton(second ? second : first);

    QPointer<QWidget> accessory = request.accessoryView;
    if (accessory) {
        if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
            grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
        else
            box.layout()->addWidget(accessory);
    }
    box.exec();
    if (accessory) {
        accessory->hide();
        accessory->setParent(nullptr);
    }
    return second && box.clickedButton() == second ? ModalResponse::alertSecondButtonReturn
                                                   : ModalResponse::alertFirstButtonReturn;
}
} // namespace

void showAlert(const QString &messageText, const QString &informativeText, const QString &firstButtonTitle,
               const std::optional<QString> &secondButtonTitle, QWidget *accessoryView, AlertStyle alertStyle,
               const std::function<void(ModalResponse)> &completion)
{
    const AlertRequest request{messageText, informativeText, firstButtonTitle, secondButtonTitle, accessoryView, alertStyle};
    const auto answer = responder();
    const ModalResponse response = answer ? answer(request) : runDialog(request);
    if (completion)
        completion(response);
}

void setAlertResponder(std::function<ModalResponse(const AlertRequest &)> responder_)
{
    responder() = std::move(responder_);
}
