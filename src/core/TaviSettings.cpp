#include "core/TaviSettings.h"

#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"
#include "platform/Shortcut.h"

#include <QLocale>

#include <cmath>

namespace {
const QString kActiveCategoryID = QStringLiteral("activeCategoryID");
const QString kEnableCloudSync = QStringLiteral("enableCloudSync");
const QString kStatusItemPositionPrefix = QStringLiteral("NSStatusItem Preferred Position Item-");
const QString kFallbackOCRLanguage = QStringLiteral("en-US");

// The user's first preferred language as language-territory ("fr-FR"); Qt lists a form with the
// script ("fr-Latn-FR") first, which no table here uses.
QString firstPreferredLanguage()
{
    const QStringList languages = QLocale().uiLanguages();
    if (languages.isEmpty())
        return {};
    return QLocale(languages.first()).name().replace(QLatin1Char('_'), QLatin1Char('-'));
}
} // namespace

QString symbol(PBHistoryQuickSelectionKey key) { return Shortcut::modifierText(modifierFlags(key)); }

quint32 modifierFlags(PBHistoryQuickSelectionKey key)
{
    switch (key) {
    case PBHistoryQuickSelectionKey::command: return 0x100000;
    case PBHistoryQuickSelectionKey::option: return 0x80000;
    case PBHistoryQuickSelectionKey::control: return 0x40000;
    }
    return 0;
}

TaviSettings &TaviSettings::shared()
{
    static TaviSettings *const instance = new TaviSettings; // kept for the life of the process
    return *instance;
}

void TaviSettings::setMenuHistoryCapacity(int capacity)
{
    m_menuHistoryCapacity.set(capacity);
    Analytics::trackEvent(QStringLiteral("Settings_HistoryCapacity"),
                          {{QStringLiteral("number"), QString::number(capacity)}});
}

void TaviSettings::setHistoryKeepLastCount(int count)
{
    m_historyKeepLastCount.set(count);
    const QString unit = clearType() == PBHistoryClearType::items ? QStringLiteral("Items") : QStringLiteral("Days");
    Analytics::trackEvent(QStringLiteral("Settings_KeepLastHistory"),
                          {{QStringLiteral("count"), QString::number(count)}, {QStringLiteral("Unit"), unit}});
}

std::optional<QString> TaviSettings::unreadableAutoCleanSetting() const
{
    for (const AutoCache<int> *setting : {&m_clearType, &m_historyKeepLastCount}) {
        if (setting->hasUnreadableValue())
            return setting->key();
    }
    return std::nullopt;
}

std::optional<QString> TaviSettings::unreadableSizeLimitSetting() const
{
    if (m_ignoreDataSize.hasUnreadableValue())
        return m_ignoreDataSize.key();
    if (m_ignoreDataSizeType.hasUnreadableValue())
        return m_ignoreDataSizeType.key();
    return std::nullopt;
}

const QStringList &TaviSettings::passwordManagerIds()
{
    static const QStringList ids{QStringLiteral("org.keepassxc.KeePassXC"),
                                 QStringLiteral("org.gnome.seahorse.Application"),
                                 QStringLiteral("org.kde.kwalletmanager5"),
                                 QStringLiteral("org.kde.kwalletmanager"),
                                 QStringLiteral("org.gnome.World.Secrets"),
                                 QStringLiteral("keepass2"),
                                 QStringLiteral("org.kde.kleopatra"),
                                 QStringLiteral("bitwarden"),
                                 QStringLiteral("1password")};
    return ids;
}

QStringList TaviSettings::blackList() const
{
    const QStringList stored = m_blackList.get();
    QStringList result;
    for (const QString &id : stored) {
        if (id != kKeychainAccessId) {
            result.append(id);
            continue;
        }
        for (const QString &manager : passwordManagerIds()) {
            if (!result.contains(manager) && !stored.contains(manager))
                result.append(manager);
        }
    }
    return result;
}

QString TaviSettings::activeCategoryID() const
{
    const QVariant value = CloudKeyValueStore::shared().value(kActiveCategoryID);
    return value.metaType().id() == QMetaType::QString ? value.toString() : QString();
}

void TaviSettings::setActiveCategoryID(const QString &categoryID)
{
    CloudKeyValueStore &store = CloudKeyValueStore::shared();
    store.setValue(kActiveCategoryID, categoryID);
    store.synchronize();
}

