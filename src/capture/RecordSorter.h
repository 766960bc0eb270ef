#pragma once
// The orders of the main history list and their record sort keys.

#include <QString>

#include <optional>

enum class RecordSorter { defaultOrder = 0, createAt = 1, title = 2, sourceApp = 3 };

// Nothing for a raw value outside 0 to 3.
inline std::optional<RecordSorter> recordSorter(int raw)
{
    if (raw < 0 || raw > 3)
        return std::nullopt;
    return static_cast<RecordSorter>(raw);
}

inline QString sortKey(RecordSorter sorter)
{
    switch (sorter) {
    case RecordSorter::createAt: return QStringLiteral("createdAt");
    case RecordSorter::title: return QStringLiteral("text");
    case RecordSorter::sourceApp: return QStringLiteral("appName");
    case RecordSorter::defaultOrder: break;
    }
    return QStringLiteral("modifiedAt");
}
