#include "core/DateExtensions.h"

#include <mutex>
#include <optional>

namespace {
std::mutex g_dateSourceMutex;
CurrentDateSource g_dateSource;

QDate currentDate()
{
    std::lock_guard lock(g_dateSourceMutex);
    return g_dateSource ? g_dateSource() : QDate::currentDate();
}

// The locale's short date pattern without its year, with two-digit month and day ("M/d/yy" gives
// "MM/dd", "dd.MM.yy" gives "dd.MM").
QString monthDayPattern(const QLocale &locale)
{
    struct Token {
        QString text;
        bool isField;
    };
    QList<Token> tokens;
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        qsizetype j = i + 1;
        if (c == QLatin1Char('\'')) { // quoted literal
            while (j < pattern.size() && pattern.at(j) != QLatin1Char('\''))
                ++j;
            tokens.append({pattern.mid(i + 1, j - i - 1), false});
            i = j + 1;
            continue;
        }
        if (c.isLetter()) {
            while (j < pattern.size() && pattern.at(j) == c)
                ++j;
            tokens.append({QString(c), true});
        } else {
            while (j < pattern.size() && !pattern.at(j).isLetter() && pattern.at(j) != QLatin1Char('\''))
                ++j;
            tokens.append({pattern.mid(i, j - i), false});
        }
        i = j;
    }
    // Keep the month and day fields and the separator between them.
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i].isField && (tokens[i].text == QLatin1String("M") || tokens[i].text == QLatin1String("d"))) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return QStringLiteral("MM-dd");
    QString result;
    for (qsizetype i = first; i <= last; ++i) {
        const Token &token = tokens[i];
        if (!token.isField)
            result += QLatin1Char('\'') + token.text + QLatin1Char('\'');
        else if (token.text == QLatin1String("M"))
            result += QLatin1String("MM");
        else if (token.text == QLatin1String("d"))
            result += QLatin1String("dd");
        // a year between month and day (rare) is dropped
    }
    return result;
}
} // namespace

QString displayLabel(const QDateTime &date, const QLocale &locale, const QDate &today)
{
    const QDateTime local = date.toLocalTime();
    const QString time = QStringLiteral("HH:mm");
    if (local.date() == today)
        return locale.toString(local, time);
    return locale.toString(local, monthDayPattern(locale) + QLatin1Char(' ') + time);
}

QString displayLabel(const QDateTime &date)
{
    // The locale of the first UI language, looked up again only when the default locale changes:
    // the system's languages are read from the environment under a lock that other threads take
    // too, which a list painting its rows must not wait for.
    thread_local std::optional<QLocale> lookedUpFor;
    thread_local QLocale locale;
    const QLocale current;
    if (!lookedUpFor || *lookedUpFor != current) {
        const QStringList languages = current.uiLanguages();
        locale = languages.isEmpty() ? current : QLocale(languages.first());
        lookedUpFor = current;
    }
    return displayLabel(date, locale, currentDate());
}

void setCurrentDateSource(CurrentDateSource source)
{
    std::lock_guard lock(g_dateSourceMutex);
    g_dateSource = std::move(source);
}
