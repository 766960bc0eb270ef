#include "platform/DesktopEntries.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include <gtest/gtest.h>

namespace {
class DesktopEntriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_DIRS", QFile::encodeName(home.root() + QStringLiteral("/system")));
        write(QStringLiteral("system/applications/org.example.Editor.desktop"),
              "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nExec=env FOO=1 "
              "/usr/bin/example-editor --new %F\n"
              "Icon=accessories-text-editor\n\n[Desktop Action new]\nName=Other name\nExec=other\n");
        write(QStringLiteral("system/applications/kde/konsole.desktop"),
              "[Desktop Entry]\nType=Application\nName=Konsole\nExec=\"/opt/my apps/konsole\" "
              "-e\nStartupWMClass=KonsoleWindow\n");
        write(QStringLiteral("system/applications/link.desktop"),
              "[Desktop Entry]\nType=Link\nName=A link\nURL=https://example.org\n");
    }
    void TearDown() override
    {
        qunsetenv("XDG_DATA_DIRS");
        QLocale::setDefault(QLocale::c());
    }
    void write(const QString &relative, const QByteArray &body)
    {
        const QString path = home.root() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
    }
    ScopedXdgHome home; // XDG_DATA_HOME=<root>/data
};
} // namespace

TEST_F(DesktopEntriesTest, FindsApplicationsByIdWindowClassAndProgram)
{
    DesktopEntries entries;
    const auto editor = entries.byId(QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(editor.has_value());
    EXPECT_EQ(editor->name, QStringLiteral("Editor"));
    EXPECT_EQ(editor->program, QStringLiteral("/usr/bin/example-editor"));
    EXPECT_EQ(editor->icon, QStringLiteral("accessories-text-editor"));

    // Subfolders join the id; StartupWMClass wins; a quoted program keeps its blank.
    const auto konsole = entries.byWindowClass(QStringLiteral("konsolewindow"));
    ASSERT_TRUE(konsole.has_value());
    EXPECT_EQ(konsole->id, QStringLiteral("kde-konsole"));
    EXPECT_EQ(konsole->program, QStringLiteral("/opt/my apps/konsole"));
    EXPECT_EQ(entries.byProgram(QStringLiteral("/somewhere/else/konsole"))->id, QStringLiteral("kde-konsole"));

    // The id's last component stands for a window class too ("Editor" for org.example.Editor).
    EXPECT_EQ(entries.byWindowClass(QStringLiteral("editor"))->id, QStringLiteral("org.example.Editor"));
    EXPECT_FALSE(entries.byId(QStringLiteral("link")).has_value()) << "only applications";
    EXPECT_FALSE(entries.byWindowClass(QString()).has_value());
    EXPECT_FALSE(entries.byProgram(QString()).has_value());
}

TEST_F(DesktopEntriesTest, TheUsersOwnFileHidesTheSystemOneAndNewFilesAreFound)
{
    DesktopEntries entries;
    EXPECT_EQ(entries.byId(QStringLiteral("org.example.Editor"))->name, QStringLiteral("Editor"));
    // The file system's clock (coarser than the wall clock) moves on, so the folder's time stamp differs.
    const auto stamp = [&] {
        write(QStringLiteral("clock"), {});
        return QFileInfo(home.root() + QStringLiteral("/clock")).lastModified();
    };
    const QDateTime scanned = stamp();
    ASSERT_TRUE(waitUntil([&] { return stamp() > scanned; }));
    write(QStringLiteral("data/applications/org.example.Editor.desktop"),
          "[Desktop Entry]\nType=Application\nName=My Editor\nExec=my-editor\n");
    EXPECT_EQ(entries.byId(QStringLiteral("org.example.Editor"))->name, QStringLiteral("My Editor"));
}

TEST_F(DesktopEntriesTest, NamesFollowTheUsersLanguage)
{
    QLocale::setDefault(QLocale(QStringLiteral("de_AT")));
    const auto entry =
        DesktopEntry::read(home.root() + QStringLiteral("/system/applications/org.example.Editor.desktop"),
                           QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->name, QStringLiteral("Bearbeiter"));
}
