#include "platform/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcessEnvironment>
#include <QSet>
#include <QStandardPaths>

namespace {

QStringList applicationFolders()
{
    QStringList folders;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    folders.append(dataHome + QStringLiteral("/applications"));
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders.append(dir + QStringLiteral("/applications"));
    folders.removeDuplicates();
    return folders;
}

// Exec's first word that is not an environment assignment or "env".
QString programOf(const QString &exec)
{
    QStringList words;
    QString current;
    bool quoted = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar ch = exec[i];
        if (ch == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (ch == QLatin1Char('\\') && quoted && i + 1 < exec.size()) {
            current += exec[++i];
        } else if (ch.isSpace() && !quoted) {
            if (!current.isEmpty())
                words.append(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    if (!current.isEmpty())
        words.append(current);
    for (const QString &word : words) {
        if (word == QLatin1String("env") || (word.contains(QLatin1Char('=')) && !word.startsWith(QLatin1Char('/'))))
            continue;
        return word;
    }
    return {};
}

bool sameIgnoringCase(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString &path, const QString &id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || file.size() > 1024 * 1024)
        return std::nullopt;
    const QString locale = QLocale().name(); // "de_DE"
    const QString language = locale.section(QLatin1Char('_'), 0, 0);
    QHash<QString, QString> values;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!values.contains(key))
            values.insert(key, line.mid(equals + 1).trimmed());
    }
    if (values.value(QStringLiteral("Type")) != QLatin1String("Application"))
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    entry.name = values.value(QStringLiteral("Name[%1]").arg(locale));
    if (entry.name.isEmpty())
        entry.name = values.value(QStringLiteral("Name[%1]").arg(language));
    if (entry.name.isEmpty())
        entry.name = values.value(QStringLiteral("Name"));
    entry.icon = values.value(QStringLiteral("Icon"));
    entry.program = programOf(values.value(QStringLiteral("Exec")));
    entry.startupWMClass = values.value(QStringLiteral("StartupWMClass"));
    if (entry.name.isEmpty())
        entry.name = id;
    return entry;
}

DesktopEntries &DesktopEntries::shared()
{
    static DesktopEntries instance;
    return instance;
}

void DesktopEntries::refreshIfChanged()
{
    const QStringList folders = applicationFolders();
    QHash<QString, QDateTime> stamps;
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        if (info.isDir())
            stamps.insert(folder, info.lastModified());
    }
    if (m_built && stamps == m_folderStamps)
        return;
    m_folderStamps = stamps;
    m_built = true;
    m_entries.clear();
    QSet<QString> seen; // an id found first (in the user's folder) hides the same id later
    for (const QString &folder : folders) {
        if (!stamps.contains(folder))
            continue;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = QDir(folder).relativeFilePath(path);
            id.chop(int(qstrlen(".desktop")));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            seen.insert(id);
            if (std::optional<DesktopEntry> entry = DesktopEntry::read(path, id))
                m_entries.append(*entry);
        }
    }
}

std::optional<DesktopEntry> DesktopEntries::byId(const QString &id)
{
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    for (const DesktopEntry &entry : m_entries) {
        if (entry.id == id)
            return entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::byWindowClass(const QString &windowClass)
{
    if (windowClass.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    for (const DesktopEntry &entry : m_entries) {
        if (sameIgnoringCase(entry.startupWMClass, windowClass))
            return entry;
    }
    for (const DesktopEntry &entry : m_entries) {
        if (sameIgnoringCase(entry.id, windowClass))
            return entry;
    }
    for (const DesktopEntry &entry : m_entries) {
        if (sameIgnoringCase(entry.id.section(QLatin1Char('.'), -1), windowClass))
            return entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::byProgram(const QString &executablePath)
{
    const QString name = QFileInfo(executablePath).fileName();
    if (name.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    refreshIfChanged();
    for (const DesktopEntry &entry : m_entries) {
        if (!entry.program.isEmpty()
            && (entry.program == executablePath || QFileInfo(entry.program).fileName() == name))
            return entry;
    }
    return std::nullopt;
}
