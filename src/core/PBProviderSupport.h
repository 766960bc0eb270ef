#pragma once
// What the item providers share: the pasteboard data they keep, the type names they look up,
// strict UTF-8 conversions and keyword containment. Any thread.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextDocumentFragment>
#include <QVariant>

#include <optional>

// The raw representations of a copy, keyed by the system's pasteboard type name.
using PasteboardDataMap = QMap<QString, QByteArray>;

namespace PasteboardTypeName {
inline const QString kPlainText = QStringLiteral("public.utf8-plain-text");
inline const QString kRtf = QStringLiteral("public.rtf");
inline const QString kFlatRtfd = QStringLiteral("com.apple.flat-rtfd");
inline const QString kHtml = QStringLiteral("public.html");
// The rich representations, in order of preference.
inline const QStringList kRichTypes = {kRtf, kFlatRtfd, kHtml};
} // namespace PasteboardTypeName

namespace ProviderSupport {
// Nothing when the bytes are not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray &data);
// Nothing when the text holds a lone surrogate.
std::optional<QByteArray> encodeUtf8(const QString &text);

// Whether any non-empty keyword occurs in the text. An empty keyword matches nothing.
bool containsAnyKeyword(const QString &text, const QStringList &keywords, Qt::CaseSensitivity sensitivity);

// The first rich representation present (RTF, flat RTFD, HTML), with its type name.
std::optional<std::pair<QString, QByteArray>> firstRichRepresentation(const PasteboardDataMap &data);

// Rich data of a text-like provider, or its text as UTF-8.
QVariant richPayload(const PasteboardDataMap &data, const QString &text);

// A rich representation read as a document; nothing when it can't be read. HTML is read without
// loading anything it names (images, style sheets).
std::optional<QTextDocumentFragment> readRichText(const QString &type, const QByteArray &data);
} // namespace ProviderSupport
