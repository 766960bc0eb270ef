#pragma once
// The window in which a note is written or edited: a title, a body with live line, character and
// word counts, a save button and Ctrl+S. With "enableAutoSaveNote" on it saves by itself a minute
// after the last change; Escape (or closing the window) asks before throwing text away. The
// counts follow each change line by line, so typing in a long note stays smooth. GUI thread.

#include "core/PBItem.h"
#include "history/NoteCounter.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

class NoteTextView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TaviPBManager;

class CategoryNoteWindowController : public QWidget {
    Q_OBJECT
public:
    explicit CategoryNoteWindowController(TaviPBManager &manager, QWidget *parent = nullptr);
    ~CategoryNoteWindowController() override;

    // Loads an existing note for editing.
    void edit(const PBItem &note);
    // Saves with the button or Ctrl+S: asks for a missing title or body, else stores and closes.
    void saveNote();
    // The automatic save: stores whatever is written (a first one creates the note), stays open.
    void autoSave();
    // Escape: closes an empty editor at once, else asks first.
    void escape();
    // The counts shown now (complete once isCounting() is false).
    NoteCounts shownCounts() const { return m_shown; }
    bool isCounting() const { return m_counter->isCounting(); }

    QLineEdit *noteTitleTextfield = nullptr;
    NoteTextView *noteContentTextView = nullptr;
    QLabel *linesCountLabel = nullptr;
    QLabel *charactersCountLabel = nullptr;
    QLabel *wordsCountLabel = nullptr;
    QPushButton *saveNoteBtn = nullptr;
    QPushButton *cancelNoteBtn = nullptr;
    QLabel *autoSavedLabel = nullptr;
    std::function<void(CategoryNoteWindowController *)> willCloseBlock;
    bool isUpdated = false;
    std::optional<PBItem> item;
    QTimer *autoSaveTimer = nullptr;
    std::chrono::milliseconds autoSaveTimeInterval{60000};

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class NoteWrite { added, updated, refused };

    // Adds the note the first time (it is then the one edited), else writes the text into it;
    // refused when the text makes no note.
    NoteWrite writeNote(const QString &title, const QString &body);
    void textDidChange();
    void showCounts(const NoteCounts &counts);
    bool isEmpty() const;
    // Asks whether the written text may go; true for the first button.
    bool confirmDiscard();
    void closeWithoutAsking();

    TaviPBManager &m_manager;
    NoteCounter *m_counter = nullptr;
    NoteCounts m_shown;
    bool m_dirty = false;
    bool m_closing = false;
};
