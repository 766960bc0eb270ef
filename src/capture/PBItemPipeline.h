#pragma once
// Turns one pasteboard item of a new copy into a history item: the ignore rules, the size limit,
// the content hash, the look-up of a stored repeat, the classification into a kind and the
// typed payload. It stores nothing. Runs on the capture queue; any thread may call it.

#include "capture/PasteboardProcessResult.h"
#include "core/PBItemProvider.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class PBItemPipeline {
public:
    struct Environment {
        // The stored item with this content hash (pinned first, else the newest), if any.
        std::function<std::optional<PBItem>(const QString &hash)> findItemByHash;
        // The category new copies are filed under besides their kind, if one is active.
        std::function<std::optional<PBCategory>()> activeCategory;
        // This program's identifier: its own copies are never recorded.
        QString ownBundleIdentifier;
        // Told the reason of each dropped item; unset, the reason is logged.
        std::function<void(const QString &reason)> dropped;
        // When the copy was made: the time of its new items (now when not set).
        QDateTime time;
        // The bytes of image files the copy may still read into image items (each file read
        // counts against it); unlimited when not set. Image files beyond it are kept as files.
        qint64 *imageFileBytesLeft = nullptr;
    };

    // Types that mark content handed over from another device.
    static const QStringList &handoffTypes();
    // Types of other programs that mark content not to be recorded (transient, concealed...).
    static const QStringList &transientTypes();
    static const QStringList &markerTypes();

    // Never throws; a dropped item's reason is logged, or told to the environment.
    static PasteboardProcessResult process(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                                           const Environment &environment);

    // The fallback classifier of content of no known kind.
    static std::pair<PBItemProvider, PBDefaultCategory> getPasteboardData(const PasteboardItem &item,
                                                                          const std::optional<QString> &text);

    // The de-duplication hash of an item whose chosen type and data are given: MD5 of the whole
    // plain text when there is one, else of the whole data.
    static QString contentHash(const PasteboardItem &item, const QString &availableType, const QByteArray &data);

    // The size limit in bytes of the settings' value and unit, clamped to [0, 2^53]; a value that
    // is not a number gives the default of one unit.
    static qint64 sizeLimitBytes(double size, bool megabytes);

    // Copied HTML larger than this is not laid out for its text when the copy has a plain text.
    static constexpr qint64 kMaxLaidOutHtmlBytes = 1024 * 1024;
    // Image files read into an image item are at most this large without a size limit set, and
    // one copy of many files reads at most kMaxImageFileBytesPerCopy of them.
    static constexpr qint64 kMaxImageFileBytes = 64ll * 1024 * 1024;
    static constexpr qint64 kMaxImageFileBytesPerCopy = 256ll * 1024 * 1024;
};
