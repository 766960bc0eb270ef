#include "support/ShellHarness.h"

#include "core/store/CoreDataStack.h"
#include "history/HistoryScenes.h"
#include "platform/ShortcutBinder.h"
#include "platform/SoundPlayer.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"

#include <QCoreApplication>

ShellHarness::ShellHarness()
{
    home = std::make_unique<ScopedXdgHome>();
    CoreDataStack::resetShared();
    categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
    workspace.setFrontmostApplication(editor());
    manager = std::make_unique<TaviPBManager>(pasteboard, workspace, *categories);

    auto monitor = std::make_unique<RecordingShortcutMonitor>();
    shortcuts = monitor.get();
    ShortcutMonitor::setShared(std::move(monitor));
    auto poster = std::make_unique<RecordingKeyEventPoster>();
    keys = poster.get();
    KeyEventPoster::setShared(std::move(poster));
    auto fakeTrust = std::make_unique<FakeAccessibilityTrust>();
    trust = fakeTrust.get();
    AccessibilityTrust::setShared(std::move(fakeTrust));
    ShortcutBinder::shared().reset();
    ShellSeams::shared().reset();
    HistoryScenes::registerAll();
    SoundPlayer::setObserver([this](const QString &name) { sounds.append(name); });
}

ShellHarness::~ShellHarness()
{
    SoundPlayer::setObserver({});
    settle(); // no read for the digit keys outlives the manager
    delegate.reset();
    ShortcutBinder::shared().reset();
    ShellSeams::shared().reset();
    manager.reset();
    categories.reset();
    CoreDataStack::resetShared();
}

AppDelegate &ShellHarness::makeDelegate()
{
    delegate = std::make_unique<AppDelegate>(*manager);
    return *delegate;
}

AppDelegate &ShellHarness::launchWith(const QStringList &texts)
{
    AppDelegate &launched = makeDelegate();
    launched.applicationDidFinishLaunching();
    for (const QString &text : texts)
        copyText(text);
    settle();
    return launched;
}

void ShellHarness::copyText(const QString &text)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    pasteboard.simulateCopy({item});
    manager->retreivePasteboardInfo();
    settle();
}

void ShellHarness::settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
    // The digit keys' items are read off the GUI thread.
    if (delegate && waitUntil([&] { return !delegate->isQuickSelectionRefreshing(); }, 10000)) {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
}

PBItem ShellHarness::item(const QString &text)
{
    for (const PBItem &item : manager->getAllItems()) {
        if (item.dataProvider() && item.dataProvider()->representedText() == text)
            return item;
    }
    return {};
}

QString ShellHarness::clipboardText()
{
    const auto items = pasteboard.items();
    if (!items || items->isEmpty())
        return {};
    return items->first().string(PasteboardType::string).value_or(QString());
}

RunningApplication ShellHarness::editor()
{
    RunningApplication app;
    app.localizedName = QStringLiteral("Text Editor");
    app.bundleIdentifier = QStringLiteral("org.gnome.TextEditor");
    app.processIdentifier = 4242;
    return app;
}
