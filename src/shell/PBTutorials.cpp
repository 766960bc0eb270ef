#include "shell/PBTutorials.h"

namespace Tutorials {

QList<PBTutorials> allCases()
{
    return {PBTutorials::sideBar, PBTutorials::drag, PBTutorials::click, PBTutorials::tag, PBTutorials::autoTag};
}

QString rawValue(PBTutorials page)
{
    switch (page) {
    case PBTutorials::sideBar: return QStringLiteral("sideBar");
    case PBTutorials::drag: return QStringLiteral("drag");
    case PBTutorials::click: return QStringLiteral("click");
    case PBTutorials::tag: return QStringLiteral("tag");
    case PBTutorials::autoTag: return QStringLiteral("autoTag");
    }
    return {};
}

std::optional<PBTutorials> fromRawValue(const QString &value)
{
    for (PBTutorials page : allCases())
        if (rawValue(page) == value)
            return page;
    return std::nullopt;
}

} // namespace Tutorials
