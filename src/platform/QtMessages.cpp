#include "platform/QtMessages.h"

#include "platform/Log.h"

#include <QMutex>

#include <utility>

namespace {
// Never destroyed: Qt may report while the program exits.
struct DisplayLost {
    QMutex mutex;
    std::function<void()> handler;
};
DisplayLost &displayLost()
{
    static auto *state = new DisplayLost;
    return *state;
}

const char *kindOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "debug";
    case QtInfoMsg: return "info";
    case QtWarningMsg: return "warning";
    case QtCriticalMsg: return "critical";
    case QtFatalMsg: return "fatal";
    }
    return "message";
}

LogLevel levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return LogLevel::Debug;
    case QtInfoMsg: return LogLevel::Info;
    case QtWarningMsg: return LogLevel::Warning;
    case QtCriticalMsg:
    case QtFatalMsg: return LogLevel::Error;
    }
    return LogLevel::Warning;
}

// The text xcb prints just before it calls exit().
bool saysTheDisplayIsGone(QtMsgType type, const QString &message)
{
    return type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke"));
}

void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The context's file and line are not Qt's own source for every message: the web engine puts
    // a page's script address (a copied link) there. They stay out of the log.
    Log::write(levelOf(type), QtMessages::describe(type, context.category, message), "Qt", "", 0);
    if (type == QtFatalMsg) {
        Log::flush(); // Qt aborts next
        return;
    }
    if (saysTheDisplayIsGone(type, message)) {
        std::function<void()> handler;
        {
            QMutexLocker lock(&displayLost().mutex);
            handler = std::exchange(displayLost().handler, nullptr);
        }
        if (handler)
            handler();
        Log::flush();
    }
}
} // namespace

namespace QtMessages {

void install() { qInstallMessageHandler(handle); }

void setDisplayLostHandler(std::function<void()> handler)
{
    QMutexLocker lock(&displayLost().mutex);
    displayLost().handler = std::move(handler);
}

QString describe(QtMsgType type, const char *category, const QString &message)
{
    const QString name = category && *category ? QString::fromUtf8(category) : QStringLiteral("default");
    return QStringLiteral("Qt %1 (%2) %3").arg(QLatin1String(kindOf(type)), name, Log::redacted(message));
}

} // namespace QtMessages
