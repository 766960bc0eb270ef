#pragma once
// Every value the program keeps in the standard defaults, each declared once under its stored key:
// the user's preferences, typed views (enumerations) over stored integers, the program's own
// values, two values in the cloud key-value store and the language used for text recognition. The
// one way to reach the settings file outside the platform layer. Any thread; the object takes no
// lock of its own, each read returns one value as the defaults store delivers it.

#include "platform/AutoCache.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <limits>
#include <optional>

// Setting enumerations. The raw value of a case is its position; fromRawValue() gives no value
// outside that range.
enum class PBColorBarAppearance { right, rounded };
enum class PBColorBarSize { large, medium, small };
enum class PBColorBarPosition { left, right };
enum class PBColorBarDisplayScreenOption { initial, active, specific };
enum class PBTimeUnit { day, week };
enum class PBHistoryQuickSelectionKey { command, option, control };
enum class PBHistoryClearType { days, items };
// `defaultOrder` is the case the lists call "default" (a reserved word here).
enum class TextSorter { defaultOrder, createAt, title, sourceApp };
enum class NoteSorter { defaultOrder, createAt, title };
enum class IgnoreDataSizeType { kb, mb };

constexpr int caseCount(PBColorBarAppearance) { return 2; }
constexpr int caseCount(PBColorBarSize) { return 3; }
constexpr int caseCount(PBColorBarPosition) { return 2; }
constexpr int caseCount(PBColorBarDisplayScreenOption) { return 3; }
constexpr int caseCount(PBTimeUnit) { return 2; }
constexpr int caseCount(PBHistoryQuickSelectionKey) { return 3; }
constexpr int caseCount(PBHistoryClearType) { return 2; }
constexpr int caseCount(TextSorter) { return 4; }
constexpr int caseCount(NoteSorter) { return 3; }
constexpr int caseCount(IgnoreDataSizeType) { return 2; }

template <typename E>
constexpr std::optional<E> fromRawValue(qint64 raw)
{
    if (raw < 0 || raw >= caseCount(E{}))
        return std::nullopt;
    return static_cast<E>(raw);
}
template <typename E>
constexpr int rawValue(E value)
{
    return static_cast<int>(value);
}

// The name of the modifier the digit hot keys use on this desktop ("Super", "Alt" or "Ctrl"), and
// the stored modifier flags of the key.
QString symbol(PBHistoryQuickSelectionKey key);
quint32 modifierFlags(PBHistoryQuickSelectionKey key);

