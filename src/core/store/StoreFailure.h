#pragma once
// How a log line or a user-facing message names a failure of the store: SQLite's result code and
// its fixed text, or the kind of the exception, never its message (a message may quote a value).
// Any thread.

#include <QString>

#include <exception>

QString storeFailureKind(const std::exception &error);
