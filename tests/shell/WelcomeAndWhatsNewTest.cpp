#include "controls/SceneRegistry.h"
#include "core/AppGlobals.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "platform/memory/FakeWorkspace.h"
#include "shell/AppDelegate.h"
#include "shell/PBPageController.h"
#include "shell/ShellScenes.h"
#include "shell/WelcomeLastPageViewController.h"
#include "shell/WelcomeWindowController.h"
#include "shell/WhatsnewViewController.h"
#include "shell/WhatsnewWindowController.h"
#include "support/ShellHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {
std::unique_ptr<QWidget> makeScene(const char *storyboard, const char *identifier)
{
    ShellScenes::registerAll();
    QObject *scene = SceneRegistry::shared().instantiateScene(QLatin1String(storyboard), QLatin1String(identifier));
    return std::unique_ptr<QWidget>(qobject_cast<QWidget *>(scene));
}
} // namespace

TEST(Tutorials, RawValuesAreTheFivePageIdentifiersInOrder)
{
    QStringList raw;
    for (PBTutorials page : Tutorials::allCases()) {
        raw.append(Tutorials::rawValue(page));
        EXPECT_EQ(Tutorials::fromRawValue(raw.last()), page);
    }
    EXPECT_EQ(raw, (QStringList{QStringLiteral("sideBar"), QStringLiteral("drag"), QStringLiteral("click"),
                                QStringLiteral("tag"), QStringLiteral("autoTag")}));
    EXPECT_EQ(Tutorials::fromRawValue(QStringLiteral("SideBar")), std::nullopt);
    EXPECT_EQ(Tutorials::fromRawValue(QString()), std::nullopt);
}

TEST(Onboarding, TheButtonsFollowThePageAndEveryPageHasItsTexts)
{
    auto window = makeScene("Welcome", "welcomeWindowController");
    auto *welcome = dynamic_cast<WelcomeWindowController *>(window.get());
    ASSERT_TRUE(welcome);
    welcome->show();
    PBPageController &pages = *welcome->pageController();
    EXPECT_FALSE(pages.btnLeft->isEnabled());
    EXPECT_TRUE(pages.btnRight->isEnabled());
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(pages.selectedIndex(), index);
        const bool last = index == 4;
        EXPECT_EQ(pages.btnLeft->isEnabled(), index != 0) << index;
        EXPECT_EQ(pages.btnRight->isEnabled(), !last) << index;
        QWidget *page = pages.selectedViewController();
        ASSERT_TRUE(page);
        EXPECT_EQ(page->objectName(), Tutorials::rawValue(Tutorials::allCases().at(index)));
        for (QLabel *label : page->findChildren<QLabel *>()) // no key shown in place of a text
            EXPECT_FALSE(label->text().startsWith(QStringLiteral("Welcome."))) << label->text().toStdString();
        pages.btnRight->click();
    }
    EXPECT_EQ(pages.selectedIndex(), 4); // no page after the last
    pages.btnLeft->click();
    EXPECT_EQ(pages.selectedIndex(), 3);
    EXPECT_TRUE(pages.btnRight->isEnabled());

    pages.setSelectedIndex(4);
    auto *lastPage = dynamic_cast<WelcomeLastPageViewController *>(pages.selectedViewController());
    ASSERT_TRUE(lastPage);
    lastPage->okButton->click();
    EXPECT_FALSE(welcome->isVisible());
}

TEST(Onboarding, TheFirstRunFlagWaitsForAWelcomeWindowThatWasShown)
{
    ShellHarness shell;
    SceneRegistry::shared().removeScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"));
    AppDelegate &first = shell.makeDelegate();
    first.applicationDidFinishLaunching();
    EXPECT_FALSE(TaviSettings::shared().alreadyShowTutorial());
    first.applicationWillTerminate();

    ShellScenes::registerAll();
    AppDelegate &second = shell.makeDelegate();
    second.applicationDidFinishLaunching();
    ASSERT_TRUE(second.welcomeWindowController);
    EXPECT_TRUE(second.welcomeWindowController->isVisible());
    EXPECT_TRUE(TaviSettings::shared().alreadyShowTutorial());
    second.applicationWillTerminate();
}

TEST(WhatsNew, ReportsTheTimeItWasOpenOncePerShowing)
{
    RecordedEvents events;
    auto window = makeScene("Whatsnew", "WhatsnewWindowController");
    ASSERT_TRUE(dynamic_cast<WhatsnewWindowController *>(window.get()));
    window->close(); // never shown: nothing to report
    EXPECT_TRUE(events.named(QStringLiteral("WhatsNew_Session")).isEmpty());

    window->show();
    waitUntil([] { return false; }, 120);
    window->close();
    window->close();
    const auto sessions = events.named(QStringLiteral("WhatsNew_Session"));
    ASSERT_EQ(sessions.size(), 1);
    bool isNumber = false;
    const double seconds = sessions.first().properties.value(QStringLiteral("duration")).toDouble(&isNumber);
    EXPECT_TRUE(isNumber);
    EXPECT_GE(seconds, 0.12);
    EXPECT_LT(seconds, 60.0);

    window->show();
    window->close();
    EXPECT_EQ(events.named(QStringLiteral("WhatsNew_Session")).size(), 2);
}

TEST(WhatsNew, TheContentIsStyledToItsVeryEndAndTheButtonOpensTheSite)
{
    ScopedXdgHome home;
    RecordedEvents events;
    auto window = makeScene("Whatsnew", "WhatsnewWindowController");
    WhatsnewViewController *content = dynamic_cast<WhatsnewWindowController *>(window.get())->viewController();
    EXPECT_EQ(content->lblTitle->text(), L("WhatsNew.Title"));
    EXPECT_FALSE(content->txtViewContent->toPlainText().startsWith(QStringLiteral("WhatsNew.")));
    const QTextBlock last = content->txtViewContent->document()->lastBlock();
    const QTextFragment fragment = (--last.end()).fragment();
    EXPECT_EQ(fragment.charFormat().foreground().color(), QColor::fromRgbF(1.0, 1.0, 1.0, 0.847));
    EXPECT_EQ(last.blockFormat().lineHeight(), 150.0);

    auto &workspace = dynamic_cast<FakeWorkspace &>(Workspace::shared());
    const qsizetype opened = workspace.openedUrls().size();
    content->btnGo->click(); // no service configured: nothing to open
    EXPECT_EQ(workspace.openedUrls().size(), opened);
    TaviSettings::shared().setServiceBaseURL(QStringLiteral("https://maker.example"));
    content->btnGo->click();
    ASSERT_EQ(workspace.openedUrls().size(), opened + 1);
    EXPECT_EQ(workspace.openedUrls().last().host(), QStringLiteral("maker.example"));
    const auto clicks = events.named(QStringLiteral("ClickMoreTools"));
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks.first().properties.value(QStringLiteral("Source")), QStringLiteral("whatsnew"));
}
