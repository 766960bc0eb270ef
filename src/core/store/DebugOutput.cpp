#include "core/store/DebugOutput.h"

#include <cstdio>
#include <mutex>

namespace DebugOutput {
void print(const QString &line)
{
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(mutex);
    std::fprintf(stdout, "%s\n", bytes.constData());
    std::fflush(stdout);
}
} // namespace DebugOutput
