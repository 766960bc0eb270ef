#pragma once
// A workspace that tests set up: the frontmost application, the running ones, and a record of
// what was opened.

#include "platform/Workspace.h"

#include <mutex>

class FakeWorkspace : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() override;
    QList<RunningApplication> runningApplications() override;
    QString ownBundleIdentifier() const override;
    bool openUrl(const QUrl &url) override;
    QIcon iconForApplication(const QString &bundlePathOrIdentifier) override;
    QIcon iconForFile(const QString &path) override;

    void setFrontmostApplication(std::optional<RunningApplication> application);
    void setRunningApplications(QList<RunningApplication> applications);
    void setOwnBundleIdentifier(const QString &identifier);
    // This program as a RunningApplication, for tests of its own copies.
    RunningApplication ownApplication() const;
    QList<QUrl> openedUrls() const;

private:
    mutable std::mutex m_mutex;
    std::optional<RunningApplication> m_frontmost;
    QList<RunningApplication> m_running;
    QString m_ownIdentifier = QStringLiteral("tavipaste");
    QList<QUrl> m_opened;
};
