#include "platform/Workspace.h"

#include "platform/memory/FakeWorkspace.h"

#include <mutex>

QString RunningApplication::description() const { return bundleIdentifier + QStringLiteral(": ") + localizedName; }

namespace {
std::mutex g_sharedMutex;
std::unique_ptr<Workspace> g_shared;
} // namespace

Workspace &Workspace::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = std::make_unique<FakeWorkspace>();
    return *g_shared;
}

void Workspace::setShared(std::unique_ptr<Workspace> workspace)
{
    std::lock_guard lock(g_sharedMutex);
    g_shared = std::move(workspace);
}
