#pragma once
// Digests and the link and e-mail tests that classify copied text. Pure functions; any thread.

#include <QByteArray>
#include <QString>

// MD5 of the bytes as 32 lower-case hexadecimal digits.
QString md5(const QByteArray &data);
// MD5 of the string's UTF-8 bytes.
QString md5(const QString &text);

// Whether the text begins with "http://" or "https://" (case-sensitive, nothing trimmed).
bool isURL(const QString &text);
// Whether the whole text is an e-mail address: a local part of 1 to 64 characters that does not
// begin with a dot, "@", a host and dotted labels of 2 to 7 characters; letters of any script.
bool isEmail(const QString &text);
