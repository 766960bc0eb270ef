#include "core/store/DebugOutput.h"

#include "platform/Log.h"

namespace DebugOutput {
void print(const QString &line) { LOG_DEBUG("DebugOutput::print()", line); }
} // namespace DebugOutput