bool TaviSettings::enableCloudSync() const
{
    const QVariant value = CloudKeyValueStore::shared().value(kEnableCloudSync);
    return value.metaType().id() == QMetaType::Bool && value.toBool();
}

void TaviSettings::setEnableCloudSync(bool enabled)
{
    CloudKeyValueStore &store = CloudKeyValueStore::shared();
    store.setValue(kEnableCloudSync, enabled);
    store.synchronize();
}

QString TaviSettings::selectedOCRLanguage()
{
    if (const std::optional<QString> stored = shared().m_selectedOCRLanguage.get())
        return *stored;
    const QString preferred = firstPreferredLanguage();
    return TaviUserDefaults::supportedOCRLanguages().contains(preferred) ? preferred : kFallbackOCRLanguage;
}

void TaviSettings::setSelectedOCRLanguage(const QString &language) { shared().m_selectedOCRLanguage.set(language); }

std::optional<QStringList> TaviSettings::categoryColors() const
{
    const QVariant stored = Defaults::standard().value(categoryColorsKey());
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList();
    if (stored.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList colors;
    for (const QVariant &entry : stored.toList()) {
        if (entry.typeId() != QMetaType::QString)
            return std::nullopt;
        colors.append(entry.toString());
    }
    return colors;
}

void TaviSettings::setCategoryColors(const QStringList &colors)
{
    Defaults::standard().setValue(categoryColorsKey(), colors);
}

QString TaviSettings::colorBarOriginKey(quint32 screenNumber, const QPoint &frameOrigin)
{
    // Shortest decimal form of a coordinate with at least one fractional digit ("0.0", "-1440.0").
    const auto coordinate = [](double value) {
        QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
        if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
            text += QStringLiteral(".0");
        return text;
    };
    return QStringLiteral("SideBarOriginY-") + QString::number(screenNumber) + QStringLiteral("-x:")
           + coordinate(frameOrigin.x()) + QStringLiteral("-y:") + coordinate(frameOrigin.y());
}

std::optional<double> TaviSettings::colorBarOriginY(const QString &originKey) const
{
    const QVariant stored = Defaults::standard().value(originKey);
    if (!stored.isValid())
        return std::nullopt;
    const auto type = stored.typeId();
    if (type != QMetaType::Double && type != QMetaType::Int && type != QMetaType::LongLong)
        return std::nullopt;
    const double value = stored.toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

void TaviSettings::setColorBarOriginY(const QString &originKey, double top)
{
    Defaults::standard().setValue(originKey, top);
}

void TaviSettings::setStatusItemPreferredPosition(int index, qint64 position)
{
    Defaults::standard().setValue(kStatusItemPositionPrefix + QString::number(index), position);
}

bool TaviSettings::flush() { return Defaults::standard().flush(); }

QString TaviSettings::keptAsidePath() const { return Defaults::standard().keptAsidePath(); }

namespace TaviUserDefaults {

const QStringList &supportedOCRLanguages()
{
    static const QStringList languages{QStringLiteral("en-US"), QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant"),
                                       QStringLiteral("fr-FR"), QStringLiteral("it-IT"),   QStringLiteral("de-DE"),
                                       QStringLiteral("es-ES"), QStringLiteral("pt-BR"),   QStringLiteral("ko-KR"),
                                       QStringLiteral("ja-JP"), QStringLiteral("ru-RU"),   QStringLiteral("uk-UA")};
    return languages;
}

const QMap<QString, QStringList> &ocrRecognitionLanguages()
{
    static const QMap<QString, QStringList> table{
        {QStringLiteral("en-US"), {QStringLiteral("en-US")}},
        {QStringLiteral("zh-Hans"), {QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant"), QStringLiteral("en-US")}},
        {QStringLiteral("zh-Hant"), {QStringLiteral("zh-Hant"), QStringLiteral("zh-Hans"), QStringLiteral("en-US")}},
        {QStringLiteral("yue-Hans"), {QStringLiteral("yue-Hans"), QStringLiteral("yue-Hant"), QStringLiteral("en-US")}},
        {QStringLiteral("yue-Hant"), {QStringLiteral("yue-Hant"), QStringLiteral("yue-Hans"), QStringLiteral("en-US")}},
    };
    return table;
}

} // namespace TaviUserDefaults
