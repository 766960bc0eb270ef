#pragma once
// Plain diagnostic lines on standard output (the store's and the fetch manager's "printed"
// messages), apart from the log. Any thread.

#include <QString>

namespace DebugOutput {
void print(const QString &line);
}
