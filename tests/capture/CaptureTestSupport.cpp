#include "CaptureTestSupport.h"

#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"

#include <QCoreApplication>
#include <QUrl>

CaptureHarness::CaptureHarness()
{
    home = std::make_unique<ScopedXdgHome>();
    CoreDataStack::resetShared();
    categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
    workspace.setFrontmostApplication(editor());
    manager = std::make_unique<TaviPBManager>(pasteboard, workspace, *categories);
    watchProblems();
    auto posted = m_posted;
    m_token = NotificationCenter::defaultCenter().addObserver({}, [posted](const Notification &notification) {
        posted->append({notification.name, notification.userInfo, MainQueue::isCurrent()});
    });
}

void CaptureHarness::watchProblems()
{
    HistoryProblems &problems = manager->problems();
    m_told = std::make_unique<QSignalSpy>(&problems, &HistoryProblems::problemOccurred);
    m_lost = std::make_unique<QSignalSpy>(&problems, &HistoryProblems::copiesLost);
    const auto checkThread = [this] {
        if (!MainQueue::isCurrent())
            m_signalledOnMainThreadOnly = false;
    };
    QObject::connect(&problems, &HistoryProblems::problemOccurred, checkThread);
    QObject::connect(&problems, &HistoryProblems::copiesLost, checkThread);
}

CaptureHarness::~CaptureHarness()
{
    NotificationCenter::defaultCenter().removeObserver(m_token);
    m_told.reset();
    m_lost.reset();
    manager.reset();
    categories.reset();
    CoreDataStack::resetShared();
}

void CaptureHarness::copyFromOutside(const QList<PasteboardItem> &items)
{
    pasteboard.simulateCopy(items);
    manager->retreivePasteboardInfo();
    settle();
}

void CaptureHarness::copyText(const QString &text) { copyFromOutside({textItem(text)}); }

void CaptureHarness::settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

QList<PostedNotification> CaptureHarness::posted(const QString &name) const
{
    QList<PostedNotification> result;
    for (const PostedNotification &notification : *m_posted) {
        if (notification.name == name)
            result.append(notification);
    }
    return result;
}

QStringList CaptureHarness::told() const
{
    QStringList texts;
    for (const QList<QVariant> &arguments : *m_told)
        texts << arguments.value(1).toString();
    return texts;
}

QList<qint64> CaptureHarness::lostTotals() const
{
    QList<qint64> totals;
    for (const QList<QVariant> &arguments : *m_lost)
        totals << arguments.value(0).toLongLong();
    return totals;
}

void CaptureHarness::clearPosted()
{
    m_posted->clear();
    m_told->clear();
    m_lost->clear();
}

QStringList CaptureHarness::texts()
{
    QStringList result;
    for (const PBItem &item : manager->getAllItems())
        result.append(item.dataProvider() ? item.dataProvider()->representedText() : QString());
    return result;
}

PBItem CaptureHarness::item(const QString &text)
{
    for (const PBItem &item : manager->getAllItems()) {
        if (item.dataProvider() && item.dataProvider()->representedText() == text)
            return item;
    }
    return {};
}

PasteboardItem CaptureHarness::textItem(const QString &text)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    return item;
}

PasteboardItem CaptureHarness::fileItem(const QString &path)
{
    PasteboardItem item;
    item.setData(PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded());
    return item;
}

RunningApplication CaptureHarness::editor()
{
    RunningApplication app;
    app.localizedName = QStringLiteral("Text Editor");
    app.bundleIdentifier = QStringLiteral("org.gnome.TextEditor");
    app.bundlePath = QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop");
    return app;
}

PBCategory CaptureHarness::userCategory(const QString &name, bool locked)
{
    PBCategory category(std::nullopt, name, Qt::blue, Qt::white, PBDefaultCategory::custom, false, false);
    categories->add(category);
    if (locked) {
        category.setLocked(true);
        categories->update(category);
    }
    return category;
}
