#pragma once
// The note editor's text view: shows a localized placeholder while its text is empty, with or
// without focus. GUI thread.

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QTextEdit>

#include <optional>

class NoteTextView : public QTextEdit {
    Q_OBJECT
public:
    struct Placeholder {
        QString text;
        QColor color;
        QFont font;
    };

    explicit NoteTextView(QWidget *parent = nullptr);

    std::optional<Placeholder> placeholderAttributedString;
    QMargins placeholderInsets{4, 0, 8, 0}; // left, top, right, bottom

    // Whether the placeholder is drawn now.
    bool showsPlaceholder() const;
    // Where the placeholder goes within area.
    QRectF placeholderRect(const QRectF &area) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
};
