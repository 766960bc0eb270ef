// The English string tables: every key has one text, spelled as the program spells it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>

namespace {

struct Entry {
    QString table;
    QString text;
};

QMultiMap<QString, Entry> readTables()
{
    QMultiMap<QString, Entry> entries;
    const QDir dir(QStringLiteral(TAVI_TESTS_DIR "/../resources/strings"));
    const QRegularExpression message(QStringLiteral("<message id=\"([^\"]+)\">\\s*<source>(.*?)</source>"),
                                     QRegularExpression::DotMatchesEverythingOption);
    for (const QString &name : dir.entryList({QStringLiteral("*_en.ts")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString content = QString::fromUtf8(file.readAll());
        for (auto it = message.globalMatch(content); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            entries.insert(match.captured(1), {name, match.captured(2)});
        }
    }
    return entries;
}

} // namespace

TEST(StringTables, EveryKeyHasOneTextAndUsUserVisibleSpelling)
{
    const QMultiMap<QString, Entry> entries = readTables();
    ASSERT_GT(entries.size(), 100);
    // A key in two tables shows whichever text was loaded last.
    for (const QString &key : entries.uniqueKeys()) {
        const QList<Entry> same = entries.values(key);
        QStringList tables;
        for (const Entry &entry : same)
            tables << entry.table;
        EXPECT_EQ(same.size(), 1) << key.toStdString() << " is in " << tables.join(QStringLiteral(", ")).toStdString();
        for (const Entry &entry : same)
            EXPECT_FALSE(entry.text.contains(QStringLiteral("colour"), Qt::CaseInsensitive)) << key.toStdString();
    }
}
