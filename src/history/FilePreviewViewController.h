#pragma once
// The preview of a copied file: an image scaled into 480 x 480, a PDF's first page, a text
// file's first 64 KiB, and for anything else (or a file that is gone or unreadable) a large icon
// with its name, size and type. Files are read off the GUI thread; a result for a file asked
// before the latest one is dropped. GUI thread.

#include <QImage>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

class FilePreviewViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBox = 480;
    static constexpr qint64 kTextBytes = 64 * 1024;

    // What a file shows, as read off the GUI thread.
    struct Content {
        enum class Kind { image, pdf, text, card } kind = Kind::card;
        QImage image;
        QString text;
        QString name;
        qint64 size = -1;
        QString type;
        bool missing = false;
    };

    explicit FilePreviewViewController(QWidget *parent = nullptr);

    void configure(const QUrl &fileURL);
    // Reads what the file at the URL shows. Any thread.
    static Content read(const QUrl &fileURL);

    QUrl fileUrl;
    bool isLoading() const { return m_loading; }
    const Content &content() const { return m_content; }

Q_SIGNALS:
    void previewUpdated();

private:
    void updatePreview(const Content &content);

    QLabel *m_image = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_details = nullptr;
    Content m_content;
    quint64 m_request = 0;
    bool m_loading = false;
};
