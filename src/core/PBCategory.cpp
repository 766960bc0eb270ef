#include "core/PBCategory.h"

#include "core/Uuid.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace {
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kBackground = QStringLiteral("backgroundColor");
const QString kForeground = QStringLiteral("foregroundColor");
const QString kType = QStringLiteral("type");
const QString kHidden = QStringLiteral("isHidden");
const QString kLocked = QStringLiteral("isLocked");

QString hexOf(const QColor &color)
{
    const QColor rgb = color.toRgb();
    auto byte = [](float component) { return int(std::lround(std::clamp(component, 0.0f, 1.0f) * 255)); };
    return QString::asprintf("#%02X%02X%02X", byte(rgb.redF()), byte(rgb.greenF()), byte(rgb.blueF()));
}

std::optional<QColor> colorOf(QString text)
{
    if (text.startsWith(QLatin1Char('#')))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))
        text.remove(0, 2);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == QLatin1Char('+') || text.front() == QLatin1Char('-'))) {
        negative = text.front() == QLatin1Char('-');
        text.remove(0, 1);
    }
    if (text.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : std::as_const(text)) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
                          : (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.unicode() - 'a' + 10
                          : (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ? c.unicode() - 'A' + 10
                                                                           : -1;
        if (digit < 0 || value > (quint64(1) << 59))
            return std::nullopt;
        value = value * 16 + quint64(digit);
    }
    if (value > quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0))
        return std::nullopt;
    const quint64 bits = negative ? quint64(0) - value : value;
    return QColor::fromRgb(int((bits >> 16) & 0xFF), int((bits >> 8) & 0xFF), int(bits & 0xFF));
}
} // namespace

PBCategory::PBCategory(std::optional<QString> id, QString name, QColor backgroundColor, QColor foregroundColor,
                       PBDefaultCategory type, bool isHidden, bool isLocked)
    : m_id(id ? *id : type == PBDefaultCategory::custom ? newUuidString() : categoryId(type)),
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

QByteArray PBCategory::encode() const
{
    QJsonObject archive;
    archive.insert(kId, m_id);
    archive.insert(kName, m_name);
    archive.insert(kBackground, hexOf(m_backgroundColor));
    archive.insert(kForeground, hexOf(m_foregroundColor));
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
    const QColor background = colorOf(stringOr(kBackground, QStringLiteral("#E74C3C"))).value_or(QColor(Qt::red));
    const QColor foreground = colorOf(stringOr(kForeground, QStringLiteral("#ECF0F1"))).value_or(QColor(Qt::white));
    return PBCategory(id.toString(), name, background, foreground, type, object.value(kHidden).toBool(false),
                      object.value(kLocked).toBool(false));
}

QString PBCategory::description() const
{
    return m_name + QLatin1Char('(') + m_id + QLatin1Char(')');
}
