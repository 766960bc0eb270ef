#pragma once
// UUIDs as the history writes them: upper-case, hyphenated, no braces.

#include <QString>
#include <QUuid>

inline QString uuidString(const QUuid &uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

inline QString newUuidString() { return uuidString(QUuid::createUuid()); }
