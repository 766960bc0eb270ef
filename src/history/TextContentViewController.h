#pragma once
// The preview of a text (plain, or rich while "copyPlainText" is off) and of an other-kind clip
// shown as text. The area is measured on the text's start in a 400 x 260 box: a short line gets
// a narrow area, anything wider the full 400. Copied HTML never loads what it names. GUI thread.

#include "core/PBItemProvider.h"

#include <QWidget>

class QTextBrowser;

class TextContentViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxWidth = 400;
    static constexpr int kMaxHeight = 260;
    // Only this start of a text is measured and shown; rich data beyond kMaxRichBytes shows plain.
    static constexpr int kMeasuredCharacters = 4000;
    static constexpr int kShownCharacters = 20000;
    static constexpr int kMaxRichBytes = 256 * 1024;

    explicit TextContentViewController(QWidget *parent = nullptr);

    // Another provider kind empties the view.
    void configure(const PBItemProvider &provider);

    QTextBrowser *contentTextView = nullptr;
    // The text area's size: measured width (the previous one is the reference) and height.
    int textWidthConstraint = 300;
    int textHeightConstraint = 0;

    // The used size of the text laid out in the 400 x 260 box with this font.
    static QSizeF measure(const QString &text, const QFont &font);

private:
    void applySize(const QSizeF &used);
};
