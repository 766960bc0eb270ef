#include "controls/NoteTextView.h"
#include "core/Alert.h"
#include "core/PBCategoryManager.h"
#include "core/PBNoteItemProvider.h"
#include "core/TaviSettings.h"
#include "history/CategoryNoteWindowController.h"
#include "history/CustomCategoryPickCellView.h"
#include "history/CustomCategoryPickViewController.h"
#include "history/ItemActions.h"
#include "history/ItemSheets.h"
#include "history/NoteCounter.h"
#include "history/TrashFilterView.h"
#include "platform/Strings.h"
#include "support/ShellHarness.h"
#include "ListWindowHarness.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <random>

#include <gtest/gtest.h>

namespace {

PBItem reread(ShellHarness &shell, const PBItem &item)
{
    for (const PBItem &stored : shell.manager->getAllItems()) {
        if (stored.uuid() == item.uuid())
            return stored;
    }
    return {};
}

} // namespace

TEST(ItemActionChecks, OnlyWebLinksOpenInTheBrowser)
{
    EXPECT_EQ(ItemActions::browserUrl(QStringLiteral(" https://example.com/a?b=1 ")),
              QUrl(QStringLiteral("https://example.com/a?b=1")));
    EXPECT_TRUE(ItemActions::browserUrl(QStringLiteral("HTTP://example.com")).has_value());
    for (const char *refused : {"javascript:alert(1)", "file:///etc/passwd", "tavi://open", "http://", "example.com",
                                "", "mailto:a@b.c", "data:text/html,<b>x</b>"})
        EXPECT_FALSE(ItemActions::browserUrl(QString::fromLatin1(refused)).has_value()) << refused;
}

TEST(ItemActionChecks, MailRecipientsCannotCarryAQueryOrAnAttachment)
{
    EXPECT_TRUE(ItemActions::isEmailAddress(QStringLiteral("first.last+tag@mail.example.org")));
    for (const char *refused :
         {"a@b.c?body=x&attach=/etc/passwd", "a@b", "a b@c.d", "a@b.c\nBcc: x@y.z", "@b.c", "a@b.c#x", "a%40b@c.d", ""})
        EXPECT_FALSE(ItemActions::isEmailAddress(QString::fromLatin1(refused))) << refused;

    const auto url = ItemActions::mailtoUrl(
        {QStringLiteral("a@b.c?body=x&attach=/etc/passwd"), QStringLiteral("x@y.org"), QStringLiteral("o'neil@z.net")});
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->scheme(), QStringLiteral("mailto"));
    EXPECT_FALSE(url->hasQuery());
    EXPECT_EQ(url->toString(QUrl::FullyEncoded), QStringLiteral("mailto:x@y.org,o%27neil@z.net"));
    EXPECT_FALSE(ItemActions::mailtoUrl({QStringLiteral("javascript:alert(1)")}).has_value());
}

TEST(NoteEditorCounts, LinesCharactersAndWords)
{
    EXPECT_EQ(NoteCounter::count(QStringLiteral("a b\nc")), (NoteCounts{2, 5, 3}));
    EXPECT_EQ(NoteCounter::count(QString()), (NoteCounts{0, 0, 0}));
    EXPECT_EQ(NoteCounter::count(QStringLiteral("   ")), (NoteCounts{1, 3, 0}));
    // CR LF is one line break and one character.
    EXPECT_EQ(NoteCounter::count(QStringLiteral("one\r\ntwo\n")), (NoteCounts{3, 8, 2}));
    // A flag and an accented letter made of two code points are one character each.
    EXPECT_EQ(NoteCounter::count(QStringLiteral("\U0001F1E9\U0001F1EA e\u0301")).characters, 3);
}