// Stored settings as (property, setter, type, key, initial value), in declaration order.
// menuHistoryCapacity and historyKeepLastCount have their own setters (they report usage).
#define TAVI_STORED_SETTINGS(X)                                                                                \
    X(needAutoHideWindow, setNeedAutoHideWindow, bool, "needAutoHideWindow", false)                            \
    X(needAutoHideColorBar, setNeedAutoHideColorBar, bool, "needAutoHidePanel", false)                         \
    X(ignoreDirectory, setIgnoreDirectory, bool, "ignoreDirectory", false)                                     \
    X(ignoreFile, setIgnoreFile, bool, "ignoreFile", false)                                                    \
    X(ignoreImage, setIgnoreImage, bool, "ignoreImage", false)                                                 \
    X(enableAutoSaveNote, setEnableAutoSaveNote, bool, "enableAutoSaveNote", false)                            \
    X(needShowWhenMouseEntered, setNeedShowWhenMouseEntered, bool, "needShowWhenMouseEntered", true)           \
    X(needShowWhenEnterFullscreen, setNeedShowWhenEnterFullscreen, bool, "needShowWhenEnterFullscreen", false) \
    X(displayMenuBarButton, setDisplayMenuBarButton, bool, "displayMenuBarButton", true)                       \
    X(animateWhenAddItem, setAnimateWhenAddItem, bool, "animateWhenAddItem", true)                             \
    X(hideColorBarDuration, setHideColorBarDuration, double, "hidePanelDuration", 3.0)                         \
    X(hideColorBarMaxDuration, setHideColorBarMaxDuration, double, "hideColorBarMaxDuration", 10.0)            \
    X(ignoreWhiteSpace, setIgnoreWhiteSpace, bool, "ignoreWhiteSpace", false)                                  \
    X(enableLiteMode, setEnableLiteMode, bool, "enableLiteMode", false)                                        \
    X(ignoreDataFromOtherDevices, setIgnoreDataFromOtherDevices, bool, "ignoreDataFromOtherDevices", false)    \
    X(ignoreDataSizeMoreThan, setIgnoreDataSizeMoreThan, bool, "ignoreDataSizeMoreThan", false)                \
    X(notPromptFolderAccess, setNotPromptFolderAccess, bool, "notPromptFolderAccess", false)                   \
    X(autoCleanIncludeSticky, setAutoCleanIncludeSticky, bool, "autoCleanIncludeSticky", false)                \
    X(autoCleanIncludeNote, setAutoCleanIncludeNote, bool, "autoCleanIncludeNote", false)                      \
    X(autoCleanIncludeLock, setAutoCleanIncludeLock, bool, "autoCleanIncludeLock", false)                      \
    X(autoCleanIncludeCustom, setAutoCleanIncludeCustom, bool, "autoCleanIncludeCustom", false)                \
    X(textOrderAscending, setTextOrderAscending, bool, "textOrderAscending", false)                            \
    X(noteOrderAscending, setNoteOrderAscending, bool, "noteOrderAscending", false)                            \
    X(needPlaySound, setNeedPlaySound, bool, "needPlaySound", true)                                            \
    X(needShowHUD, setNeedShowHUD, bool, "needShowHUD", true)                                                  \
    X(needShowHideCategoryTips, setNeedShowHideCategoryTips, bool, "needShowHideCategoryTips", true)           \
    X(isAutoLaunch, setIsAutoLaunch, bool, "isAutoLaunch", false)                                              \
    X(noAutoLaunchHint, setNoAutoLaunchHint, bool, "noAutoLaunchHint", false)                                  \
    X(menuHistoryMaxCapacity, setMenuHistoryMaxCapacity, int, "menuHistoryMaxCapacity", 9)                     \
    X(copyOutTimes, setCopyOutTimes, int, "copyOutTimes", 0)                                                   \
    X(copyTotalTimes, setCopyTotalTimes, int, "copyTotalTimes", 0)                                             \
    X(enableAutoCleanHistory, setEnableAutoCleanHistory, bool, "enableAutoCleanHistory", false)                \
    X(selectedScreenID, setSelectedScreenID, qint64, "selectedScreenID", 0)                                    \
    X(alwaysCopyPlainText, setAlwaysCopyPlainText, bool, "copyPlainText", true)                                \
    X(quickPasteEnable, setQuickPasteEnable, bool, "quickPasteEnable", false)                                  \
    X(enableQuickSelection, setEnableQuickSelection, bool, "enableQuickSelection", true)

// Stored numbers that decide what is deleted or not recorded, as (property, setter, type, key,
// initial value, lowest, highest): the range is what Preferences can set, and a stored value outside
// it cannot be read, like one of another type. ignoreDataSize is in units of ignoreDataSizeType.
#define TAVI_BOUNDED_SETTINGS(X) \
    X(ignoreDataSize, setIgnoreDataSize, double, "ignoreDataSize", 1.0, 0.0, 1024.0 * 1024.0)

// Enumeration-backed settings as (property, setter, enumeration, key, initial case, fallback case).
// The stored integer's range is the enumeration's cases; a stored integer of no case reads as the
// fallback case and counts as unreadable.
#define TAVI_ENUM_SETTINGS(X)                                                                                        \
    X(barAppearance, setBarAppearance, PBColorBarAppearance, "colorBarAppearance", rounded, right)                   \
    X(barSize, setBarSize, PBColorBarSize, "colorBarSize", medium, medium)                                           \
    X(barPosition, setBarPosition, PBColorBarPosition, "colorBarPosition", left, left)                               \
    X(barScreenOption, setBarScreenOption, PBColorBarDisplayScreenOption, "colorBarScreenOption", active, initial)   \
    X(timeUnit, setTimeUnit, PBTimeUnit, "historyKeepTimeUnit", day, day)                                            \
    X(historyQuickSelectionKey, setHistoryQuickSelectionKey, PBHistoryQuickSelectionKey, "historyQuickSelectionKey", \
      command, command)                                                                                              \
    X(clearType, setClearType, PBHistoryClearType, "historyClearType", days, days)                                   \
    X(textSortType, setTextSortType, TextSorter, "textSortType", defaultOrder, defaultOrder)                         \
    X(noteSortType, setNoteSortType, NoteSorter, "noteSortType", defaultOrder, defaultOrder)                         \
    X(ignoreDataSizeType, setIgnoreDataSizeType, IgnoreDataSizeType, "ignoreDataSizeType", mb, mb)

