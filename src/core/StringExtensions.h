#pragma once
// Digests, the link and e-mail tests that classify copied text, and the white-space rules of
// copied text and its titles. Any thread.

#include <QByteArray>
#include <QString>

class QFontMetrics;

// MD5 of the bytes as 32 lower-case hexadecimal digits.
QString md5(const QByteArray &data);
// MD5 of the string's UTF-8 bytes.
QString md5(const QString &text);

// Whether the text begins with "http://" or "https://" (case-sensitive, nothing trimmed).
bool isURL(const QString &text);
// Whether the whole text is an e-mail address: a local part of 1 to 64 characters that does not
// begin with a dot, "@", a host and dotted labels of 2 to 7 characters; letters of any script.
bool isEmail(const QString &text);

// Whether the text is only white space (spaces, tabs, line breaks); an empty text is too.
bool isWhiteSpaceOnly(const QString &text);

// How much of a text a caller holds: all of it, or its start (a list's head of a long text).
enum class TextExtent { whole, start };
// What a one-line title shows of a copied text: the text from its first visible character on. A
// text with no visible character (only white space, control and format characters) is named in
// words instead, so that it never shows as an empty title: "3 spaces", "1 tab", "2 line breaks",
// "Whitespace (2 lines)", "4 invisible characters". An empty text stays empty.
QString titleText(const QString &text, TextExtent extent = TextExtent::whole);

// A title on one line (tabs and line, page and paragraph breaks read as spaces) of at most
// `length` characters (grapheme clusters) of the text. A longer text is cut at the last word
// boundary of its last fifth, or between two characters when none is there, and "…" follows.
// Only a bounded start of the text is looked at. Any thread.
QString oneLineTitle(const QString &text, int length);
// The one-line text as it fits `width` in the font: a wider one is cut as oneLineTitle() cuts, at
// the last word boundary of the last fifth of what fits, and "…" follows. GUI thread.
QString elideAtWordBoundary(const QString &text, const QFontMetrics &metrics, int width);
