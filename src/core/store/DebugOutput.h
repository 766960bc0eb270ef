#pragma once
// The store's and the fetch manager's diagnostic lines: debug lines of the log (standard output
// is kept for what a user asked for). Any thread.

#include <QString>

namespace DebugOutput {
void print(const QString &line);
}
