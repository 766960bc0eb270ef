#pragma once
// The pages of the welcome window, in page order; each raw value is also the page's scene
// identifier in the "Welcome" storyboard.

#include <QList>
#include <QString>

#include <optional>

enum class PBTutorials { sideBar, drag, click, tag, autoTag };

namespace Tutorials {
QList<PBTutorials> allCases();
QString rawValue(PBTutorials page);
// Exactly the five raw values; nothing for any other text.
std::optional<PBTutorials> fromRawValue(const QString &rawValue);
} // namespace Tutorials
