#pragma once
// The word a search looked for, marked wherever it stands in a memo pane, and the pane's cursor
// moved from one place to the next.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QPlainTextEdit;

namespace tv {

struct TextSpan {
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan&) const = default;
};

// Every place `word` stands in `text`, left to right, not overlapping; letter case counts only
// when `caseSensitive` is set. None for an empty word.
QList<TextSpan> findOccurrences(const QString& text, const QString& word, bool caseSensitive);

class MemoHighlighter : public QObject {
    Q_OBJECT
public:
    explicit MemoHighlighter(QObject* parent = nullptr);

    // The panes to mark; each is marked again whenever its text changes.
    void addPane(QPlainTextEdit* pane);
    // The word to mark (empty: none).
    void setWord(const QString& word, bool caseSensitive);
    void clear() { setWord(QString(), false); }
    const QString& word() const { return word_; }

    // Moves the cursor of `pane` to the next (previous) place after (before) it, wrapping
    // around, and scrolls it into view. False when the pane holds the word nowhere.
    bool next(QPlainTextEdit* pane);
    bool previous(QPlainTextEdit* pane);

private:
    void mark(QPlainTextEdit* pane) const;
    bool moveTo(QPlainTextEdit* pane, bool forward);

    QList<QPointer<QPlainTextEdit>> panes_;
    QString word_;
    bool caseSensitive_ = false;
};

} // namespace tv
