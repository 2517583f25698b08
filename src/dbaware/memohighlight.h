#pragma once
// The word a search looked for, marked wherever it stands in the memo panes and one-line boxes
// of a record view, and a memo pane's cursor moved from one place to the next.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

class QLineEdit;
class QPlainTextEdit;

namespace tv {

class LocateDialog;
class Table;

struct TextSpan {
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan&) const = default;
};

// Every place `word` stands in `text`, left to right, not overlapping. Letter case counts only
// when `caseSensitive` is set, and otherwise only a-z and A-Z count as the same letters (as the
// filter and locate compare: accented letters keep their case). None for an empty word.
QList<TextSpan> findOccurrences(const QString& text, const QString& word, bool caseSensitive);

// A word looked for, with the case rule it was looked for by (empty word: none).
struct SearchWord {
    QString word;
    bool caseSensitive = false;
    bool operator==(const SearchWord&) const = default;
};

// The word the table's filter looks for: its first condition that looks for a word in a text
// or memo field. None when the table is closed or shows every record.
SearchWord filterWord(const Table& table);
// The word the locate's remembered criteria look for, when its field on `table` holds text.
SearchWord locateWord(const LocateDialog& locate, const Table& table);

class MemoHighlighter : public QObject {
    Q_OBJECT
public:
    explicit MemoHighlighter(QObject* parent = nullptr);

    // The panes to mark; each is marked again whenever its text changes.
    void addPane(QPlainTextEdit* pane);
    // One-line boxes: a box cannot carry character formats, so the word is tinted over as the
    // box paints, and a box without the keyboard scrolls to bring the first place into view.
    void addEdit(QLineEdit* edit);
    // The word to mark (empty: none).
    void setWord(const QString& word, bool caseSensitive);
    void setWord(const SearchWord& w) { setWord(w.word, w.caseSensitive); }
    void clear() { setWord(QString(), false); }
    const QString& word() const { return word_; }
    bool caseSensitive() const { return caseSensitive_; }

    // Where the word stands in `edit`, in the box's coordinates, as the box was last painted
    // (places scrolled out of view included).
    QList<QRectF> marksIn(const QLineEdit* edit) const;

    // Moves the cursor of `pane` to the next (previous) place after (before) it, wrapping
    // around, and scrolls it into view. False when the pane holds the word nowhere.
    bool next(QPlainTextEdit* pane);
    bool previous(QPlainTextEdit* pane);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mark(QPlainTextEdit* pane) const;
    bool moveTo(QPlainTextEdit* pane, bool forward);

    QList<QPointer<QPlainTextEdit>> panes_;
    QList<QPointer<QLineEdit>> edits_;
    QString word_;
    bool caseSensitive_ = false;
};

} // namespace tv
