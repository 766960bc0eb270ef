// The PDF module: a first page through Qt PDF, a document of its own for each file.

#include "history/PdfRenderer.h"

#include <QPdfDocument>

namespace {

class PdfFirstPage final : public PdfRenderer {
public:
    QImage firstPage(const QString &path, const std::function<QSize(const QSize &points)> &renderSize) override
    {
        QPdfDocument document;
        if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
            return {};
        return document.render(0, renderSize(document.pagePointSize(0).toSize()));
    }
};

} // namespace

extern "C" Q_DECL_EXPORT PdfRenderer *taviPdfRenderer()
{
    static PdfFirstPage renderer;
    return &renderer;
}
