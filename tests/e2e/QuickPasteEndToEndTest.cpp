// TaviPaste as a user meets it: the real program on the test display, another program's copies,
// the hot key, the panel, Return and a digit key pasting into a third program's text field.

#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

bool hasProgram(const char *name)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return false;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    // xclip stays behind as the clipboard's owner: its exit is not waited for beyond a moment.
    const bool finished = waitUntil([&] { return process.state() == QProcess::NotRunning; }, 5000);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (process.exitCode() != 0)
        std::fprintf(stderr, "%s %s: %s\n", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                     process.readAllStandardError().constData());
    return process.exitCode() == 0;
}

// Another program owns the clipboard with the text until it is stopped (or loses it).
std::unique_ptr<QProcess> copyWithXclip(const QByteArray &text)
{
    auto xclip = std::make_unique<QProcess>();
    xclip->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                           QStringLiteral("-i")});
    xclip->waitForStarted(5000);
    xclip->write(text);
    xclip->closeWriteChannel();
    return xclip;
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(2000))
        process.kill();
    process.waitForFinished(1000);
}

bool xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

// What xdotool prints; empty when it fails.
QByteArray xdotoolOutput(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForStarted(5000) || !waitUntil([&] { return process.state() == QProcess::NotRunning; }, 5000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

bool isFeedbackPanelShown()
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral("TaviPaste Feedback")});
}

// The height of the quick-paste panel while it is mapped; none while it is not.
std::optional<int> panelHeight()
{
    const QByteArray found = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                            QStringLiteral("^TaviPaste$")});
    const QList<QByteArray> windows = found.trimmed().split('\n');
    if (found.trimmed().isEmpty() || windows.size() != 1)
        return std::nullopt;
    const QByteArray geometry = xdotoolOutput({QStringLiteral("getwindowgeometry"), QString::fromLatin1(windows.first())});
    const qsizetype at = geometry.indexOf("Geometry: ");
    if (at < 0)
        return std::nullopt;
    const QList<QByteArray> size = geometry.mid(at + 10).trimmed().split('\n').first().split('x');
    bool ok = false;
    const int height = size.size() == 2 ? size[1].toInt(&ok) : 0;
    return ok ? std::optional<int>(height) : std::nullopt;
}

// The number of items in the history the program saved.
qint64 storedItems(const QString &dataHome)
{
    const QString path = dataHome + QStringLiteral("/TaviPaste/PBHistory.sqlite");
    if (!QFile::exists(path))
        return 0;
    try {
        SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY);
        database.setBusyTimeout(1000);
        SQLite::Statement count(database, "SELECT count(*) FROM PBItemRecord");
        return count.executeStep() ? count.getColumn(0).getInt64() : 0;
    } catch (const std::exception &) {
        return 0; // not created yet
    }
}

class Child {
public:
    Child(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(program, arguments);
        m_process.waitForStarted(5000);
    }
    ~Child()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    // The last line of standard output that starts with the prefix, once one arrives.
    std::optional<QByteArray> waitForLine(const QByteArray &prefix, int timeoutMs = 5000)
    {
        std::optional<QByteArray> found;
        waitUntil([&] {
            m_buffer += m_process.readAllStandardOutput();
            for (const QByteArray &line : completeLines()) {
                if (line.startsWith(prefix))
                    found = line.mid(prefix.size());
            }
            return found.has_value();
        }, timeoutMs);
        return found;
    }
    // Waits until the latest line with the prefix equals the value.
    bool waitForValue(const QByteArray &prefix, const QByteArray &value, int timeoutMs = 5000)
    {
        return waitUntil([&] {
            m_buffer += m_process.readAllStandardOutput();
            QByteArray last;
            for (const QByteArray &line : completeLines()) {
                if (line.startsWith(prefix))
                    last = line.mid(prefix.size());
            }
            return last == value;
        }, timeoutMs);
    }
    QProcess &process() { return m_process; }
    QByteArray lastValue(const QByteArray &prefix)
    {
        m_buffer += m_process.readAllStandardOutput();
        QByteArray last;
        for (const QByteArray &line : completeLines()) {
            if (line.startsWith(prefix))
                last = line.mid(prefix.size());
        }
        return last;
    }

private:
    // Output arrives in pieces: only lines that have ended count.
    QList<QByteArray> completeLines() const
    {
        QList<QByteArray> lines = m_buffer.split('\n');
        lines.removeLast();
        return lines;
    }

    QProcess m_process;
    QByteArray m_buffer;
};

bool logContains(const QString &stateHome, const QByteArray &text)
{
    QDirIterator files(stateHome, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
            return true;
    }
    return false;
}

void printLogs(const QString &stateHome)
{
    QDirIterator files(stateHome, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "--- %s\n%s\n", qPrintable(file.fileName()), file.readAll().constData());
    }
}

} // namespace

TEST(EndToEnd, TheHotKeyAndADigitKeyPasteIntoTheFocusedField)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool") || !hasProgram("xclip"))
        GTEST_SKIP() << "needs an X display with xdotool and xclip";

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
        const QString path = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        environment.insert(QString::fromLatin1(name), path);
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TAVI_MUTE_SOUNDS"), QStringLiteral("1"));
    {
        const QString configDir = home.filePath(QStringLiteral("XDG_CONFIG_HOME/TaviPaste"));
        QDir().mkpath(configDir);
        Defaults defaults(configDir + QStringLiteral("/defaults.json"));
        defaults.setValue(QStringLiteral("quickPasteEnable"), true);
    }

    QProcessEnvironment peerEnvironment = QProcessEnvironment::systemEnvironment();
    peerEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    Child field(QStringLiteral(TAVI_X11_PEER), {QStringLiteral("field")}, peerEnvironment);
    const std::optional<QByteArray> fieldWindow = field.waitForLine("READY:");
    ASSERT_TRUE(fieldWindow) << "the text field did not start";

    auto tavi = std::make_unique<Child>(QStringLiteral(TAVI_EXECUTABLE), QStringList(), environment);
    const QString stateHome = environment.value(QStringLiteral("XDG_STATE_HOME"));
    ASSERT_TRUE(waitUntil([&] { return logContains(stateHome, "TaviPaste is running"); }, 15000)) << "TaviPaste did not start";

    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    auto first = copyWithXclip("first text");
    ASSERT_TRUE(waitUntil([&] { return storedItems(dataHome) == 1; }, 10000)) << "the first copy was not stored";
    auto second = copyWithXclip("second text");
    ASSERT_TRUE(waitUntil([&] { return storedItems(dataHome) == 2; }, 10000)) << "the second copy was not stored";
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow->trimmed())}));

    // The panel: typing filters, Return pastes the one row left into the field. Its list is shown
    // (and its search field has the focus) once it has grown to the two rows.
    constexpr int kRowHeight = 60;
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    std::optional<int> twoRows;
    ASSERT_TRUE(waitUntil([&] { return (twoRows = panelHeight()) && *twoRows >= 2 * kRowHeight + 40; }, 10000))
        << "the panel did not show its rows";
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("first")}));
    ASSERT_TRUE(waitUntil([&] { return panelHeight() == *twoRows - kRowHeight; }, 10000)) << "the search did not filter";
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
