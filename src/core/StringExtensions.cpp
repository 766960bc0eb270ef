#include "core/StringExtensions.h"

#include <QCryptographicHash>
#include <QRegularExpression>

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QString md5(const QString &text)
{
    return md5(text.toUtf8());
}

bool isURL(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool isEmail(const QString &text)
{
    // Anchored on the whole text: a bare "$" would also accept a trailing newline.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        "^[\\p{L}0-9!#$%&'*+\\/=?^_`{|}~-][\\p{L}0-9.!#$%&'*+\\/=?^_`{|}~-]{0,63}@[\\p{L}0-9-]+(?:\\.[\\p{L}0-9-]{2,7})*$")));
    return pattern.match(text).hasMatch();
}
