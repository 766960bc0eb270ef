// What the user copies, edits and comments never reaches a log line: only lengths and short hashes.

#include "CaptureTestSupport.h"

#include "core/StringExtensions.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Every message logged while it lives.
class LoggedLines {
public:
    LoggedLines()
    {
        Log::setObserver([this](LogLevel, const QString &message, const char *, const char *, int) {
            QMutexLocker lock(&m_mutex);
            m_lines.append(message);
        });
    }
    ~LoggedLines() { Log::setObserver({}); }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    // The lines holding any of the fragments.
    QStringList containing(const QStringList &fragments) const
    {
        QStringList found;
        for (const QString &line : lines()) {
            if (std::any_of(fragments.cbegin(), fragments.cend(),
                            [&](const QString &fragment) { return line.contains(fragment, Qt::CaseInsensitive); }))
                found.append(line);
        }
        return found;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};

QString unique(const char *prefix)
{
    return QString::fromLatin1(prefix) + QString::number(QRandomGenerator::global()->generate64(), 36);
}

} // namespace

TEST(LogPrivacy, CopiesEditsCommentsCategoryNamesAndFilePathsNeverReachTheLog)
{
    CaptureHarness h;
    const QString categoryName = unique("my-category-");
    const PBCategory category = h.userCategory(categoryName);
    LoggedLines logged;
    const QString text = unique("copied-text-");
    const QString edited = unique("edited-text-");
    const QString comment = unique("a-comment-");
    const QString link = QStringLiteral("https://") + unique("site") + QStringLiteral(".example/page");
    QTemporaryDir folder;
    const QString filePath = folder.filePath(unique("private-file-") + QStringLiteral(".txt"));
    QFile(filePath).open(QIODevice::WriteOnly);

    h.copyText(text);
    h.copyText(link);
    h.copyFromOutside({CaptureHarness::fileItem(filePath)});
    h.copyText(text); // a repeat
    const PBItem item = h.item(text);
    h.manager->copy({item}, std::nullopt);
    h.manager->copy({h.item(link)}, std::nullopt);
    h.manager->updateComment(item, comment);
    h.manager->updateText(item, edited);
    h.manager->addItem(h.item(edited), category);
    h.manager->removeItem(h.item(edited), category);
    h.manager->addItem(h.item(edited), category);
    h.manager->clearItems(category,
                          {.includeSticky = true, .includeNotes = true, .includeLock = true, .includeCustom = true});
    h.manager->deleteItem(h.item(link));
    h.settle();

    ASSERT_FALSE(logged.lines().isEmpty());
    const QStringList fragments{
        text,      edited,      comment,   link,        filePath, QFileInfo(filePath).fileName(),
        md5(text), md5(edited), md5(link), categoryName};
    EXPECT_EQ(logged.containing(fragments), QStringList()) << "content in the log";
}

TEST(LogPrivacy, APasswordManagersCopyLeavesOneLineAndNothingElse)
{
    CaptureHarness h;
    const QString secret = unique("hunter2-");
    h.copyText(secret); // the same text copied before, without the marker, is not refreshed either
    const QDateTime before = h.item(secret).modifiedTime();
    LoggedLines logged;

    PasteboardItem concealed = CaptureHarness::textItem(secret);
    concealed.setData(PasteboardType::concealed, "secret");
    PasteboardItem other = CaptureHarness::textItem(unique("new-"));
    other.setData(PasteboardType::concealed, "secret");
    h.copyFromOutside({concealed});
    h.copyFromOutside({other});

    EXPECT_EQ(h.texts().size(), 1);
    EXPECT_EQ(h.item(secret).modifiedTime(), before);
    EXPECT_EQ(logged.containing({secret, md5(secret), QStringLiteral("hash")}), QStringList());
    const QStringList pipelineLines = logged.containing({QStringLiteral("concealed"), QStringLiteral("Type")});
    EXPECT_EQ(pipelineLines.size(), 2) << pipelineLines.join(QLatin1Char('\n')).toStdString();
    for (const QString &line : pipelineLines)
        EXPECT_TRUE(line.contains(QStringLiteral("concealed item"))) << line.toStdString();
}

TEST(LogPrivacy, RedactedTextsMatchWithinARunAndShowOnlyTheirLength)
{
    const QString text = QStringLiteral("correct horse battery staple");
    EXPECT_EQ(Log::redacted(text), Log::redacted(text));
    EXPECT_NE(Log::redacted(text), Log::redacted(text + QLatin1Char('!')));
    EXPECT_TRUE(Log::redacted(text).startsWith(QStringLiteral("[28 chars #")));
    EXPECT_FALSE(Log::redacted(text).contains(md5(text).left(8)));
    EXPECT_TRUE(Log::redacted(text.toUtf8()).startsWith(QStringLiteral("[28 bytes #")));
}
