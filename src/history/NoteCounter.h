#pragma once
// Line, character and word counts of a plain-text document, kept up to date as it changes: each
// block (line) holds its own counts, so a typed key recounts only the line it changed, never the
// whole text. Lines not counted yet (a loaded note, a large paste) are counted a slice at a time
// from the event loop, so the GUI thread never stalls on a long text. GUI thread.

#include <QObject>
#include <QTimer>

#include <memory>

class QTextDocument;

struct NoteCounts {
    qsizetype lines = 0;
    qsizetype characters = 0; // user-perceived characters
    qsizetype words = 0;
    bool operator==(const NoteCounts &) const = default;
};

class NoteCounter : public QObject {
    Q_OBJECT
public:
    // A change spanning more characters than this is counted in slices rather than at once.
    static constexpr qsizetype kCountAtOnceUpTo = 16 * 1024;

    explicit NoteCounter(QTextDocument &document, QObject *parent = nullptr);
    ~NoteCounter() override;

    // The counts of a whole text, as the document's plain text counts.
    static NoteCounts count(const QString &text);

    // Whether some lines are still to be counted; counts() is complete once this is false.
    bool isCounting() const;
    NoteCounts counts() const;

    struct Totals;

Q_SIGNALS:
    // The complete counts after a change (once every line is counted).
    void countsChanged(const NoteCounts &counts);

private:
    void contentsChange(int position, int removed, int added);
    void countSlice();

    QTextDocument &m_document;
    std::shared_ptr<Totals> m_totals;
    QTimer m_slices;
    int m_resumeFrom = 0;
};
