#pragma once
// Version strings of the maker's service and of this program ("1.10.2"). Any thread.

#include <QString>

namespace VersionString {
// Whether the text is a version: one to four dot-separated runs of at most nine digits.
bool isValid(const QString &text);
// Compares two versions run of digits by run of digits as numbers (1.9 < 1.10, 1.0 == 1.0.0);
// negative, zero or positive. Other characters compare as text.
int compare(const QString &left, const QString &right);
} // namespace VersionString
