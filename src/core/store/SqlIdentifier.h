#pragma once
// SQL text for the names of tables, columns and triggers.

#include <QString>
#include <QStringList>

// The name as a quoted SQL identifier. Names come from the entity descriptions and the program's
// own constants, never from input.
inline QString quoted(const QString &identifier) { return QLatin1Char('"') + identifier + QLatin1Char('"'); }

// Each of the names quoted.
inline QStringList quoted(const QStringList &identifiers)
{
    QStringList result;
    for (const QString &identifier : identifiers)
        result << quoted(identifier);
    return result;
}
