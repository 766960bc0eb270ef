#include "history/TextContentViewController.h"

#include "core/HtmlReading.h"
#include "core/TaviSettings.h"
#include "platform/Log.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A browser that never fetches what a document names: no image, file or address is loaded.
class NoResourceBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

QFont systemFont(int pixelSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    return font;
}

QString shownText(const QString &text)
{
    if (text.size() <= TextContentViewController::kShownCharacters)
        return text;
    return text.left(TextContentViewController::kShownCharacters) + QStringLiteral("\n\u2026");
}

} // namespace

TextContentViewController::TextContentViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TextContentViewController"));
    auto *browser = new NoResourceBrowser(this);
    // The document itself would read local files named in copied HTML: it refuses them too.
    browser->setDocument(new SafeTextDocument(browser));
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    browser->setFrameShape(QFrame::NoFrame);
    browser->setFocusPolicy(Qt::NoFocus);
    contentTextView = browser;
    contentTextView->setObjectName(QStringLiteral("contentTextView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(contentTextView);
}

QSizeF TextContentViewController::measure(const QString &text, const QFont &font)
{
    QTextDocument document;
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setPlainText(text.left(kMeasuredCharacters));
    document.setTextWidth(kMaxWidth);
    const QSizeF size(document.idealWidth(), document.size().height());
    return {std::min<qreal>(size.width(), kMaxWidth), std::min<qreal>(size.height(), kMaxHeight)};
}

void TextContentViewController::applySize(const QSizeF &used)
{
    textHeightConstraint = int(std::ceil(used.height()));
    textWidthConstraint = used.width() < textWidthConstraint ? int(std::ceil(used.width())) + 10 : kMaxWidth;
    // The browser's own margins come on top of the text's size.
    const int frame = 2 * int(contentTextView->document()->documentMargin()) + 4;
    contentTextView->setFixedSize(textWidthConstraint + frame, textHeightConstraint + frame);
}

void TextContentViewController::configure(const PBItemProvider &provider)
{
    contentTextView->clear();
    if (const auto *text = provider.as<PBTextItemProvider>()) {
        const QString plain = text->representedText();
        const bool rich = !TaviSettings::shared().alwaysCopyPlainText();
        const QVariant richData = text->accosicatedData();
        if (rich && richData.toByteArray().size() <= kMaxRichBytes) {
            const auto fragment = text->attributedString();
            if (!fragment)
                return;
            contentTextView->document()->setDefaultFont(systemFont(12));
            contentTextView->setHtml(fragment->toHtml());
            applySize(measure(fragment->toPlainText(), systemFont(12)));
            return;
        }
        if (rich)
            LOG_INFO(
                "TextContentViewController.configure",
                QStringLiteral("Rich text of %1 bytes previewed as plain text").arg(richData.toByteArray().size()));
        contentTextView->document()->setDefaultFont(systemFont(12));
        contentTextView->setPlainText(shownText(plain));
        applySize(measure(plain, systemFont(12)));
        return;
    }
    if (const auto *other = provider.as<PBOtherItemProvider>()) {
        const QString plain = other->representedText();
        contentTextView->document()->setDefaultFont(systemFont(16));
        contentTextView->setPlainText(shownText(plain));
        applySize(measure(plain, systemFont(16)));
    }
}
