#pragma once
// The one way the program asks the user something in a dialog. GUI thread.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

enum class AlertStyle { warning, informational, critical };

// The button that closed an alert.
enum class ModalResponse { alertFirstButtonReturn = 1000, alertSecondButtonReturn = 1001 };

// Shows a modal alert with one or two buttons and an optional accessory widget (its options,
// shown between the texts and the buttons), waits until a button is pressed, calls the completion
// with the response and returns after it. Closing the dialog counts as the second button when
// there is one, else the first. The first button is the default. The caller keeps ownership of
// the accessory widget (it is unparented again before the call returns).
void showAlert(const QString &messageText, const QString &informativeText, const QString &firstButtonTitle,
               const std::optional<QString> &secondButtonTitle = std::nullopt, QWidget *accessoryView = nullptr,
               AlertStyle alertStyle = AlertStyle::warning, const std::function<void(ModalResponse)> &completion = {});

// Asks before something that cannot be undone: a warning whose first button does it and whose
// second cancels. The cancel is the default, so Return and Escape both leave things as they are.
void showDestructiveAlert(const QString &messageText, const QString &informativeText, const QString &destroyButtonTitle,
                          const QString &cancelButtonTitle, QWidget *accessoryView = nullptr,
                          const std::function<void(ModalResponse)> &completion = {});

// Receives every alert instead of a dialog when set (tests and headless runs); answers the
// response the alert would get. Pass an empty function to remove.
struct AlertRequest {
    QString messageText;
    QString informativeText;
    QString firstButtonTitle;
    std::optional<QString> secondButtonTitle;
    QWidget *accessoryView = nullptr;
    AlertStyle alertStyle = AlertStyle::warning;
    // Asked by showDestructiveAlert(): the second button is the default.
    bool destructive = false;
};
void setAlertResponder(std::function<ModalResponse(const AlertRequest &)> responder);
