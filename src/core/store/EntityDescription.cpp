#include "core/store/EntityDescription.h"

#include "core/store/SqlIdentifier.h"

#include <QDateTime>
#include <QUuid>

#include <QLocale>

#include <unicode/stringoptions.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>

namespace StoreValues {

StoreValue fromVariant(AttributeType type, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case AttributeType::Boolean: return qint64(value.toBool() ? 1 : 0);
    case AttributeType::Integer64: return qint64(value.toLongLong());
    case AttributeType::String: return value.toString();
    case AttributeType::UUID: {
        const QUuid uuid = value.typeId() == QMetaType::QUuid ? value.toUuid() : QUuid::fromString(value.toString());
        if (uuid.isNull())
            return {};
        return uuid.toString(QUuid::WithoutBraces);
    }
    case AttributeType::Date: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return {};
        return date.toMSecsSinceEpoch();
    }
    case AttributeType::Binary: return value.toByteArray();
    }
    return {};
}

StoreValue coerce(AttributeType type, StoreValue value)
{
    if (isNull(value))
        return value;
    switch (type) {
    case AttributeType::Boolean:
    case AttributeType::Integer64:
    case AttributeType::Date:
        if (const auto *text = std::get_if<QString>(&value)) {
            bool ok = false;
            const qint64 number = text->toLongLong(&ok);
            return ok ? StoreValue(number) : StoreValue();
        }
        if (std::holds_alternative<QByteArray>(value))
            return {};
        if (type == AttributeType::Boolean)
            return qint64(std::get<qint64>(value) != 0);
        return value;
    case AttributeType::String:
    case AttributeType::UUID:
        if (const auto *number = std::get_if<qint64>(&value))
            return QString::number(*number);
        if (const auto *bytes = std::get_if<QByteArray>(&value))
            return QString::fromUtf8(*bytes);
        return value;
    case AttributeType::Binary:
        if (const auto *text = std::get_if<QString>(&value))
            return text->toUtf8();
        if (const auto *number = std::get_if<qint64>(&value))
            return QByteArray::number(*number);
        return value;
    }
    return value;
}

QVariant toVariant(AttributeType type, const StoreValue &value)
{
    if (isNull(value))
        return {};
    if (const StoreValue coerced = coerce(type, value); coerced.index() != value.index())
        return toVariant(type, coerced);
    switch (type) {
    case AttributeType::Boolean: return std::get<qint64>(value) != 0;
    case AttributeType::Integer64: return std::get<qint64>(value);
    case AttributeType::String: return std::get<QString>(value);
    case AttributeType::UUID: return QUuid::fromString(std::get<QString>(value));
    case AttributeType::Date: return QDateTime::fromMSecsSinceEpoch(std::get<qint64>(value));
    case AttributeType::Binary: return std::get<QByteArray>(value);
    }
    return {};
}

