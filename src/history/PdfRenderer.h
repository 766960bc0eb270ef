#pragma once
// What renders a PDF's first page for the file preview: made by the PDF module (the only code
// linking Qt PDF), loaded on the first PDF shown. Any thread.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class PdfRenderer {
public:
    virtual ~PdfRenderer() = default;
    // The first page of the file at the size `renderSize` gives for its size in points; null when
    // the file does not load, has no page or does not render.
    virtual QImage firstPage(const QString &path, const std::function<QSize(const QSize &points)> &renderSize) = 0;
};

using PdfRendererEntry = PdfRenderer *(*)();
inline constexpr char kPdfModule[] = "pdf";
inline constexpr char kPdfRendererEntry[] = "taviPdfRenderer";
