#pragma once
// Type identifiers and their conformance ("public.png" is an image, "public.html" is text), from
// a table of our own; MIME types (what files and the desktop use) join it through QMimeDatabase.
// Any thread.

#include <QString>
#include <QStringList>

namespace UniformType {
inline const QString item = QStringLiteral("public.item");
inline const QString content = QStringLiteral("public.content");
inline const QString data = QStringLiteral("public.data");
inline const QString text = QStringLiteral("public.text");
inline const QString plainText = QStringLiteral("public.plain-text");
inline const QString utf8PlainText = QStringLiteral("public.utf8-plain-text");
inline const QString html = QStringLiteral("public.html");
inline const QString rtf = QStringLiteral("public.rtf");
inline const QString url = QStringLiteral("public.url");
inline const QString fileURL = QStringLiteral("public.file-url");
inline const QString image = QStringLiteral("public.image");
inline const QString png = QStringLiteral("public.png");
inline const QString tiff = QStringLiteral("public.tiff");
inline const QString jpeg = QStringLiteral("public.jpeg");
inline const QString webArchive = QStringLiteral("com.apple.webarchive");
inline const QString audiovisualContent = QStringLiteral("public.audiovisual-content");
inline const QString movie = QStringLiteral("public.movie");
inline const QString video = QStringLiteral("public.video");
inline const QString audio = QStringLiteral("public.audio");
inline const QString folder = QStringLiteral("public.folder");
inline const QString directory = QStringLiteral("public.directory");

// True when type is parent or inherits from it. A dynamic or unknown type conforms only to itself.
bool conformsTo(const QString &type, const QString &parent);
bool isEqual(const QString &a, const QString &b);
// Dynamic identifiers stand for types nothing is known of ("dyn." prefix).
bool isDynamic(const QString &type);
// Known parents, nearest first, without the type itself.
QStringList parents(const QString &type);

// The identifier for a file name extension (without the dot): a dynamic one when unknown.
QString preferredIdentifierForFilenameExtension(const QString &extension);
// The identifier of an existing file by what it is (folder, or contents); empty when it is missing.
QString identifierForFile(const QString &path);

// MIME type <-> identifier. An identifier of a MIME type outside the table is the MIME name itself.
QString identifierForMimeType(const QString &mimeType);
QString preferredMimeType(const QString &type); // empty when there is none
} // namespace UniformType
