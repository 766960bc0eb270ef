#pragma once
// The preferences window over the in-memory shell: a fresh history, settings and hot keys per
// test, a launched application delegate, and helpers that type into fields as a user would.

#include "core/Alert.h"
#include "support/ShellHarness.h"

#include <QString>
#include <QStringList>

#include <memory>

class AppDelegate;
class ValueStepperField;

class PreferencesFixture {
public:
    explicit PreferencesFixture(const QStringList &texts = {});
    ~PreferencesFixture();

    ShellHarness shell;
    AppDelegate *delegate = nullptr;
};

// Replaces the text of the field as typed keys, then ends editing when asked (Return).
void typeInto(ValueStepperField *field, const QString &text, bool finish = true);

// Answers every alert while it lives and remembers what was asked.
class AnsweredAlerts {
public:
    explicit AnsweredAlerts(ModalResponse response = ModalResponse::alertFirstButtonReturn);
    ~AnsweredAlerts();
    QList<AlertRequest> requests;
};