// Values the program keeps for itself rather than the user's choices, as (property, setter, type,
// key, initial value). An optional value is removed from the file when set to none.
#define TAVI_PROGRAM_VALUES(X)                                                                          \
    X(firstVersion, setFirstVersion, QString, "1stVersion", QString())                                  \
    X(lastVersion, setLastVersion, QString, "lastVersion", QString())                                   \
    X(launchTime, setLaunchTime, int, "launchTime", 1)                                                  \
    X(alreadyShowTutorial, setAlreadyShowTutorial, bool, "alreadyShowTutorial", false)                  \
    X(isIRM, setIsIRM, bool, "isIRM", false)                                                            \
    X(serviceBaseURL, setServiceBaseURL, QString, "serviceBaseURL", QString())                          \
    X(installationUUID, setInstallationUUID, QString, "UUID", QString())                                \
    X(hasSentFirstInstallEvent, setHasSentFirstInstallEvent, bool, "HasSendFirstInstallGAEvent", false) \
    X(ignoredVersion, setIgnoredVersion, std::optional<QString>, "ignoreVersion", std::nullopt)         \
    X(hasShownSearchHUDTip, setHasShownSearchHUDTip, bool, "hasShownSearchHUDTip", false)               \
    X(hasShownPBHUDCloseTip, setHasShownPBHUDCloseTip, bool, "hasShowPBHUDCloseTip", false)             \
    X(noTrayMenuPlacesTold, setNoTrayMenuPlacesTold, bool, "noTrayMenuPlacesTold", false)               \
    X(lastSyncDate, setLastSyncDate, QDateTime, "lastSyncDate", QDateTime())                            \
    X(syncFolderPath, setSyncFolderPath, QString, "syncFolderPath", QString())                          \
    X(syncFolderKey, setSyncFolderKey, std::optional<QByteArray>, "syncFolderKey", std::nullopt)        \
    X(syncByteBudget, setSyncByteBudget, qint64, "syncByteBudget", 0)                                   \
    X(syncLastError, setSyncLastError, QString, "syncLastError", QString())                             \
    X(legacyBookmarks, setLegacyBookmarks, std::optional<QVariantMap>, "kTPBookMarks", std::nullopt)

