#include "capture/HistoryAnnouncements.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

void postOnMain(const QString &name, const QVariantMap &userInfo)
{
    MainQueue::asyncUnlessCurrent(
        [name, userInfo] { NotificationCenter::defaultCenter().post(name, nullptr, userInfo); });
}

void UnreadableSettingNotice::tell(const QString &key, const char *consequence)
{
    if (!m_told.isFirst(key))
        return;
    LOG_WARNING("tellUnreadableSetting(_:)",
                QStringLiteral("[-] the stored \"%1\" cannot be read or is out of range; %2")
                    .arg(key, QString::fromLatin1(consequence)));
    m_problems.tell(L("Settings.Problem.title"),
                    L(consequence).arg(Strings::text(QStringLiteral("Settings.Name.") + key)));
}