namespace {
// UTF-16 code units remapped so that comparing them gives code point order.
inline uint codePointOrder(char16_t unit)
{
    if (unit >= 0xD800 && unit < 0xE000)
        return uint(unit) + 0x2000;
    if (unit >= 0xE000)
        return uint(unit) - 0x800;
    return unit;
}

int compareText(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a.at(i).unicode();
        const char16_t y = b.at(i).unicode();
        if (x != y)
            return codePointOrder(x) < codePointOrder(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

int compare(const StoreValue &a, const StoreValue &b)
{
    if (a.index() != b.index())
        return a.index() < b.index() ? -1 : 1;
    switch (a.index()) {
    case 0: return 0;
    case 1: {
        const qint64 x = std::get<qint64>(a), y = std::get<qint64>(b);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    case 2: return compareText(std::get<QString>(a), std::get<QString>(b));
    default: {
        const QByteArray &x = std::get<QByteArray>(a), &y = std::get<QByteArray>(b);
        const int c = std::memcmp(x.constData(), y.constData(), size_t(std::min(x.size(), y.size())));
        if (c != 0)
            return c < 0 ? -1 : 1;
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
    }
}

namespace {
bool isMark(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
           || category == QChar::Mark_Enclosing;
}

QString withoutMarks(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!isMark(c))
            result.append(c);
    }
    return result;
}

// Unicode's full case folding ("ß" and "ẞ" read "ss", "ﬁ" "fi"), which QString::toCaseFolded()
// does only in its simple form.
QString fullCaseFolded(const QString &text)
{
    if (text.isEmpty())
        return text;
    // A code unit folds to at most three.
    QString folded(text.size() * 3, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(reinterpret_cast<UChar *>(folded.data()), int32_t(folded.size()),
                                         reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
                                         U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    folded.truncate(length);
    return folded;
}
} // namespace

QString fold(const QString &text, bool caseInsensitive, bool diacriticInsensitive)
{
    QString result = diacriticInsensitive ? withoutMarks(text.normalized(QString::NormalizationForm_KD)) : text;
    if (caseInsensitive) {
        result = fullCaseFolded(result);
        // Folding can give a letter and its mark ("İ" is "i" and a dot above).
        if (diacriticInsensitive)
            result = withoutMarks(result);
    }
    return result;
}

QByteArray foldUtf8(const char *text, qsizetype bytes, bool caseInsensitive, bool diacriticInsensitive)
{
    if (std::all_of(text, text + bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        QByteArray result(text, bytes);
        if (caseInsensitive) {
            for (char &c : result)
                if (c >= 'A' && c <= 'Z')
                    c = char(c - 'A' + 'a');
        }
        return result;
    }
    return fold(QString::fromUtf8(text, bytes), caseInsensitive, diacriticInsensitive).toUtf8();
}

namespace {
// The user's language's collation at secondary strength: letters and accents count, case does
// not. Opened once; ICU collators may be used from any thread for keys.
const UCollator *readableCollator()
{
    static const UCollator *const collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator *opened = ucol_open(QLocale().name().toLatin1().constData(), &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            opened = ucol_open("", &status);
        }
        if (opened)
            ucol_setStrength(opened, UCOL_SECONDARY);
        return opened;
    }();
    return collator;
}
} // namespace

QByteArray readableOrderKey(QStringView text)
{
    QStringView start = text.left(kReadableOrderUnits);
    // Never half a surrogate pair.
    if (start.size() < text.size() && !start.isEmpty() && start.back().isHighSurrogate())
        start.chop(1);
    const UCollator *collator = readableCollator();
    if (!collator)
        return start.toString().toCaseFolded().toUtf8();
    const auto *units = reinterpret_cast<const UChar *>(start.utf16());
    QByteArray key(start.size() * 4 + 16, Qt::Uninitialized);
    int32_t length = ucol_getSortKey(collator, units, int32_t(start.size()), reinterpret_cast<uint8_t *>(key.data()),
                                     int32_t(key.size()));
    if (length > key.size()) {
        key.resize(length);
        length =
            ucol_getSortKey(collator, units, int32_t(start.size()), reinterpret_cast<uint8_t *>(key.data()), length);
    }
    // The key ends with a zero byte, left out so that keys compare as their bytes.
    key.truncate(std::max(0, length - 1));
    return key;
}

QByteArray readableOrderKeyUtf8(const char *text, qsizetype bytes)
{
    // A code unit takes at most three bytes; the decoded start is cut to the units that count.
    const qsizetype read = std::min<qsizetype>(bytes, kReadableOrderUnits * 3);
    qsizetype end = read;
    // Not within a character: back to the start of the one the cut falls in.
    if (end < bytes) {
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
    }
    return readableOrderKey(QString::fromUtf8(text, end));
}

} // namespace StoreValues

int EntityDescription::attributeIndex(const QString &key) const
{
    for (size_t i = 0; i < attributes.size(); ++i)
        if (attributes[i].name == key)
            return int(i);
    return -1;
}

int EntityDescription::relationshipIndex(const QString &key) const
{
    for (size_t i = 0; i < relationships.size(); ++i)
        if (relationships[i].name == key)
            return int(i);
    return -1;
}

namespace {
QString sqlType(AttributeType type)
{
    switch (type) {
    case AttributeType::Boolean:
    case AttributeType::Integer64:
    case AttributeType::Date: return QStringLiteral("INTEGER");
    case AttributeType::String:
    case AttributeType::UUID: return QStringLiteral("TEXT");
    case AttributeType::Binary: return QStringLiteral("BLOB");
    }
    return {};
}

QString literal(const StoreValue &value)
{
    if (const auto *number = std::get_if<qint64>(&value))
        return QString::number(*number);
    if (const auto *text = std::get_if<QString>(&value))
        return QLatin1Char('\'') + QString(*text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    return QStringLiteral("X'") + QString::fromLatin1(std::get<QByteArray>(value).toHex()) + QLatin1Char('\'');
}

// A reference to a row of `entity`'s table, gone with it.
QString references(const EntityDescription &entity)
{
    return QStringLiteral("REFERENCES %1 (\"pk\") ON DELETE CASCADE").arg(quoted(entity.name));
}

QString indexSchema(const QString &table, const QString &name, const QStringList &columns)
{
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3);\n")
        .arg(quoted(table + QLatin1Char('_') + name), quoted(table), quoted(columns).join(QStringLiteral(", ")));
}
} // namespace

QString RelationshipDescription::linkTableSchema(const EntityDescription &owner) const
{
    const QString own = quoted(ownColumn), other = quoted(targetColumn);
    return QStringLiteral("CREATE TABLE %1 (\n"
                          "    %2 INTEGER NOT NULL %4,\n"
                          "    %3 INTEGER NOT NULL %5,\n"
                          "    PRIMARY KEY (%2, %3)) WITHOUT ROWID;\n")
               .arg(quoted(linkTable), own, other, references(owner), references(target()))
           + indexSchema(linkTable, targetColumn, {targetColumn, ownColumn});
}

QString EntityDescription::tableSchema() const
{
    QString sql = QStringLiteral("CREATE TABLE %1 (\n    \"pk\" INTEGER PRIMARY KEY AUTOINCREMENT").arg(quoted(name));
    if (!ownerColumn.isEmpty())
        sql += QStringLiteral(",\n    %1 INTEGER %2").arg(quoted(ownerColumn), references(ownerEntity()));
    bool afterOwnLine = true;
    for (const AttributeDescription &attribute : attributes) {
        const bool constrained = !attribute.isOptional();
        const bool newLine = afterOwnLine || constrained || attribute.startsSchemaLine;
        sql += (newLine ? QStringLiteral(",\n    ") : QStringLiteral(", ")) + quoted(attribute.column)
               + QLatin1Char(' ') + sqlType(attribute.type);
        if (constrained)
            sql += QStringLiteral(" NOT NULL DEFAULT ") + literal(attribute.defaultValue);
        afterOwnLine = constrained;
    }
    sql += QStringLiteral(");\n");
    for (const IndexDescription &index : indexes)
        sql += indexSchema(name, index.name, index.columns);
    return sql;
}
