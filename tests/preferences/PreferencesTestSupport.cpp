#include "PreferencesTestSupport.h"

#include "preferences/PreferencesScenes.h"
#include "preferences/PreferencesWindowViewController.h"
#include "preferences/ValueStepperField.h"
#include "shell/AppDelegate.h"

#include <QLineEdit>
#include <QTest>

PreferencesFixture::PreferencesFixture(const QStringList &texts)
{
    PreferencesScenes::registerAll();
    delegate = &shell.launchWith(texts);
}

PreferencesFixture::~PreferencesFixture() { resetPreferencesWindowController(); }

void typeInto(ValueStepperField *field, const QString &text, bool finish)
{
    QLineEdit *edit = field->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::keyClicks(edit, text);
    if (finish)
        QTest::keyClick(edit, Qt::Key_Return);
}

AnsweredAlerts::AnsweredAlerts(ModalResponse response)
{
    setAlertResponder([this, response](const AlertRequest &request) {
        requests.append(request);
        return response;
    });
}

AnsweredAlerts::~AnsweredAlerts() { setAlertResponder({}); }
