#include "history/DragOut.h"

#include "capture/TaviPBManager.h"
#include "shell/AppActivation.h"

#include <QDrag>
#include <QMimeData>
#include <QWidget>

namespace DragOut {

void start(QWidget *source, TaviPBManager &manager, const QList<PBItem> &items,
           const std::optional<PBCategory> &category)
{
    if (items.isEmpty())
        return;
    std::unique_ptr<QMimeData> mime = manager.mimeDataForDrag(items, category);
    if (!mime)
        return;
    auto *drag = new QDrag(source);
    drag->setMimeData(mime.release());
    drag->exec(Qt::CopyAction);
    // Whatever the drop did, the program under the pointer stays in front.
    AppActivation::hide();
    AppActivation::unhideWithoutActivation();
}

} // namespace DragOut
