#include "history/FilePreviewViewController.h"

#include "core/FileIcon.h"
#include "history/ImagePreviewViewController.h"
#include "history/PdfRenderer.h"
#include "platform/DispatchQueue.h"
#include "platform/LoadableModule.h"
#include "platform/LockedFiles.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringDecoder>
#include <QVBoxLayout>

FilePreviewViewController::FilePreviewViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FilePreviewViewController"));
    m_image = new QLabel(this);
    m_image->setAlignment(Qt::AlignCenter);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setFocusPolicy(Qt::NoFocus);
    m_text->setFixedSize(kBox, kBox);
    m_icon = new QLabel(this);
    m_icon->setAlignment(Qt::AlignCenter);
    m_details = new QLabel(this);
    m_details->setAlignment(Qt::AlignCenter);
    m_details->setTextFormat(Qt::PlainText);
    m_details->setWordWrap(true);
    m_details->setMinimumWidth(240);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_image);
    layout->addWidget(m_text);
    layout->addWidget(m_icon);
    layout->addWidget(m_details);
    m_image->hide();
    m_text->hide();
}

FilePreviewViewController::Content FilePreviewViewController::read(const QUrl &fileURL)
{
    Content content;
    const QString path = fileURL.isLocalFile() ? fileURL.toLocalFile() : QString();
    const QFileInfo info(path);
    content.name = info.fileName().isEmpty() ? fileURL.fileName() : info.fileName();
    if (path.isEmpty() || !info.exists() || !info.isReadable()) {
        content.missing = true;
        LOG_INFO("FilePreviewViewController.read",
                 QStringLiteral("A copied file is gone or unreadable; its card is shown"));
        return content;
    }
    content.size = info.isFile() ? info.size() : -1;
    // A database this process has open (a copy of the history's own file, say) is never opened
    // here: closing the descriptor would drop the locks the store's connections hold on it.
    const bool locked = LockedFiles::isHeld(path);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(info, locked ? QMimeDatabase::MatchExtension : QMimeDatabase::MatchDefault);
    content.type = mime.comment();
    if (info.isDir() || locked)
        return content;
    if (QImageReader(path).canRead()) {
        content.image = ImagePreviewViewController::decodeFileForPreview(path);
        if (!content.image.isNull()) {
            content.kind = Content::Kind::image;
            return content;
        }
        LOG_INFO("FilePreviewViewController.read", QStringLiteral("An image file does not decode; its card is shown"));
        return content;
    }
    if (mime.inherits(QStringLiteral("application/pdf"))) {
        // On this worker thread: the first PDF loads the module and maps Qt PDF's libraries.
        if (const QFunctionPointer entry = LoadableModule::entry(QString::fromLatin1(kPdfModule), kPdfRendererEntry)) {
            content.image = reinterpret_cast<PdfRendererEntry>(entry)()->firstPage(path, [](const QSize &page) {
                return ImagePreviewViewController::fittedSize(page.scaled(kBox, kBox, Qt::KeepAspectRatio));
            });
            if (!content.image.isNull()) {
                content.kind = Content::Kind::pdf;
                return content;
            }
        }
        LOG_INFO("FilePreviewViewController.read", QStringLiteral("A PDF file does not render; its card is shown"));
        return content;
    }
    if (mime.inherits(QStringLiteral("text/plain"))) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray start = file.read(kTextBytes);
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            content.text = decoder(start);
            content.kind = Content::Kind::text;
        }
    }
    return content;
}

void FilePreviewViewController::configure(const QUrl &fileURL)
{
    fileUrl = fileURL;
    const quint64 request = ++m_request;
    m_loading = true;
    setWindowTitle(fileURL.fileName());
    if (window() != this)
        window()->setWindowTitle(fileURL.fileName());
    const QPointer<FilePreviewViewController> self(this);
    GlobalQueue::async([self, fileURL, request] {
        Content content = read(fileURL);
        MainQueue::async([self, request, content] {
            if (self && self->m_request == request)
                self->updatePreview(content);
        });
    });
}

void FilePreviewViewController::updatePreview(const Content &content)
{
    m_loading = false;
    m_content = content;
    m_image->setVisible(content.kind == Content::Kind::image || content.kind == Content::Kind::pdf);
    m_text->setVisible(content.kind == Content::Kind::text);
    m_icon->setVisible(content.kind == Content::Kind::card);
    m_details->setVisible(content.kind == Content::Kind::card);
    switch (content.kind) {
    case Content::Kind::image:
    case Content::Kind::pdf:
        m_image->setPixmap(QPixmap::fromImage(content.image));
        m_image->setFixedSize(content.image.size());
        break;
    case Content::Kind::text: m_text->setPlainText(content.text); break;
    case Content::Kind::card: {
        const auto icon = fileIcon(fileUrl.toString());
        m_icon->setPixmap(icon ? icon->pixmap(128, 128) : QPixmap());
        QStringList lines{content.name};
        if (content.missing) {
            lines.append(L("Category.Preview.FileMissing"));
        } else {
            if (content.size >= 0)
                lines.append(QLocale().formattedDataSize(content.size));
            if (!content.type.isEmpty())
                lines.append(content.type);
        }
        m_details->setText(lines.join(QLatin1Char('\n')));
        break;
    }
    }
    adjustSize();
    if (window() != this)
        window()->adjustSize();
    Q_EMIT previewUpdated();
}
