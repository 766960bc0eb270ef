#pragma once
// The installed applications as the XDG .desktop files describe them ($XDG_DATA_HOME and
// $XDG_DATA_DIRS, "applications" folders). The index is built on first use and again when one
// of the folders changes. Any thread.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

struct DesktopEntry {
    QString id; // file name without ".desktop", subfolders joined by '-'
    QString path;
    QString name; // localized when the file has the user's language
    QString icon;
    QString program; // the executable named by Exec, without arguments
    QString startupWMClass;

    // Reads one [Desktop Entry] of type Application; none for other files.
    static std::optional<DesktopEntry> read(const QString &path, const QString &id);
};

class DesktopEntries {
public:
    static DesktopEntries &shared();

    std::optional<DesktopEntry> byId(const QString &id);
    // By StartupWMClass, then by id or the id's last component, ignoring case.
    std::optional<DesktopEntry> byWindowClass(const QString &windowClass);
    // By the file name of the executable.
    std::optional<DesktopEntry> byProgram(const QString &executablePath);

private:
    void refreshIfChanged();

    std::mutex m_mutex;
    QHash<QString, QDateTime> m_folderStamps;
    QList<DesktopEntry> m_entries;
    bool m_built = false;
};
