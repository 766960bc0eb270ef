#pragma once
// A copied file or folder. Capture bookmarks the locations of a copy's new file items together
// (see TPBookMarkCacher); a provider itself only names its location. Any thread.

#include "core/PBProviderSupport.h"

#include <QUrl>
#include <QVariant>

class PBFileItemProvider {
public:
    explicit PBFileItemProvider(QUrl url, PasteboardDataMap pasteboardData = {});

    const QUrl &url() const { return m_url; }
    void setUrl(const QUrl &url);
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The file's name with its extension (the last path component).
    QString representedText() const;
    // The location's absolute URL text as UTF-8.
    QVariant accosicatedData() const;
    // A URL text as UTF-8 gives a provider for that location.
    static std::optional<PBFileItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-insensitive containment of any keyword in the file name.
    bool matches(const QStringList &keywords) const;

private:
    PasteboardDataMap m_pasteboardData;
    QUrl m_url;
};
