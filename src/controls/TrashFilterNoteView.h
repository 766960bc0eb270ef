#pragma once
// The accessory of the confirmations that clear the whole history: one check box asking whether
// the notes go too. Loaded by name ("TrashFilterNoteView") from the scene registry. GUI thread.

#include <QWidget>

class QCheckBox;

class TrashFilterNoteView : public QWidget {
    Q_OBJECT
public:
    explicit TrashFilterNoteView(QWidget *parent = nullptr);

    // On: notes are cleared too. Off at first.
    QCheckBox *noteBtn = nullptr;
    bool includesNotes() const;
};
