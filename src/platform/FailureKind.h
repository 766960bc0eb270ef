#pragma once
// How a log line names an exception: by its kind (its demangled type, or "out of memory"), never
// by its message, which can quote the data it was about. Any thread.

#include <QString>

#include <exception>

QString exceptionKind(const std::exception &error);
