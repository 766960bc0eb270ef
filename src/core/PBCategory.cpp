#include "core/PBCategory.h"

#include "core/ColorExtensions.h"
#include "core/Uuid.h"
#include "core/store/PBCategoryRecord.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kBackground = QStringLiteral("backgroundColor");
const QString kForeground = QStringLiteral("foregroundColor");
const QString kType = QStringLiteral("type");
const QString kHidden = QStringLiteral("isHidden");
const QString kLocked = QStringLiteral("isLocked");
} // namespace

PBCategory::PBCategory(std::optional<QString> id, QString name, QColor backgroundColor, QColor foregroundColor,
                       PBDefaultCategory type, bool isHidden, bool isLocked)
    : m_id(id                                  ? *id
           : type == PBDefaultCategory::custom ? newUuidString()
                                               : categoryId(type)),
      m_type(type),
      m_name(std::move(name)),
      m_backgroundColor(backgroundColor),
      m_foregroundColor(foregroundColor),
      m_isHidden(isHidden),
      m_isLocked(isLocked)
{
}

const PBCategory &PBCategory::all()
{
    static const PBCategory category(categoryId(PBDefaultCategory::all), localizedName(PBDefaultCategory::all),
                                     defaultBackgroundColor(PBDefaultCategory::all),
                                     defaultForegroundColor(PBDefaultCategory::all), PBDefaultCategory::all, false,
                                     false);
    return category;
}

std::optional<PBCategory> PBCategory::fromRecord(const PBCategoryRecord &record)
{
    const QString id = record.id();
    const auto type = categoryKind(record.type());
    if (id.isEmpty() || !type)
        return std::nullopt;
    QString name = record.name();
    if (name.isEmpty() && *type != PBDefaultCategory::custom)
        name = localizedName(*type);
    return PBCategory(id, name, colorWithHexString(record.bgColorHexStr()).value_or(defaultBackgroundColor(*type)),
                      colorWithHexString(record.fgColorHexStr()).value_or(defaultForegroundColor(*type)), *type,
                      record.isHidden(), record.isLock());
}

QByteArray PBCategory::encode() const
{
    QJsonObject archive;
    archive.insert(kId, m_id);
    archive.insert(kName, m_name);
    archive.insert(kBackground, hexString(m_backgroundColor));
    archive.insert(kForeground, hexString(m_foregroundColor));
    archive.insert(kType, rawValue(m_type));
    archive.insert(kHidden, m_isHidden);
    archive.insert(kLocked, m_isLocked);
    return QJsonDocument(archive).toJson(QJsonDocument::Compact);
}

std::optional<PBCategory> PBCategory::decode(const QByteArray &archive)
{
    const QJsonDocument document = QJsonDocument::fromJson(archive);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(kId);
    if (!id.isString())
        return std::nullopt;
    auto stringOr = [&](const QString &key, const QString &fallback) {
        const QJsonValue value = object.value(key);
        return value.isString() ? value.toString() : fallback;
    };
    const QString name = stringOr(kName, QStringLiteral("??"));
    const PBDefaultCategory type =
        categoryKind(stringOr(kType, QStringLiteral("unknown"))).value_or(PBDefaultCategory::unknown);
    const QColor background =
        colorWithHexString(stringOr(kBackground, QStringLiteral("#E74C3C"))).value_or(QColor(Qt::red));
    const QColor foreground =
        colorWithHexString(stringOr(kForeground, QStringLiteral("#ECF0F1"))).value_or(QColor(Qt::white));
    return PBCategory(id.toString(), name, background, foreground, type, object.value(kHidden).toBool(false),
                      object.value(kLocked).toBool(false));
}

QString PBCategory::description() const { return m_name + QLatin1Char('(') + m_id + QLatin1Char(')'); }
