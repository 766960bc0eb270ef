#include "history/CategoryNoteWindowController.h"

#include "capture/TaviPBManager.h"
#include "controls/NoteTextView.h"
#include "core/Alert.h"
#include "core/PBNoteItemProvider.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

CategoryNoteWindowController::CategoryNoteWindowController(TaviPBManager &manager, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_manager(manager)
{
    setObjectName(QStringLiteral("CategoryNoteWindowController"));
    setWindowTitle(L("Actions.Note.title"));
    setAttribute(Qt::WA_DeleteOnClose);
    noteTitleTextfield = new QLineEdit(this);
    noteTitleTextfield->setObjectName(QStringLiteral("noteTitleTextfield"));
    noteTitleTextfield->setPlaceholderText(L("Actions.Note.TitlePlaceholder"));
    QFont titleFont = noteTitleTextfield->font();
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    noteTitleTextfield->setFont(titleFont);
    noteContentTextView = new NoteTextView(this);
    noteContentTextView->setObjectName(QStringLiteral("noteContentTextView"));
    noteContentTextView->setAcceptRichText(false);
    linesCountLabel = new QLabel(this);
    linesCountLabel->setObjectName(QStringLiteral("linesCountLabel"));
    charactersCountLabel = new QLabel(this);
    charactersCountLabel->setObjectName(QStringLiteral("charactersCountLabel"));
    wordsCountLabel = new QLabel(this);
    wordsCountLabel->setObjectName(QStringLiteral("wordsCountLabel"));
    autoSavedLabel = new QLabel(this);
    autoSavedLabel->setObjectName(QStringLiteral("autoSavedLabel"));
    autoSavedLabel->hide();
    saveNoteBtn = new QPushButton(L("Actions.Sheet.Save"), this);
    saveNoteBtn->setObjectName(QStringLiteral("saveNoteBtn"));
    saveNoteBtn->setDefault(true);
    cancelNoteBtn = new QPushButton(L("Actions.Sheet.Cancel"), this);
    cancelNoteBtn->setObjectName(QStringLiteral("cancelNoteBtn"));
    autoSaveTimer = new QTimer(this);
    autoSaveTimer->setSingleShot(true);

    auto *counts = new QHBoxLayout;
    for (const auto &[key, label] :
         {std::pair{"Actions.Note.Lines", linesCountLabel}, std::pair{"Actions.Note.Characters", charactersCountLabel},
          std::pair{"Actions.Note.Words", wordsCountLabel}}) {
        auto *name = new QLabel(L(key), this);
        name->setEnabled(false);
        counts->addWidget(name);
        counts->addWidget(label);
        counts->addSpacing(10);
    }
    counts->addStretch();
    counts->addWidget(autoSavedLabel);
    auto *actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(cancelNoteBtn);
    actions->addWidget(saveNoteBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(noteTitleTextfield);
    layout->addWidget(noteContentTextView, 1);
    layout->addLayout(counts);
    layout->addLayout(actions);
    resize(520, 460);

    auto *save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    save->setContext(Qt::WindowShortcut);
    connect(save, &QShortcut::activated, this, &CategoryNoteWindowController::saveNote);
    connect(saveNoteBtn, &QPushButton::clicked, this, &CategoryNoteWindowController::saveNote);
    connect(cancelNoteBtn, &QPushButton::clicked, this, &CategoryNoteWindowController::closeWithoutAsking);
    connect(noteContentTextView, &QTextEdit::textChanged, this, &CategoryNoteWindowController::textDidChange);
    connect(noteTitleTextfield, &QLineEdit::textEdited, this, [this] { m_dirty = true; });
    connect(autoSaveTimer, &QTimer::timeout, this, &CategoryNoteWindowController::autoSave);
    m_counter = new NoteCounter(*noteContentTextView->document(), this);
    connect(m_counter, &NoteCounter::countsChanged, this, &CategoryNoteWindowController::showCounts);
    showCounts(m_counter->counts());
}

CategoryNoteWindowController::~CategoryNoteWindowController() = default;

void CategoryNoteWindowController::edit(const PBItem &note)
{
    isUpdated = true;
    item = note;
    const auto &provider = note.dataProvider();
    if (const auto *noteProvider = provider ? provider->as<PBNoteItemProvider>() : nullptr) {
        noteTitleTextfield->setText(noteProvider->representedText());
        if (const auto body = noteProvider->body())
            noteContentTextView->setPlainText(*body);
    }
    m_dirty = false;
    autoSaveTimer->stop();
}

void CategoryNoteWindowController::textDidChange()
{
    m_dirty = true;
    if (TaviSettings::shared().enableAutoSaveNote())
        autoSaveTimer->start(autoSaveTimeInterval);
}

void CategoryNoteWindowController::showCounts(const NoteCounts &counts)
{
    m_shown = counts;
    linesCountLabel->setText(QString::number(counts.lines));
    charactersCountLabel->setText(QString::number(counts.characters));
    wordsCountLabel->setText(QString::number(counts.words));
}

bool CategoryNoteWindowController::isEmpty() const
{
    return noteTitleTextfield->text().isEmpty() && noteContentTextView->document()->isEmpty();
}

void CategoryNoteWindowController::autoSave()
{
    const QString title = noteTitleTextfield->text();
    const QString body = noteContentTextView->toPlainText();
    if (title.isEmpty() && body.isEmpty())
        return;
    if (writeNote(title, body) == NoteWrite::refused)
        return;
    m_dirty = false;
    const QString when = QLocale().toString(QDateTime::currentDateTime(), QLocale::LongFormat);
    autoSavedLabel->setText(L("Note.AutoSave.Title").arg(when));
    autoSavedLabel->show();
}

void CategoryNoteWindowController::saveNote()
{
    const QString title = noteTitleTextfield->text();
    const QString body = noteContentTextView->toPlainText();
    if (title.isEmpty() || body.isEmpty()) {
        showAlert(L("Note.Alert.MissingDetails.title"),
                  L(title.isEmpty() ? "Note.Alert.Title.message" : "Note.Alert.Content.message"),
                  L("Note.Alert.confirm"));
        return;
    }
    const NoteWrite written = writeNote(title, body);
    if (written == NoteWrite::refused)
        return;
    Analytics::trackEvent(written == NoteWrite::added ? QStringLiteral("Note_Add") : QStringLiteral("Note_Edit"));
    m_dirty = false;
    closeWithoutAsking();
}

CategoryNoteWindowController::NoteWrite CategoryNoteWindowController::writeNote(const QString &title,
                                                                                const QString &body)
{
    if (!isUpdated || !item) {
        item = m_manager.addNote(title, body);
        isUpdated = true;
        return NoteWrite::added;
    }
    auto provider = PBNoteItemProvider::make(title, body);
    if (!provider)
        return NoteWrite::refused;
    item->setDataProvider(std::move(*provider));
    m_manager.updateNote(*item);
    return NoteWrite::updated;
}

void CategoryNoteWindowController::escape()
{
    Analytics::trackEvent(QStringLiteral("NotePage_ESC"));
    if (isEmpty() || confirmDiscard())
        closeWithoutAsking();
}

bool CategoryNoteWindowController::confirmDiscard()
{
    bool discard = false;
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.NoteExitWithContent.message"),
                         L("Note.Alert.Discard"), L("Category.Alert.NO"), nullptr, [&discard](ModalResponse response) {
                             discard = response == ModalResponse::alertFirstButtonReturn;
                         });
    return discard;
}

void CategoryNoteWindowController::closeWithoutAsking()
{
    m_closing = true;
    close();
}

void CategoryNoteWindowController::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escape();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CategoryNoteWindowController::closeEvent(QCloseEvent *event)
{
    // Closed by the window's own button with unsaved text: ask as Escape does.
    if (!m_closing && m_dirty && !isEmpty() && !confirmDiscard()) {
        event->ignore();
        return;
    }
    autoSaveTimer->stop();
    if (willCloseBlock)
        willCloseBlock(this);
    QWidget::closeEvent(event);
}
