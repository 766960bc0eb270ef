#include "core/PBItemProvider.h"

QString PBItemProvider::representedText() const
{
    return std::visit([](const auto &provider) { return QString(provider.representedText()); }, m_provider);
}

QVariant PBItemProvider::accosicatedData() const
{
    return std::visit([](const auto &provider) { return QVariant(provider.accosicatedData()); }, m_provider);
}

const PasteboardDataMap &PBItemProvider::pasteboardData() const
{
    return std::visit([](const auto &provider) -> const PasteboardDataMap & { return provider.pasteboardData(); },
                      m_provider);
}

void PBItemProvider::setPasteboardData(const PasteboardDataMap &data)
{
    std::visit([&](auto &provider) { provider.setPasteboardData(data); }, m_provider);
}

bool PBItemProvider::matches(const QStringList &keywords) const
{
    return std::visit([&](const auto &provider) { return provider.matches(keywords); }, m_provider);
}
