#include "core/Alert.h"

#include <QDialogButtonBox>
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
    case AlertStyle::informational: return QMessageBox::Information;
    case AlertStyle::critical: return QMessageBox::Critical;
    case AlertStyle::warning: break;
    }
    return QMessageBox::Warning;
}

// The accessory goes under the texts, in their column, and the buttons move down below it.
void placeAccessory(QMessageBox &box, QWidget *accessory)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    auto *buttons = box.findChild<QDialogButtonBox *>(QStringLiteral("qt_msgbox_buttonbox"));
    const int at = grid && buttons ? grid->indexOf(buttons) : -1;
    if (at < 0) {
        box.layout()->addWidget(accessory);
        return;
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
    int textColumn = 0;
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label")); label && grid->indexOf(label) >= 0) {
        int labelRow = 0, labelRowSpan = 0, labelColumnSpan = 0;
        grid->getItemPosition(grid->indexOf(label), &labelRow, &textColumn, &labelRowSpan, &labelColumnSpan);
    }
    grid->removeWidget(buttons);
    grid->addWidget(accessory, row, textColumn, 1, grid->columnCount() - textColumn);
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
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
    box.setDefaultButton(second && request.destructive ? second : first);
    box.setEscapeButton(second ? second : first);

    QPointer<QWidget> accessory = request.accessoryView;
    if (accessory)
        placeAccessory(box, accessory);
    box.exec();
    if (accessory) {
        accessory->hide();
        accessory->setParent(nullptr);
    }
    return second && box.clickedButton() == second ? ModalResponse::alertSecondButtonReturn
                                                   : ModalResponse::alertFirstButtonReturn;
}

void ask(const AlertRequest &request, const std::function<void(ModalResponse)> &completion)
{
    const auto answer = responder();
    const ModalResponse response = answer ? answer(request) : runDialog(request);
    if (completion)
        completion(response);
}
} // namespace

void showAlert(const QString &messageText, const QString &informativeText, const QString &firstButtonTitle,
               const std::optional<QString> &secondButtonTitle, QWidget *accessoryView, AlertStyle alertStyle,
               const std::function<void(ModalResponse)> &completion)
{
    ask({messageText, informativeText, firstButtonTitle, secondButtonTitle, accessoryView, alertStyle}, completion);
}

void showDestructiveAlert(const QString &messageText, const QString &informativeText, const QString &destroyButtonTitle,
                          const QString &cancelButtonTitle, QWidget *accessoryView,
                          const std::function<void(ModalResponse)> &completion)
{
    ask({messageText, informativeText, destroyButtonTitle, cancelButtonTitle, accessoryView, AlertStyle::warning, true},
        completion);
}

void setAlertResponder(std::function<ModalResponse(const AlertRequest &)> responder_)
{
    responder() = std::move(responder_);
}
