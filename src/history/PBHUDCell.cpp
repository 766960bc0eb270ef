#include "history/PBHUDCell.h"

#include "capture/ItemTitle.h"
#include "core/TaviSettings.h"
#include "platform/Strings.h"

#include <algorithm>

namespace {

// The rows that have a digit hot key: never more than the nine digits.
int digitKeyRows() { return std::clamp(TaviSettings::shared().menuHistoryCapacity(), 0, 9); }

// The key that pastes the row Return would paste, as the keyboard names it.
QString returnKeyName() { return L("Key.Enter"); }

void setNamed(PasteItemRow &icon, const QString &name)
{
    icon.icon = PasteItemRow::IconSource::named;
    icon.iconKey = name;
}

} // namespace

void PBHUDCell::configureHUDCell(const PBItem &item, int row, bool isSearchMode)
{
    uuid = item.uuid();
    // One line: the row is too low for more, and a newline would hide the rest.
    text = item.dataProvider() ? itemTitle(item, kMaxTextLength).trimmed() : QStringLiteral("--");
    isSearchingMode = isSearchMode;
    currentIndex = row;
    if (!isSearchMode) {
        // The digit hot key as the user presses it: "Super+1", "Alt+1" or "Ctrl+1".
        shortCutStr =
            symbol(TaviSettings::shared().historyQuickSelectionKey()) + QLatin1Char('+') + QString::number(row + 1);
        const QString hint = row == 0
                                 ? shortCutStr + QLatin1Char(' ') + L("PBHUD.OR") + QLatin1Char(' ') + returnKeyName()
                                 : shortCutStr;
        shortcutLabel = row < digitKeyRows() ? hint : QString();
    } else {
        shortcutLabel = row == 0 ? returnKeyName() : QString();
    }
    describeIcon(item);
}

void PBHUDCell::updateShortcutLabel()
{
    const int capacity = digitKeyRows();
    if (isSearchingMode)
        shortcutLabel = isSelected ? returnKeyName() : QString();
    else if (isSelected)
        shortcutLabel = currentIndex >= capacity
                            ? returnKeyName()
                            : shortCutStr + QLatin1Char(' ') + L("PBHUD.OR") + QLatin1Char(' ') + returnKeyName();
    else
        shortcutLabel = currentIndex < capacity ? shortCutStr : QString();
}

void PBHUDCell::describeIcon(const PBItem &item)
{
    // A row described again for another item must not keep the last one's icon.
    icon = PasteItemRow();
    icon.uuid = item.uuid();
    needsStoredImage = false;
    const auto &provider = item.dataProvider();
    for (const PBCategory &category : item.categories()) {
        switch (category.type()) {
        case PBDefaultCategory::text:
        case PBDefaultCategory::other:
            if (const auto &app = item.sourceApp(); app && app->bundleId && !app->bundleId->isEmpty()) {
                icon.icon = PasteItemRow::IconSource::application;
                icon.iconKey = *app->bundleId;
            }
            break;
        case PBDefaultCategory::link:
            setNamed(icon, QStringLiteral("website_default"));
            if (provider) {
                // The site's icon, shown in place of the placeholder once it is in.
                const QUrl favicon = provider->accosicatedData().toUrl();
                if (favicon.isValid() && !favicon.isEmpty()) {
                    icon.icon = PasteItemRow::IconSource::favicon;
                    icon.iconKey = favicon.toString();
                }
            }
            break;
        case PBDefaultCategory::image:
            if (const auto *file = provider ? provider->as<PBFileItemProvider>() : nullptr) {
                icon.icon = PasteItemRow::IconSource::fileThumbnail;
                icon.iconKey = file->url().toString();
            } else if (provider) {
                icon.icon = PasteItemRow::IconSource::imageData;
                icon.iconData = provider->accosicatedData().toByteArray();
                // Lists leave large images out: those are read from the store for it.
                needsStoredImage = icon.iconData.isEmpty();
            }
            break;
        case PBDefaultCategory::file:
            if (const auto *file = provider ? provider->as<PBFileItemProvider>() : nullptr) {
                icon.icon = PasteItemRow::IconSource::fileIcon;
                icon.iconKey = file->url().toString();
            }
            break;
        case PBDefaultCategory::note: setNamed(icon, QStringLiteral("noteIcon")); break;
        case PBDefaultCategory::email: setNamed(icon, QStringLiteral("email")); break;
        case PBDefaultCategory::unknown:
        case PBDefaultCategory::custom:
        case PBDefaultCategory::all: break;
        }
    }
}
