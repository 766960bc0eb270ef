#include "platform/AutoCache.h"
#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

namespace {
enum class Edge { Left = 0, Right = 1 };

QString settingsFile() { return Defaults::standard().filePath(); }
} // namespace

TEST(Defaults, ValuesKeepTheirTypeAcrossARestart)
{
    ScopedXdgHome home;
    AutoCache<bool> flag(QStringLiteral("flag"), true);
    AutoCache<QStringList> list(QStringLiteral("list"), {QStringLiteral("seed")});
    AutoCache<int> count(QStringLiteral("count"), 7);
    AutoCache<double> size(QStringLiteral("size"), 1.5);
    AutoCache<Edge> edge(QStringLiteral("edge"), Edge::Left);
    AutoCache<QByteArray> blob(QStringLiteral("blob"), {});
    flag = false;
    list = QStringList();
    count = -3;
    size = 2.25;
    edge = Edge::Right;
    blob = QByteArray("\0\x01\xff", 3);

    Defaults::resetStandard(settingsFile()); // a new process reading the same file

    EXPECT_FALSE(flag.get());
    EXPECT_TRUE(flag.hasStoredValue());
    EXPECT_TRUE(list.get().isEmpty());
    EXPECT_EQ(count.get(), -3);
    EXPECT_DOUBLE_EQ(size.get(), 2.25);
    EXPECT_EQ(edge.get(), Edge::Right);
    EXPECT_EQ(blob.get(), QByteArray("\0\x01\xff", 3));
}

TEST(Defaults, AValueOfAnotherTypeReadsAsTheInitialValue)
{
    ScopedXdgHome home;
    Defaults::standard().setValue(QStringLiteral("enabled"), QStringLiteral("yes"));
    Defaults::standard().setValue(QStringLiteral("small"), qint64(1) << 40);
    AutoCache<bool> enabled(QStringLiteral("enabled"), true);
    AutoCache<int> small(QStringLiteral("small"), 4);
    EXPECT_TRUE(enabled.get());
    EXPECT_EQ(small.get(), 4); // out of int's range
}

TEST(Defaults, ACorruptFileIsKeptAsideAndDefaultsApply)
{
    ScopedXdgHome home;
    const QString path = settingsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ this is not json");
    file.close();

    Defaults::resetStandard(path);
    AutoCache<int> count(QStringLiteral("count"), 9);
    EXPECT_EQ(count.get(), 9);

    const QStringList aside =
        QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("defaults.json.corrupt-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{ this is not json"));

    count = 10; // the store works again and writes a fresh file
    Defaults::resetStandard(path);
    EXPECT_EQ(count.get(), 10);
}

TEST(Defaults, NestedMapsAndListsRoundTrip)
{
    ScopedXdgHome home;
    const QVariantMap bookmarks{{QStringLiteral("/home/u/a"), QByteArray("x")},
                                {QStringLiteral("/home/u/b"), QVariantList{true, qint64(2), QStringLiteral("s")}}};
    Defaults::standard().setValue(QStringLiteral("kTPBookMarks"), bookmarks);
    Defaults::resetStandard(settingsFile());
    EXPECT_EQ(Defaults::standard().value(QStringLiteral("kTPBookMarks")).toMap(), bookmarks);
}