// The counts kept line by line through edits of every size equal a count of the whole text.
TEST(NoteEditorCounts, FollowEveryEditAsAWholeCountWould)
{
    QTextDocument document;
    NoteCounter counter(document);
    int announced = 0;
    QObject::connect(&counter, &NoteCounter::countsChanged, [&] { ++announced; });
    ASSERT_TRUE(waitUntil([&] { return !counter.isCounting(); }));
    EXPECT_EQ(counter.counts(), NoteCounts{});

    const QStringList pieces = {QStringLiteral("word"),
                                QStringLiteral(" "),
                                QStringLiteral("\n"),
                                QStringLiteral("\r\n"),
                                QStringLiteral("\u2028"),
                                QStringLiteral("e\u0301"),
                                QStringLiteral("\U0001F1E9\U0001F1EA"),
                                QStringLiteral("\t"),
                                QStringLiteral("\u00A0"),
                                QStringLiteral("\v")};
    std::mt19937 random(7);
    QString large;
    while (large.size() <= NoteCounter::kCountAtOnceUpTo)
        large += QStringLiteral("a long pasted line\n");
    for (int step = 0; step < 400; ++step) {
        QTextCursor cursor(&document);
        const int end = document.characterCount() - 1;
        cursor.setPosition(int(random() % (end + 1)));
        const unsigned action = random() % 10;
        if (step % 100 == 50) {
            cursor.insertText(large);
        } else if (action < 6) {
            cursor.insertText(pieces.at(int(random() % pieces.size())));
        } else if (action < 9) {
            cursor.setPosition(std::min(end, cursor.position() + int(random() % 6)), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else {
            document.undo();
        }
        // Edits go on for a while as a large paste is being counted, then the counting catches up.
        if (step % 100 == 60) {
            ASSERT_TRUE(waitUntil([&] { return !counter.isCounting(); }));
        }
        if (!counter.isCounting()) {
            ASSERT_EQ(counter.counts(), NoteCounter::count(document.toPlainText())) << "step " << step;
        }
    }
    ASSERT_TRUE(waitUntil([&] { return !counter.isCounting(); }));
    EXPECT_EQ(counter.counts(), NoteCounter::count(document.toPlainText()));
    EXPECT_GT(announced, 300);

    document.setPlainText(QString());
    ASSERT_TRUE(waitUntil([&] { return !counter.isCounting(); }));
    EXPECT_EQ(counter.counts(), NoteCounts{});
}

TEST(ClearFilterView, BoxesAndHeightFollowTheKindCleared)
{
    TrashFilterView view;
    view.setCategoryType(PBDefaultCategory::all);
    EXPECT_EQ(view.height(), 88);
    for (QCheckBox *box : {view.noteBtn, view.stickyBtn, view.lockBtn, view.customBtn})
        EXPECT_FALSE(box->isHidden());
    view.setCategoryType(PBDefaultCategory::text);
    EXPECT_EQ(view.height(), 44);
    EXPECT_TRUE(view.noteBtn->isHidden() || !view.noteBtn->isVisibleTo(&view));
    EXPECT_FALSE(view.customBtn->isHidden());

    // A user's category: only the pinned box shows; the category's own items are always included,
    // the boxes hidden count as off even when they were checked before.
    view.lockBtn->setChecked(true);
    view.customBtn->setChecked(false);
    view.setCategoryType(PBDefaultCategory::custom);
    EXPECT_EQ(view.height(), 22);
    EXPECT_TRUE(view.customBtn->isHidden());
    view.stickyBtn->setChecked(true);
    const auto options = view.clearOptions();
    EXPECT_TRUE(options.includeSticky);
    EXPECT_TRUE(options.includeCustom);
    EXPECT_FALSE(options.includeLock);
    EXPECT_FALSE(options.includeNotes);

    view.setCategoryType(PBDefaultCategory::text);
    EXPECT_FALSE(view.clearOptions().includeCustom);
    EXPECT_FALSE(view.clearOptions().includeLock);
    EXPECT_FALSE(view.clearOptions().includeNotes);
    // The notes category cleared: its notes are what goes, though its box is hidden.
    view.setCategoryType(PBDefaultCategory::note);
    EXPECT_TRUE(view.clearOptions().includeNotes);
}

TEST(CustomCategoryPicker, RowsTagAndUntagTheItem)
{
    ShellHarness shell;
    shell.copyText(QStringLiteral("tag me"));
    CustomCategoryPickViewController picker(*shell.manager);
    picker.pasteItem = shell.item(QStringLiteral("tag me"));
    picker.reloadData();
    EXPECT_EQ(picker.numberOfRows(), 0);
    EXPECT_EQ(picker.listHeight(), 4);

    addCustomCategory(shell, QStringLiteral("Work"));
    const PBCategory home = addCustomCategory(shell, QStringLiteral("Work"));
    addCustomCategory(shell, QStringLiteral("Later"));
    picker.reloadData();
    ASSERT_EQ(picker.numberOfRows(), 3);
    EXPECT_EQ(picker.listHeight(), 70);

    RecordedEvents events;
    int changed = 0;
    picker.pickChanged = [&changed] { ++changed; };
    picker.cellAt(1)->checkBtn->click();
    shell.settle();
    PBItem stored = reread(shell, *picker.pasteItem);
    EXPECT_TRUE(std::any_of(stored.categories().cbegin(), stored.categories().cend(),
                            [&](const PBCategory &c) { return c.id() == home.id(); }));
    // Of two categories with one name only the one the item carries is checked.
    picker.pasteItem = stored;
    picker.reloadData();
    EXPECT_FALSE(picker.cellAt(0)->checkBtn->isChecked());
    EXPECT_TRUE(picker.cellAt(1)->checkBtn->isChecked());

    picker.cellAt(1)->checkBtn->click();
    shell.settle();
    stored = reread(shell, stored);
    EXPECT_FALSE(std::any_of(stored.categories().cbegin(), stored.categories().cend(),
                             [&](const PBCategory &c) { return c.id() == home.id(); }));
    ASSERT_EQ(events.named(QStringLiteral("PasteItem_Action")).size(), 2);
    EXPECT_EQ(events.named(QStringLiteral("PasteItem_Action")).at(0).properties.value(QStringLiteral("action")),
              QStringLiteral("AddTag"));
    EXPECT_EQ(events.named(QStringLiteral("PasteItem_Action")).at(1).properties.value(QStringLiteral("action")),
              QStringLiteral("RemoveTag"));
    picker.show();
    picker.hide();
    EXPECT_EQ(changed, 1);
}

TEST(ItemSheets, EditedTextAndCommentsAreStored)
{
    ShellHarness shell;
    shell.copyText(QStringLiteral("before"));
    QWidget owner;
    auto *edit = new TextEditViewController(*shell.manager, &owner);
    edit->setItem(shell.item(QStringLiteral("before")));
    EXPECT_EQ(edit->editTextView->toPlainText(), QStringLiteral("before"));
    int edited = 0;
    edit->textDidEdit = [&edited] { ++edited; };
    edit->editTextView->setPlainText(QStringLiteral("after"));
    edit->saveEditedItemText();
    EXPECT_EQ(edited, 1);
    EXPECT_FALSE(shell.item(QStringLiteral("after")).uuid().isNull());

    // A comment of several lines is stored as one line; an emptied field removes it.
    EXPECT_EQ(AddCommentVC::commentFrom(QStringLiteral("  one\ntwo\r\nthree ")), QStringLiteral("one two three"));
    EXPECT_EQ(AddCommentVC::commentFrom(QString(100000, QLatin1Char('x')))->size(), AddCommentVC::kMaxLength);
    EXPECT_FALSE(AddCommentVC::commentFrom(QStringLiteral(" \n ")).has_value());
    auto *comment = new AddCommentVC(*shell.manager, &owner);
    comment->setItem(shell.item(QStringLiteral("after")));
    comment->commentTextfield->setText(QStringLiteral("remember"));
    comment->saveAction();
    EXPECT_EQ(shell.item(QStringLiteral("after")).comment(), QStringLiteral("remember"));
    auto *uncomment = new AddCommentVC(*shell.manager, &owner);
    uncomment->setItem(shell.item(QStringLiteral("after")));
    EXPECT_EQ(uncomment->commentTextfield->text(), QStringLiteral("remember"));
    uncomment->commentTextfield->clear();
    uncomment->saveAction();
    EXPECT_FALSE(shell.item(QStringLiteral("after")).comment().has_value());

    // An item another window deleted meanwhile: saving stores nothing and closes the sheet.
    const PBItem gone = shell.item(QStringLiteral("after"));
    shell.manager->deleteItem(gone);
    auto *late = new TextEditViewController(*shell.manager, &owner);
    late->setItem(gone);
    late->textDidEdit = [&edited] { ++edited; };
    late->saveEditedItemText();
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(shell.manager->itemCount(), 0);
}

TEST(ItemSheets, RecognisedTextIsCopiedAsEditedAndClosingCancels)
{
    ShellHarness shell;
    QWidget owner;
    auto *sheet = new ImageOCRResultVC(shell.pasteboard, &owner);
    const auto cancel = sheet->cancelFlag();
    sheet->copyToPasteboardAction(); // nothing to copy while waiting
    EXPECT_EQ(shell.pasteboard.writeCount(), 0);
    sheet->setResult(QStringLiteral("line one\nline two"));
    sheet->resultTextView->setPlainText(QStringLiteral("line one\nedited"));
    sheet->copyToPasteboardAction();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("line one\nedited"));
    ASSERT_EQ(shell.pasteboard.contents().size(), 1);
    EXPECT_EQ(shell.pasteboard.contents().first().types(), QStringList{PasteboardType::string});
    EXPECT_TRUE(cancel->load());
}

TEST(NoteEditor, SavesNewAndExistingNotesOnce)
{
    ShellHarness shell;
    Answering ok(ModalResponse::alertFirstButtonReturn);
    auto *editor = new CategoryNoteWindowController(*shell.manager);
    QPointer<CategoryNoteWindowController> alive(editor);
    editor->show();
    editor->noteTitleTextfield->setText(QStringLiteral("Title"));
    editor->saveNote();
    EXPECT_EQ(ok.asked, QStringList{L("Note.Alert.Content.message")});
    EXPECT_EQ(shell.manager->itemCount(), 0);

    // An automatic save creates the note; the button then updates it instead of adding another.
    editor->noteContentTextView->setPlainText(QStringLiteral("a b\nc"));
    EXPECT_EQ(editor->linesCountLabel->text(), QStringLiteral("2"));
    EXPECT_EQ(editor->wordsCountLabel->text(), QStringLiteral("3"));
    editor->autoSave();
    EXPECT_FALSE(editor->autoSavedLabel->isHidden());
    EXPECT_EQ(shell.manager->itemCount(), 1);
    editor->noteContentTextView->setPlainText(QStringLiteral("changed"));
    editor->saveNote();
    shell.settle();
    EXPECT_EQ(shell.manager->itemCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return !alive; }));
    const PBItem note = shell.manager->getAllItems().value(0);
    ASSERT_TRUE(note.dataProvider() && note.dataProvider()->is<PBNoteItemProvider>());
    EXPECT_EQ(note.dataProvider()->as<PBNoteItemProvider>()->body(), QStringLiteral("changed"));
}

