#include "core/PBImageItemProvider.h"

#include "core/Uuid.h"

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data)
    : PBImageItemProvider(data, newUuidString())
{
}

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data, QString text)
    : PBPayloadItemProvider(std::move(text), data ? QVariant(*data) : QVariant(), {})
{
}
