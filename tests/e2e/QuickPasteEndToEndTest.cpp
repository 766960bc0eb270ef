// TaviPaste as a user meets it: the real program on the test display, another program's copies,
// the hot key, the panel, Return and a digit key pasting into a third program's text field.

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace EndToEnd;

bool isFeedbackPanelShown()
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral("TaviPaste Feedback")});
}

} // namespace

TEST(EndToEnd, TheHotKeyAndADigitKeyPasteIntoTheFocusedField)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xdotool and xclip";

    QTemporaryDir home;
    const QProcessEnvironment environment = isolatedEnvironment(home.path());
    writeDefaults(environment, {{QStringLiteral("quickPasteEnable"), true}});

    Child field(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("field")}, xcbEnvironment());
    const std::optional<QByteArray> fieldWindow = field.waitForLine("READY:");
    ASSERT_TRUE(fieldWindow) << "the text field did not start";

    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000)) << "TaviPaste did not start";

    auto first = copyWithXclip("first text");
    waitUntil([] { return false; }, 800);
    auto second = copyWithXclip("second text");
    waitUntil([] { return false; }, 800);
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow->trimmed())}));

    // The panel: typing filters, Return pastes the one row left into the field.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    waitUntil([] { return false; }, 600);
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("first")}));
    waitUntil([] { return false; }, 400);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first text")) << "Return did not paste into the field";

    EXPECT_TRUE(waitUntil([] { return isFeedbackPanelShown(); }, 1500)) << "no feedback panel";
    EXPECT_TRUE(waitUntil([] { return !isFeedbackPanelShown(); }, 3000)) << "the feedback panel stayed";

    // A digit key: the second most recent item goes in after what is there.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+2")}));
    EXPECT_TRUE(field.waitForValue("TEXT:", "first textfirst text"))
        << "the digit key did not paste: " << field.lastValue("TEXT:").constData();
    stop(*first);
    stop(*second);
    tavi.reset(); // its log is complete once it has quit
    if (HasFailure())
        printLogs(stateHome);
}