namespace {
void writeSettingsFile(const QByteArray &content)
{
    const QString path = settingsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QStringList keptAside()
{
    return QDir(QFileInfo(settingsFile()).absolutePath())
        .entryList({QStringLiteral("defaults.json.corrupt-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
}
} // namespace

TEST(Defaults, OneUnreadableValueLeavesTheOthers)
{
    ScopedXdgHome home;
    writeSettingsFile(R"({"values": {"count": {"t": "int", "v": "12"}, "flag": {"t": "bool", "v": "yes"},
                                     "name": {"t": "string", "v": "x"}}})");
    Defaults::resetStandard(settingsFile());
    EXPECT_EQ(AutoCache<int>(QStringLiteral("count"), 0).get(), 12);
    EXPECT_TRUE(AutoCache<bool>(QStringLiteral("flag"), true).get());
    EXPECT_EQ(AutoCache<QString>(QStringLiteral("name"), {}).get(), QStringLiteral("x"));
    EXPECT_TRUE(keptAside().isEmpty());
}

TEST(Defaults, AFileOfAnotherShapeIsKeptAsideNotOverwritten)
{
    ScopedXdgHome home;
    for (const QByteArray &content : {QByteArray("[1, 2]"), QByteArray(R"({"values": [true]})"),
                                      QByteArray(R"({"something": "else"})"), QByteArray()}) {
        writeSettingsFile(content);
        Defaults::resetStandard(settingsFile());
        AutoCache<int> count(QStringLiteral("count"), 3);
        EXPECT_EQ(count.get(), 3);
        count = 4;
        Defaults::standard().flush(); // before the next file is put in its place
    }
    EXPECT_EQ(keptAside().size(), 4);
}

TEST(Defaults, AnUnopenableFileIsKeptAsideAndANewOneWritten)
{
    ScopedXdgHome home;
    ASSERT_TRUE(QDir().mkpath(settingsFile())); // a folder where the file should be
    Defaults::resetStandard(settingsFile());
    AutoCache<bool> flag(QStringLiteral("flag"), false);
    EXPECT_FALSE(flag.get());
    flag = true;
    Defaults::resetStandard(settingsFile());
    EXPECT_TRUE(flag.get());
    EXPECT_EQ(keptAside().size(), 1);
}

TEST(Defaults, NumbersOfAnotherTypeAreReadWhenTheyConvertExactly)
{
    ScopedXdgHome home;
    Defaults &store = Defaults::standard();
    store.setValues({{QStringLiteral("fromDouble"), 500.0},
                     {QStringLiteral("fromText"), QStringLiteral(" 500 ")},
                     {QStringLiteral("fromDecimalText"), QStringLiteral("7.0")},
                     {QStringLiteral("fraction"), 500.5},
                     {QStringLiteral("words"), QStringLiteral("five hundred")},
                     {QStringLiteral("huge"), 1e30},
                     {QStringLiteral("doubleFromText"), QStringLiteral("2.5")},
                     {QStringLiteral("doubleFromInt"), qint64(3)},
                     {QStringLiteral("edgeFromDouble"), 1.0}});
    const auto readInt = [](const char *key) { return AutoCache<int>(QString::fromLatin1(key), -1); };
    EXPECT_EQ(readInt("fromDouble").get(), 500);
    EXPECT_EQ(readInt("fromText").get(), 500);
    EXPECT_EQ(readInt("fromDecimalText").get(), 7);
    EXPECT_FALSE(readInt("fromDouble").hasUnreadableValue());
    for (const char *key : {"fraction", "words", "huge"}) {
        EXPECT_EQ(readInt(key).get(), -1) << key;
        EXPECT_TRUE(readInt(key).hasUnreadableValue()) << key;
    }
    EXPECT_DOUBLE_EQ(AutoCache<double>(QStringLiteral("doubleFromText"), 0).get(), 2.5);
    EXPECT_DOUBLE_EQ(AutoCache<double>(QStringLiteral("doubleFromInt"), 0).get(), 3.0);
    EXPECT_EQ(AutoCache<Edge>(QStringLiteral("edgeFromDouble"), Edge::Left).get(), Edge::Right);
    // Absent is not unreadable.
    EXPECT_FALSE(readInt("absent").hasUnreadableValue());
    // The stored value itself is left as it was.
    EXPECT_EQ(store.value(QStringLiteral("fromText")).toString(), QStringLiteral(" 500 "));
}

TEST(Defaults, AnUnreadableEntryStaysInTheFileUntilANewValueReplacesIt)
{
    ScopedXdgHome home;
    writeSettingsFile(R"({"values": {"count": {"t": "int", "v": "12x"}, "flag": {"t": "bool", "v": true}}})");
    Defaults::resetStandard(settingsFile());
    AutoCache<int> count(QStringLiteral("count"), 1);
    EXPECT_EQ(count.get(), 1);
    EXPECT_TRUE(count.hasUnreadableValue());

    AutoCache<bool>(QStringLiteral("flag"), false).set(false); // any write saves the whole file
    Defaults::resetStandard(settingsFile());
    EXPECT_TRUE(count.hasUnreadableValue());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("12x"));
    file.close();

    count = 4;
    Defaults::resetStandard(settingsFile());
    EXPECT_EQ(count.get(), 4);
    EXPECT_FALSE(count.hasUnreadableValue());
}

TEST(Defaults, TheFileKeptAsideIsRecordedForTheUser)
{
    ScopedXdgHome home;
    writeSettingsFile(R"({"values": {"count": {"t": "int", "v": "3"}}})");
    Defaults::resetStandard(settingsFile());
    EXPECT_TRUE(Defaults::standard().keptAsidePath().isEmpty());
    writeSettingsFile("{ broken");
    Defaults::resetStandard(settingsFile());
    ASSERT_EQ(keptAside().size(), 1);
    EXPECT_TRUE(Defaults::standard().keptAsidePath().endsWith(keptAside().first()));
}

namespace {
// Holds every write of the settings file until released, as a slow disk would.
class SlowDisk {
public:
    SlowDisk()
    {
        Defaults::setWriteHookForTesting([this] {
            std::unique_lock lock(m_mutex);
            ++m_writing;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        });
    }
    ~SlowDisk()
    {
        release();
        Defaults::standard().flush(); // no write runs the hook after this
        Defaults::setWriteHookForTesting(nullptr);
    }
    // Waits until a write is held.
    bool waitForWrite()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_writing > 0; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_writing = 0;
    bool m_released = false;
};

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST(DefaultsWrites, NeitherAReadNorAGuiThreadChangeWaitsForAWriteInProgress)
{
    ScopedXdgHome home;
    Defaults &defaults = Defaults::standard();
    SlowDisk disk;
    // Off the GUI thread a change is on disk when the call returns: this one is held there.
    auto writer = std::async(std::launch::async, [&] { defaults.setValue(QStringLiteral("first"), 1); });
    ASSERT_TRUE(disk.waitForWrite());

    auto reader = std::async(std::launch::async, [&] { return defaults.value(QStringLiteral("first")); });
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(reader.get().toLongLong(), 1);
    defaults.setValue(QStringLiteral("second"), 2); // the test's thread is the GUI thread
    EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    disk.release();
    writer.get();
    ASSERT_TRUE(defaults.flush());
    Defaults reread(defaults.filePath());
    EXPECT_EQ(reread.value(QStringLiteral("first")).toLongLong(), 1);
    EXPECT_EQ(reread.value(QStringLiteral("second")).toLongLong(), 2);
}

TEST(DefaultsWrites, AChangeOnTheGuiThreadReturnsBeforeTheDiskAndReachesTheFile)
{
    ScopedXdgHome home;
    Defaults &defaults = Defaults::standard();
    {
        SlowDisk disk;
        defaults.setValue(QStringLiteral("quickPasteEnable"), true); // returns with the write held
        ASSERT_TRUE(disk.waitForWrite());
        EXPECT_TRUE(defaults.value(QStringLiteral("quickPasteEnable")).toBool());
        defaults.setValue(QStringLiteral("copyTotalTimes"), 41);
        defaults.setValue(QStringLiteral("copyTotalTimes"), 42);
    }
    EXPECT_TRUE(defaults.flush());
    Defaults reread(defaults.filePath());
    EXPECT_TRUE(reread.value(QStringLiteral("quickPasteEnable")).toBool());
    EXPECT_EQ(reread.value(QStringLiteral("copyTotalTimes")).toLongLong(), 42);
}

TEST(DefaultsWrites, ChangesFromManyThreadsAllReachTheFile)
{
    ScopedXdgHome home;
    Defaults &defaults = Defaults::standard();
    std::vector<std::future<void>> writers;
    for (int thread = 0; thread < 4; ++thread) {
        writers.push_back(std::async(std::launch::async, [&, thread] {
            for (int i = 0; i < 25; ++i)
                defaults.setValue(QStringLiteral("key%1").arg(thread), i);
        }));
    }
    for (int i = 0; i < 25; ++i)
        defaults.setValue(QStringLiteral("gui"), i); // the GUI thread's go through the writer
    for (auto &writer : writers)
        writer.get();
    defaults.remove(QStringLiteral("key1"));
    ASSERT_TRUE(defaults.flush());
    Defaults reread(defaults.filePath());
    EXPECT_EQ(reread.value(QStringLiteral("gui")).toLongLong(), 24);
    EXPECT_FALSE(reread.contains(QStringLiteral("key1")));
    EXPECT_EQ(reread.value(QStringLiteral("key2")).toLongLong(), 24);
    EXPECT_EQ(reread.value(QStringLiteral("key3")).toLongLong(), 24);
    EXPECT_FALSE(fileContents(defaults.filePath()).isEmpty());
}
