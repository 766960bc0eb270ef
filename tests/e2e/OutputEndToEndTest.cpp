// What the real program writes on its own standard output and error over a session: nothing on
// standard output, which is kept for what a user asked for, and no copied text on either.

#include "EndToEndSupport.h"

#include "support/TestEnvironment.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace EndToEnd;

TEST(EndToEnd, AStartACopyAndAQuitLeaveStandardOutputEmptyAndCopiedTextsOffStandardError)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xclip";
    TaviSession session;
    const QProcessEnvironment environment = isolatedEnvironment(session);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    TaviProcess tavi(environment);
    ASSERT_TRUE(session.waitForLog("TaviPaste is running")) << "TaviPaste did not start";
    const QByteArray text = "output check " + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    auto copier = copyWithXclip(text);
    ASSERT_TRUE(session.waitForLog("items: 1 new")) << "not captured";
    EXPECT_TRUE(tavi.terminate());
    stop(*copier);
    EXPECT_TRUE(tavi.standardOutput().isEmpty()) << tavi.standardOutput().constData();
    EXPECT_FALSE(tavi.standardError().contains(text)) << tavi.standardError().constData();
    EXPECT_EQ(logCount(stateHome, text), 0);
    if (HasFailure())
        session.printLogs();
}
