#pragma once
// The small window-modal sheets the history list opens over its window: editing an item's text,
// writing its comment, and the text recognised in an image. Each is made for one showing and
// deletes itself when closed. GUI thread.

#include "core/PBItem.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class Pasteboard;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SpinningProgressIndicatorLayer;
class TaviPBManager;

// Edits the whole text of a text or link item; saving replaces it in the store.
class TextEditViewController : public QDialog {
    Q_OBJECT
public:
    TextEditViewController(TaviPBManager &manager, QWidget *parent);

    // Shows the item's text; the item must carry its whole text (not a list's head of it).
    void setItem(const PBItem &item);
    // Replaces the item's text with the edited one, calls textDidEdit and closes. No item: nothing.
    void saveEditedItemText();

    QPlainTextEdit *editTextView = nullptr;
    std::function<void()> textDidEdit;
    std::optional<PBItem> item;

private:
    TaviPBManager &m_manager;
};

// Adds, changes or (emptied) removes an item's comment: one line of at most kMaxLength characters.
class AddCommentVC : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 1000;

    AddCommentVC(TaviPBManager &manager, QWidget *parent);

    void setItem(const PBItem &item);
    void saveAction();
    // The comment a field's text stores: one line, blanks at the ends dropped; none when empty.
    static std::optional<QString> commentFrom(const QString &text);

    QLineEdit *commentTextfield = nullptr;
    std::optional<PBItem> item;
    std::function<void()> didAddComment;

private:
    TaviPBManager &m_manager;
};

// Shows the progress of a text recognition, then the recognised text, which the user may edit and
// copy. Closing it cancels a recognition still running.
class ImageOCRResultVC : public QDialog {
    Q_OBJECT
public:
    ImageOCRResultVC(Pasteboard &pasteboard, QWidget *parent);
    ~ImageOCRResultVC() override;

    // The recognition this sheet waits for: it sets the flag when it closes.
    std::shared_ptr<std::atomic<bool>> cancelFlag() const { return m_cancel; }
    void setProgress(int percent);
    // The recognised lines, joined with newlines; the sheet leaves its waiting state.
    void setResult(const QString &result);
    bool isWaiting() const;
    // Writes the text shown (possibly edited) to the clipboard as plain text, and closes.
    void copyToPasteboardAction();

    QPlainTextEdit *resultTextView = nullptr;
    std::optional<QString> result;

protected:
    void done(int code) override;

private:
    Pasteboard &m_pasteboard;
    QWidget *m_waiting = nullptr;
    QLabel *m_progressLabel = nullptr;
    SpinningProgressIndicatorLayer *m_spinner = nullptr;
    QPushButton *m_copyButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
};
