#include "core/PBImageItemProvider.h"

#include "core/Uuid.h"

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data)
    : PBImageItemProvider(data, newUuidString())
{
}

PBImageItemProvider::PBImageItemProvider(const std::optional<QByteArray> &data, QString text)
    : m_representedText(std::move(text)), m_accosicatedData(data ? QVariant(*data) : QVariant())
{
}
