#include "core/sync/SyncSegment.h"

#include "core/sync/SyncFolder.h"

#include <QJsonDocument>
#include <QtEndian>

namespace SyncSegment {

QByteArray seal(const SyncKey &key, const QString &device, const QString &name, const QJsonObject &content)
{
    const QByteArray plain = qCompress(QJsonDocument(content).toJson(QJsonDocument::Compact), 3);
    return key.seal(plain, SyncFolder::associatedData(device, name));
}

std::optional<QJsonObject> open(const SyncKey &key, const QString &device, const QString &name, const QByteArray &bytes,
                                OpenError *error)
{
    auto fail = [error](OpenError reason) -> std::optional<QJsonObject> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const std::optional<QByteArray> plain = key.open(bytes, SyncFolder::associatedData(device, name));
    if (!plain)
        return fail(OpenError::Unreadable);
    // qUncompress trusts the length in the first four bytes: check it first.
    if (plain->size() < 4 || qFromBigEndian<quint32>(plain->constData()) > quint32(kMaxPlainBytes))
        return fail(OpenError::Malformed);
    const QByteArray json = qUncompress(*plain);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(OpenError::Malformed);
    const QJsonObject object = document.object();
    const int format = object.value(QStringLiteral("format")).toInt();
    if (format > SyncFolder::kFormat)
        return fail(OpenError::NewerFormat);
    if (format < 1 || object.value(QStringLiteral("device")).toString() != device)
        return fail(OpenError::Malformed);
    if (error)
        *error = OpenError::None;
    return object;
}
} // namespace SyncSegment
