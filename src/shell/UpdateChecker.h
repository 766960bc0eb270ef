#pragma once
// Asks the maker's service whether a newer version exists, at the end of each launch and from
// the status menu. Main thread.

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class UpdateChecker {
public:
    static inline const QString kPath = QStringLiteral("/homepage/version");

    static UpdateChecker &shared();

    // The product number the service knows this program by.
    QString appId() const { return QStringLiteral("6449102387"); }

    // A newer version: (true, its version, or nothing when the answer names none). Up to date:
    // (false, the already-latest text). Failed request or unusable answer: (false, the
    // network-error text). The completion runs once, on the main thread.
    using Completion = std::function<void(bool hasUpdate, const std::optional<QString> &text)>;
    void checkUpdate(Completion completion);

    // The launch check's completion: offers a new version unless the user skipped it.
    static void showNewVersionAlert(bool hasUpdate, const std::optional<QString> &version);

    // The version the user chose to skip ("ignoreVersion"), if any.
    static std::optional<QString> ignoredVersion();
    static void storeIgnoredVersion(const QString &version);

    // The download page on the maker's web site; empty when no service is configured.
    static QUrl downloadPageURL();
    static void openDownloadPage();

private:
    UpdateChecker() = default;
};
