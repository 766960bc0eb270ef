#include "history/ItemSheets.h"

#include "capture/TaviPBManager.h"
#include "controls/SpinningProgressIndicatorLayer.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/Strings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void makeSheet(QDialog *sheet, const char *objectName, const char *titleKey)
{
    sheet->setObjectName(QString::fromLatin1(objectName));
    sheet->setWindowTitle(L(titleKey));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
}

QDialogButtonBox *buttons(QDialog *sheet, const char *acceptKey)
{
    auto *box = new QDialogButtonBox(sheet);
    QPushButton *accept = box->addButton(L(acceptKey), QDialogButtonBox::AcceptRole);
    accept->setObjectName(QStringLiteral("saveButton"));
    accept->setDefault(true);
    QPushButton *cancel = box->addButton(L("Actions.Sheet.Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(box, &QDialogButtonBox::rejected, sheet, &QDialog::reject);
    return box;
}

} // namespace

// --- Text edit

TextEditViewController::TextEditViewController(TaviPBManager &manager, QWidget *parent)
    : QDialog(parent),
      m_manager(manager)
{
    makeSheet(this, "TextEditViewController", "Actions.EditText.title");
    editTextView = new QPlainTextEdit(this);
    editTextView->setObjectName(QStringLiteral("editTextView"));
    QDialogButtonBox *box = buttons(this, "Actions.Sheet.Save");
    connect(box, &QDialogButtonBox::accepted, this, &TextEditViewController::saveEditedItemText);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(editTextView, 1);
    layout->addWidget(box);
    resize(420, 300);
}

void TextEditViewController::setItem(const PBItem &edited)
{
    item = edited;
    if (edited.dataProvider())
        editTextView->setPlainText(edited.dataProvider()->representedText());
}

void TextEditViewController::saveEditedItemText()
{
    if (!item)
        return;
    const QPointer<TextEditViewController> self(this);
    bool stored = false;
    m_manager.updateText(*item, editTextView->toPlainText(), [&stored] { stored = true; });
    if (!stored) {
        // The item was deleted meanwhile (by another window): nothing to save into.
        LOG_INFO("saveEditedItemText()", QStringLiteral("The edited item is gone from the history"));
        close();
        return;
    }
    if (textDidEdit)
        textDidEdit();
    if (self)
        accept();
}

// --- Comment

AddCommentVC::AddCommentVC(TaviPBManager &manager, QWidget *parent) : QDialog(parent), m_manager(manager)
{
    makeSheet(this, "AddCommentVC", "Actions.Comment.title");
    commentTextfield = new QLineEdit(this);
    commentTextfield->setObjectName(QStringLiteral("commentTextfield"));
    commentTextfield->setPlaceholderText(L("Category.List.Menu.AddComment"));
    commentTextfield->setMaxLength(kMaxLength);
    commentTextfield->setMinimumWidth(320);
    QDialogButtonBox *box = buttons(this, "Actions.Sheet.Save");
    connect(box, &QDialogButtonBox::accepted, this, &AddCommentVC::saveAction);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(commentTextfield);
    layout->addWidget(box);
}

void AddCommentVC::setItem(const PBItem &commented)
{
    item = commented;
    if (commented.comment())
        commentTextfield->setText(*commented.comment());
}

std::optional<QString> AddCommentVC::commentFrom(const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar &c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    line = line.trimmed().left(kMaxLength);
    if (line.isEmpty())
        return std::nullopt;
    return line;
}

void AddCommentVC::saveAction()
{
    if (!item)
        return;
    const QPointer<AddCommentVC> self(this);
    m_manager.updateComment(*item, commentFrom(commentTextfield->text()), [this, self] {
        if (self && didAddComment)
            didAddComment();
    });
    if (self)
        accept();
}

// --- Recognised text

ImageOCRResultVC::ImageOCRResultVC(Pasteboard &pasteboard, QWidget *parent) : QDialog(parent), m_pasteboard(pasteboard)
{
    makeSheet(this, "ImageOCRResultVC", "Actions.OCR.title");
    m_waiting = new QWidget(this);
    m_waiting->setObjectName(QStringLiteral("waiting"));
    m_spinner = new SpinningProgressIndicatorLayer(m_waiting);
    m_spinner->setFixedSize(32, 32);
    m_spinner->setForeColor(palette().color(QPalette::WindowText));
    m_progressLabel = new QLabel(L("Actions.OCR.Recognising"), m_waiting);
    m_progressLabel->setObjectName(QStringLiteral("progressLabel"));
    auto *waitingLayout = new QVBoxLayout(m_waiting);
    waitingLayout->addStretch();
    waitingLayout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    waitingLayout->addWidget(m_progressLabel, 0, Qt::AlignHCenter);
    waitingLayout->addStretch();

    resultTextView = new QPlainTextEdit(this);
    resultTextView->setObjectName(QStringLiteral("resultTextView"));
    resultTextView->hide();

    auto *box = new QDialogButtonBox(this);
    m_copyButton = box->addButton(L("Actions.OCR.Copy"), QDialogButtonBox::AcceptRole);
    m_copyButton->setObjectName(QStringLiteral("copyButton"));
    m_copyButton->setEnabled(false);
    m_closeButton = box->addButton(L("Actions.Sheet.Cancel"), QDialogButtonBox::RejectRole);
    m_closeButton->setObjectName(QStringLiteral("cancelButton"));
    connect(box, &QDialogButtonBox::accepted, this, &ImageOCRResultVC::copyToPasteboardAction);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_waiting, 1);
    layout->addWidget(resultTextView, 1);
    layout->addWidget(box);
    resize(420, 300);
    m_spinner->startProgressAnimation();
}

ImageOCRResultVC::~ImageOCRResultVC() { m_cancel->store(true); }

void ImageOCRResultVC::setProgress(int percent)
{
    m_spinner->setDeterminate(true);
    m_spinner->setMaxValue(100);
    m_spinner->setDoubleValue(std::clamp(percent, 0, 100));
    m_progressLabel->setText(L("Actions.OCR.Progress").arg(std::clamp(percent, 0, 100)));
}

void ImageOCRResultVC::setResult(const QString &text)
{
    result = text;
    m_spinner->stopProgressAnimation();
    m_waiting->hide();
    resultTextView->setPlainText(text);
    resultTextView->show();
    m_copyButton->setEnabled(true);
    m_copyButton->setDefault(true);
    // Nothing runs any more that the button would cancel.
    m_closeButton->setText(L("Actions.Sheet.Close"));
}

bool ImageOCRResultVC::isWaiting() const { return !result.has_value(); }

void ImageOCRResultVC::copyToPasteboardAction()
{
    if (isWaiting())
        return;
    PasteboardItem item;
    item.setString(PasteboardType::string, resultTextView->toPlainText());
    m_pasteboard.clear();
    m_pasteboard.write({item});
    accept();
}

void ImageOCRResultVC::done(int code)
{
    m_cancel->store(true);
    QDialog::done(code);
}
