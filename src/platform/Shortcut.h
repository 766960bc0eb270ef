#pragma once
// A keyboard shortcut as it is stored: a virtual key code of the ANSI layout and a modifier
// mask (Command 0x100000, Option 0x80000, Control 0x40000, Shift 0x20000). Translations to
// keys of this desktop live here. Any thread.

#include <QKeySequence>
#include <QString>
#include <Qt>

#include <optional>

struct Shortcut {
    static constexpr quint32 kShift = 0x20000;
    static constexpr quint32 kControl = 0x40000;
    static constexpr quint32 kOption = 0x80000;
    static constexpr quint32 kCommand = 0x100000;
    static constexpr quint32 kModifierMask = kShift | kControl | kOption | kCommand;

    int keyCode = -1;
    quint32 modifierFlags = 0;

    Shortcut() = default;
    Shortcut(int keyCode, quint32 modifierFlags) : keyCode(keyCode), modifierFlags(modifierFlags & kModifierMask) {}

    bool isValid() const { return keyCode >= 0 && qtKey(keyCode) != 0; }
    bool operator==(const Shortcut &other) const = default;

    // Qt's key for a virtual key code (Qt::Key_J for 38); 0 when the code is unknown.
    static int qtKey(int keyCode);
    // The virtual key code of a Qt key; none when the layout has no such key.
    static std::optional<int> keyCodeForQtKey(int qtKey);
    // From a recorded key press: the Super key (Qt's Meta) is Command, Ctrl is Control.
    static std::optional<Shortcut> fromQtKeyEvent(int qtKey, Qt::KeyboardModifiers modifiers);
    // Qt's form: Command is Qt's Meta.
    QKeySequence keySequence() const;
    // As this desktop names keys: "Super+J", "Ctrl+Alt+1" (Command is the Super key).
    QString displayText() const;
    // The names of the modifiers in the flags, joined by "+": "Super", "Shift+Super".
    static QString modifierText(quint32 modifierFlags);
};
