#pragma once
// User-visible texts, looked up by key in the compiled string tables. A key without text shows
// the key itself.

#include <QString>

namespace Strings {
// Loads every string table embedded under :/strings into the application. GUI thread, once.
void install();
QString text(const char *key);
QString text(const QString &key);
} // namespace Strings

// Short form used throughout the interface code.
inline QString L(const char *key) { return Strings::text(key); }