class TaviSettings {
public:
    // The one instance, created on first use from any thread.
    static TaviSettings &shared();

#define TAVI_DECLARE_STORED(name, setter, type, key, initial) \
    type name() const { return m_##name.get(); }              \
    void setter(const type &value) { m_##name.set(value); }
    TAVI_STORED_SETTINGS(TAVI_DECLARE_STORED)
#undef TAVI_DECLARE_STORED

#define TAVI_DECLARE_BOUNDED(name, setter, type, key, initial, lowest, highest) \
    type name() const { return m_##name.get(); }                                \
    void setter(const type &value) { m_##name.set(value); }                     \
    static constexpr ValidRange<type> name##Range() { return {lowest, highest}; }
    TAVI_BOUNDED_SETTINGS(TAVI_DECLARE_BOUNDED)
#undef TAVI_DECLARE_BOUNDED

#define TAVI_DECLARE_ENUM(name, setter, type, key, initial, fallback)                                                \
    type name() const { return m_##name.hasValueOutOfRange() ? type::fallback : static_cast<type>(m_##name.get()); } \
    void setter(type value) { m_##name.set(rawValue(value)); }
    TAVI_ENUM_SETTINGS(TAVI_DECLARE_ENUM)
#undef TAVI_DECLARE_ENUM

#define TAVI_DECLARE_PROGRAM(name, setter, type, key, initial) \
    type name() const { return m_##name.get(); }               \
    void setter(const type &value) { m_##name.set(value); }    \
    static QString name##Key() { return QStringLiteral(key); }
    TAVI_PROGRAM_VALUES(TAVI_DECLARE_PROGRAM)
#undef TAVI_DECLARE_PROGRAM

    // The stored colors of the category editor ("categoryColors"): color names or "#RRGGBB"
    // texts; none when nothing is stored or an entry is not a text.
    std::optional<QStringList> categoryColors() const;
    void setCategoryColors(const QStringList &colors);
    static QString categoryColorsKey() { return QStringLiteral("categoryColors"); }

    // Where the color bar's top was left on a screen, under the screen's key: the screen's
    // number and the origin of its frame ("SideBarOriginY-5-x:0.0-y:0.0"). None when nothing is
    // stored, or not a finite number.
    static QString colorBarOriginKey(quint32 screenNumber, const QPoint &frameOrigin);
    std::optional<double> colorBarOriginY(const QString &originKey) const;
    void setColorBarOriginY(const QString &originKey, double top);

    // The place the desktop's tray should give the status icon of the index'th time it is shown.
    void setStatusItemPreferredPosition(int index, qint64 position);

    // Waits until the settings file holds every change made so far; false when the last write failed.
    bool flush();
    // Where an unreadable settings file was moved when it was read (empty when none was).
    QString keptAsidePath() const;

    // The applications (desktop ids) whose copies are never recorded. The stored default names the
    // original platform's keychain application; read here it stands for this desktop's password
    // and key managers (passwordManagerIds()). The stored list is never rewritten by a read.
    static inline const QString kKeychainAccessId = QStringLiteral("com.apple.keychainaccess");
    static const QStringList &passwordManagerIds();
    QStringList blackList() const;
    // The list as stored, the keychain application's id unexpanded (what the user edits).
    QStringList storedBlackList() const { return m_blackList.get(); }
    void setBlackList(const QStringList &list) { m_blackList.set(list); }

    // Both setters send a usage event, also when the value is unchanged.
    int menuHistoryCapacity() const { return m_menuHistoryCapacity.get(); }
    void setMenuHistoryCapacity(int capacity);
    int historyKeepLastCount() const { return m_historyKeepLastCount.get(); }
    void setHistoryKeepLastCount(int count);
    // The days or items Preferences can keep; a stored count outside it cannot be read.
    static constexpr ValidRange<int> historyKeepLastCountRange() { return {1, std::numeric_limits<int>::max()}; }
    // Whether a count is stored that cannot be read (historyKeepLastCount() then gives the initial one).
    bool hasUnreadableHistoryKeepLastCount() const { return m_historyKeepLastCount.hasUnreadableValue(); }

    // The key of the first auto-clean rule setting ("historyClearType", "historyKeepLastCount")
    // whose stored value cannot be read, if any: auto-clean must not delete on a guessed rule.
    std::optional<QString> unreadableAutoCleanSetting() const;
    // The key of the first setting of the size limit for new copies ("ignoreDataSize",
    // "ignoreDataSizeType") whose stored value cannot be read, if any: such a limit drops no copy.
    std::optional<QString> unreadableSizeLimitSetting() const;

    // Cloud key-value store: "activeCategoryID" (empty when no string is stored) and
    // "enableCloudSync" (false when no bool is stored).
    QString activeCategoryID() const;
    void setActiveCategoryID(const QString &categoryID);
    bool enableCloudSync() const;
    void setEnableCloudSync(bool enabled);

    // Standard defaults "selectedOCRLanguage"; when unset, the first preferred language if it is
    // supported, else "en-US". Reading never stores the fallback.
    static QString selectedOCRLanguage();
    static void setSelectedOCRLanguage(const QString &language);

    TaviSettings(const TaviSettings &) = delete;
    TaviSettings &operator=(const TaviSettings &) = delete;

private:
    TaviSettings() = default;

#define TAVI_MEMBER_STORED(name, setter, type, key, initial) AutoCache<type> m_##name{QStringLiteral(key), initial};
    TAVI_STORED_SETTINGS(TAVI_MEMBER_STORED)
#define TAVI_MEMBER_BOUNDED(name, setter, type, key, initial, lowest, highest) \
    AutoCache<type> m_##name{QStringLiteral(key), initial, name##Range()};
    TAVI_BOUNDED_SETTINGS(TAVI_MEMBER_BOUNDED)
#undef TAVI_MEMBER_BOUNDED
#define TAVI_MEMBER_ENUM(name, setter, type, key, initial, fallback) \
    AutoCache<int> m_##name{QStringLiteral(key), rawValue(type::initial), ValidRange<int>{0, caseCount(type{}) - 1}};
    TAVI_ENUM_SETTINGS(TAVI_MEMBER_ENUM)
#undef TAVI_MEMBER_ENUM
    TAVI_PROGRAM_VALUES(TAVI_MEMBER_STORED)
#undef TAVI_MEMBER_STORED
    AutoCache<QStringList> m_blackList{QStringLiteral("blackList"), QStringList{kKeychainAccessId}};
    AutoCache<int> m_menuHistoryCapacity{QStringLiteral("menuHistoryCapacity"), 5};
    AutoCache<int> m_historyKeepLastCount{QStringLiteral("historyKeepLastCount"), 1, historyKeepLastCountRange()};
    AutoCache<std::optional<QString>> m_selectedOCRLanguage{QStringLiteral("selectedOCRLanguage"), std::nullopt};
};

// Constant tables for text recognition.
namespace TaviUserDefaults {
// The languages offered for text recognition, in menu order.
const QStringList &supportedOCRLanguages();
// Language code -> ordered recognition languages.
const QMap<QString, QStringList> &ocrRecognitionLanguages();
} // namespace TaviUserDefaults
