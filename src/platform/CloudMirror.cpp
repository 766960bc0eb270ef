#include "platform/CloudMirror.h"

namespace {
// Placeholder engine: runs, but has nothing to replicate with yet.
class IdleCloudMirror : public CloudMirror {
public:
    void start() override { m_running = true; }
    void stop() override { m_running = false; }
    bool isRunning() const override { return m_running; }
    void setRemoteChangeHandler(CloudRemoteChangeHandler) override {}

private:
    bool m_running = false;
};

std::mutex g_factoryMutex;
CloudMirror::Factory &factoryInstance()
{
    static CloudMirror::Factory factory;
    return factory;
}
} // namespace

QString CloudError::codeName() const
{
    switch (static_cast<CloudErrorCode>(code)) {
    case CloudErrorCode::InternalError: return QStringLiteral("internalError");
    case CloudErrorCode::PartialFailure: return QStringLiteral("partialFailure");
    case CloudErrorCode::NetworkUnavailable: return QStringLiteral("networkUnavailable");
    case CloudErrorCode::NetworkFailure: return QStringLiteral("networkFailure");
    case CloudErrorCode::NotAuthenticated: return QStringLiteral("notAuthenticated");
    case CloudErrorCode::RequestRateLimited: return QStringLiteral("requestRateLimited");
    case CloudErrorCode::QuotaExceeded: return QStringLiteral("quotaExceeded");
    }
    return QStringLiteral("code ") + QString::number(code);
}

QString CloudError::description() const
{
    return QStringLiteral("CloudError(%1, %2: %3)")
        .arg(domain == Domain::Cloud ? QStringLiteral("cloud") : QStringLiteral("store"))
        .arg(code)
        .arg(localizedDescription);
}

QString CloudMirrorEvent::description() const
{
    static const char *names[] = {"setup", "import", "export"};
    return QStringLiteral("<CloudMirrorEvent %1 type: %2 started: %3 ended: %4 succeeded: %5 error: %6>")
        .arg(identifier.toString(QUuid::WithoutBraces), QLatin1String(names[int(type)]),
             startDate.toString(Qt::ISODateWithMs),
             endDate ? endDate->toString(Qt::ISODateWithMs) : QStringLiteral("(running)"),
             succeeded ? QStringLiteral("YES") : QStringLiteral("NO"),
             error ? error->description() : QStringLiteral("(none)"));
}

CloudMirror::Factory CloudMirror::factory()
{
    std::lock_guard lock(g_factoryMutex);
    if (factoryInstance())
        return factoryInstance();
    return [](const CloudMirrorOptions &) { return std::make_unique<IdleCloudMirror>(); };
}

void CloudMirror::setFactory(Factory factory)
{
    std::lock_guard lock(g_factoryMutex);
    factoryInstance() = std::move(factory);
}

CloudMirrorEvents &CloudMirrorEvents::shared()
{
    // Never destroyed: a stack that lives in a static may unsubscribe during exit.
    static CloudMirrorEvents *events = new CloudMirrorEvents;
    return *events;
}

CloudMirrorEvents::Token CloudMirrorEvents::subscribe(Handler handler)
{
    std::lock_guard lock(m_mutex);
    const Token token = m_next++;
    m_handlers.emplace_back(token, std::make_shared<Handler>(std::move(handler)));
    return token;
}

void CloudMirrorEvents::unsubscribe(Token token)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_handlers, [token](const auto &entry) { return entry.first == token; });
}

int CloudMirrorEvents::subscriberCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_handlers.size());
}

void CloudMirrorEvents::post(const CloudMirrorEvent &event, const QVariantMap &userInfo)
{
    std::vector<std::shared_ptr<Handler>> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_handlers)
            handlers.push_back(entry.second);
    }
    for (const auto &handler : handlers)
        (*handler)(event, userInfo);
}
