#pragma once
// Records one key chord as a global shortcut. Click (or focus) to record; Escape cancels,
// Backspace or Delete clears, and the first non-modifier key with its modifiers is the chord. A
// chord without Super, Ctrl or Alt (a bare letter, Shift alone) is refused; the owner's validator
// may refuse others (taken elsewhere) with the reason, which the view shows. While the view
// records, the program's global hot keys are suspended, so the chord reaches it. GUI thread.

#include "platform/Shortcut.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QToolButton;

class ShortcutRecorderView : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutRecorderView(QWidget *parent = nullptr);
    ~ShortcutRecorderView() override;

    std::optional<Shortcut> shortcutValue() const { return m_value; }
    // Shows the shortcut; does not emit shortcutValueChange.
    void setShortcutValue(const std::optional<Shortcut> &shortcut);
    bool isRecording() const { return m_recording; }

    // The reason a chord cannot be used (empty when it can); asked before a chord is taken.
    std::function<QString(const Shortcut &)> shortcutValidator;

    // The chord of a key press (Shift+1 arrives as "!" and is recorded as Shift+1); none for a lone
    // modifier or a key without a code.
    static std::optional<Shortcut> chordOf(int qtKey, Qt::KeyboardModifiers modifiers);
    // Why the chord cannot be a global shortcut on its own terms; empty when it can.
    static QString basicRefusal(const Shortcut &shortcut);

    QString refusal() const;
    QString displayedText() const;

Q_SIGNALS:
    // After the user recorded a new chord or cleared the shortcut.
    void shortcutValueChange(const std::optional<Shortcut> &shortcut);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    void setRecording(bool recording);
    void commit(const std::optional<Shortcut> &shortcut);
    void updateText(Qt::KeyboardModifiers held = {});
    void showRefusal(const QString &reason);

    std::optional<Shortcut> m_value;
    bool m_recording = false;
    QLabel *m_text = nullptr;
    QToolButton *m_clear = nullptr;
    QLabel *m_reason = nullptr;
};