TEST(NoteEditor, AutoSaveFollowsTheSettingAndTheLastKeystroke)
{
    ShellHarness shell;
    auto *editor = new CategoryNoteWindowController(*shell.manager);
    editor->setAttribute(Qt::WA_DeleteOnClose, false);
    std::unique_ptr<CategoryNoteWindowController> owned(editor);
    editor->autoSaveTimeInterval = std::chrono::milliseconds(60);
    TaviSettings::shared().setEnableAutoSaveNote(false);
    QTest::keyClicks(editor->noteContentTextView, QStringLiteral("abc"));
    EXPECT_FALSE(editor->autoSaveTimer->isActive());

    TaviSettings::shared().setEnableAutoSaveNote(true);
    QTest::keyClicks(editor->noteContentTextView, QStringLiteral("d"));
    EXPECT_TRUE(editor->autoSaveTimer->isActive());
    EXPECT_TRUE(waitUntil([&] { return shell.manager->itemCount() == 1; }));
    EXPECT_TRUE(editor->isUpdated);
    TaviSettings::shared().setEnableAutoSaveNote(false);
}

TEST(NoteEditor, EscapeClosesAnEmptyEditorAndAsksBeforeDiscardingText)
{
    ShellHarness shell;
    auto *empty = new CategoryNoteWindowController(*shell.manager);
    QPointer<CategoryNoteWindowController> emptyAlive(empty);
    empty->show();
    QTest::keyClick(empty->noteContentTextView, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !emptyAlive; }));

    auto *written = new CategoryNoteWindowController(*shell.manager);
    QPointer<CategoryNoteWindowController> alive(written);
    written->show();
    QTest::keyClicks(written->noteContentTextView, QStringLiteral("keep"));
    {
        Answering no(ModalResponse::alertSecondButtonReturn);
        QTest::keyClick(written->noteContentTextView, Qt::Key_Escape);
        written->close(); // the window's own close button asks too
        EXPECT_EQ(no.asked.size(), 2);
        // It says what it does, and Return keeps the note.
        EXPECT_EQ(no.askedDestructively.size(), 2);
        EXPECT_EQ(no.buttons.value(0), L("Note.Alert.Discard"));
    }
    shell.settle();
    ASSERT_TRUE(alive);
    EXPECT_EQ(written->noteContentTextView->toPlainText(), QStringLiteral("keep"));
    Answering yes(ModalResponse::alertFirstButtonReturn);
    QTest::keyClick(written->noteContentTextView, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !alive; }));
    EXPECT_EQ(shell.manager->itemCount(), 0);
}

TEST(NoteEditor, ALargeBodyIsCountedInSlicesAndShown)
{
    ShellHarness shell;
    CategoryNoteWindowController editor(*shell.manager);
    editor.setAttribute(Qt::WA_DeleteOnClose, false);
    QString body;
    for (int i = 0; i < 20000; ++i)
        body += QStringLiteral("word word\n");
    editor.noteContentTextView->setPlainText(body);
    EXPECT_TRUE(waitUntil([&] { return !editor.isCounting() && editor.shownCounts().words == 40000; }));
    EXPECT_EQ(editor.shownCounts().lines, 20001);
    EXPECT_EQ(editor.charactersCountLabel->text(), QString::number(body.size()));
}
