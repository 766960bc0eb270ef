#include "history/DragOut.h"

#include "core/TaviSettings.h"
#include "platform/Log.h"
#include "platform/x11/ClipboardFormats.h"
#include "shell/AppActivation.h"

#include <QDrag>
#include <QMimeData>
#include <QWidget>

namespace DragOut {

PasteboardItem pasteboardItem(const PBItem &item, PBDefaultCategory listKind)
{
    PasteboardItem pasteboardItem;
    if (!item.dataProvider())
        return pasteboardItem;
    const auto &provider = *item.dataProvider();
    LOG_DEBUG("tableView(_:pasteboardWriterForRow:)", QStringLiteral("[>>] copy out item: %1").arg(rawValue(listKind)));
    const auto primary = item.primaryCategory();
    const auto kind = primary ? primary->type() : PBDefaultCategory::unknown;
    if (kind == PBDefaultCategory::text && TaviSettings::shared().alwaysCopyPlainText()) {
        LOG_DEBUG("tableView(_:pasteboardWriterForRow:)", QStringLiteral("   |- copy plain string: "));
        pasteboardItem.setString(PasteboardType::string, provider.representedText());
    } else if (const auto *note = provider.as<PBNoteItemProvider>(); listKind == PBDefaultCategory::note && note) {
        LOG_DEBUG("tableView(_:pasteboardWriterForRow:)", QStringLiteral("   |- copy note: "));
        pasteboardItem.setString(PasteboardType::string, note->body().value_or(QString()));
    } else if (!provider.pasteboardData().isEmpty()) {
        for (auto it = provider.pasteboardData().constBegin(); it != provider.pasteboardData().constEnd(); ++it) {
            LOG_DEBUG("tableView(_:pasteboardWriterForRow:)", QStringLiteral("   |- type: %1").arg(it.key()));
            pasteboardItem.setData(it.key(), it.value());
        }
    } else {
        LOG_DEBUG("tableView(_:pasteboardWriterForRow:)", QStringLiteral("   |- cast to string: "));
        pasteboardItem.setString(PasteboardType::string, provider.representedText());
    }
    return pasteboardItem;
}

std::unique_ptr<QMimeData> mimeData(const QList<PasteboardItem> &items)
{
    return ClipboardFormats::mimeDataForItems(items);
}

void start(QWidget *source, const QList<PasteboardItem> &items)
{
    QList<PasteboardItem> nonEmpty = items;
    nonEmpty.removeIf([](const PasteboardItem &item) { return item.isEmpty(); });
    if (nonEmpty.isEmpty())
        return;
    auto *drag = new QDrag(source);
    drag->setMimeData(mimeData(nonEmpty).release());
    drag->exec(Qt::CopyAction);
    // Whatever the drop did, the program under the pointer stays in front.
    AppActivation::hide();
    AppActivation::unhideWithoutActivation();
}

} // namespace DragOut
