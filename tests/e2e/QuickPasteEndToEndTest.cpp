// TaviPaste as a user meets it: the real program on the test display, another program's copies,
// the hot key, the panel, Return and a digit key pasting into a third program's text field.

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace EndToEnd;

bool isFeedbackPanelShown()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral("TaviPaste Feedback")});
}

// The height of the quick-paste panel while it is mapped; none while it is not.
std::optional<int> panelHeight()
{
    const QByteArray found = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("^TaviPaste$")});
    const QList<QByteArray> windows = found.trimmed().split('\n');
    if (found.trimmed().isEmpty() || windows.size() != 1)
        return std::nullopt;
    const QByteArray geometry =
        xdotoolOutput({QStringLiteral("getwindowgeometry"), QString::fromLatin1(windows.first())});
    const qsizetype at = geometry.indexOf("Geometry: ");
    if (at < 0)
        return std::nullopt;
    const QList<QByteArray> size = geometry.mid(at + 10).trimmed().split('\n').first().split('x');
    bool ok = false;
    const int height = size.size() == 2 ? size[1].toInt(&ok) : 0;
    return ok ? std::optional<int>(height) : std::nullopt;
}

} // namespace

TEST(EndToEnd, TheHotKeyAndADigitKeyPasteIntoTheFocusedField)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xdotool and xclip";

    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    writeDefaults(environment, {{QStringLiteral("quickPasteEnable"), true}});

    Child field(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("field")}, xcbEnvironment());
    const std::optional<QByteArray> fieldWindow = field.waitForLine("READY:");
    ASSERT_TRUE(fieldWindow) << "the text field did not start";

    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000))
        << "TaviPaste did not start";

    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    auto first = copyWithXclip("first text");
    ASSERT_TRUE(waitUntil([&] { return storedItems(dataHome) == 1; }, 10000)) << "the first copy was not stored";
    auto second = copyWithXclip("second text");
    ASSERT_TRUE(waitUntil([&] { return storedItems(dataHome) == 2; }, 10000)) << "the second copy was not stored";
    ASSERT_TRUE(xdotool(
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow->trimmed())}));

    // The panel: typing filters, Return pastes the one row left into the field. Its list is shown
    // (and its search field has the focus) once it has grown to the two rows.
    constexpr int kRowHeight = 60;
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    std::optional<int> twoRows;
    ASSERT_TRUE(waitUntil([&] { return (twoRows = panelHeight()) && *twoRows >= 2 * kRowHeight + 40; }, 10000))
        << "the panel did not show its rows";
    ASSERT_TRUE(
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("first")}));
    ASSERT_TRUE(waitUntil([&] { return panelHeight() == *twoRows - kRowHeight; }, 10000))
        << "the search did not filter";
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
