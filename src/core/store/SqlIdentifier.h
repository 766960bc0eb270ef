#pragma once
// SQL text for the names of tables, columns and triggers.

#include <QString>

// The name as a quoted SQL identifier. Names come from the entity descriptions and the program's
// own constants, never from input.
inline QString quoted(const QString &identifier) { return QLatin1Char('"') + identifier + QLatin1Char('"'); }
