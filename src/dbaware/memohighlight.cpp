#include "dbaware/memohighlight.h"

#include <QPlainTextEdit>
#include <QTextBlock>

namespace tv {

QList<TextSpan> findOccurrences(const QString& text, const QString& word, bool caseSensitive)
{
    QList<TextSpan> out;
    if (word.isEmpty())
        return out;
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(word, 0, cs); at >= 0; at = text.indexOf(word, at + word.size(), cs))
        out.append({int(at), int(word.size())});
    return out;
}

MemoHighlighter::MemoHighlighter(QObject* parent) : QObject(parent) {}

void MemoHighlighter::addPane(QPlainTextEdit* pane)
{
    panes_.append(pane);
    connect(pane, &QPlainTextEdit::textChanged, this, [this, pane] { mark(pane); });
    mark(pane);
}

void MemoHighlighter::setWord(const QString& word, bool caseSensitive)
{
    word_ = word;
    caseSensitive_ = caseSensitive;
    for (const auto& pane : panes_)
        if (pane)
            mark(pane);
}

void MemoHighlighter::mark(QPlainTextEdit* pane) const
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(QColor(255, 230, 0));
    format.setForeground(Qt::black);
    for (const TextSpan& s : findOccurrences(pane->toPlainText(), word_, caseSensitive_)) {
        QTextEdit::ExtraSelection sel;
        sel.cursor = QTextCursor(pane->document());
        sel.cursor.setPosition(s.start);
        sel.cursor.setPosition(s.start + s.length, QTextCursor::KeepAnchor);
        sel.format = format;
        marks.append(sel);
    }
    pane->setExtraSelections(marks);
}

bool MemoHighlighter::moveTo(QPlainTextEdit* pane, bool forward)
{
    if (!pane)
        return false;
    const QList<TextSpan> spans = findOccurrences(pane->toPlainText(), word_, caseSensitive_);
    if (spans.isEmpty())
        return false;
    QTextCursor c = pane->textCursor();
    const int from = forward ? c.selectionEnd() : c.selectionStart();
    TextSpan target = forward ? spans.front() : spans.back();   // wrapping around
    if (forward) {
        for (const TextSpan& s : spans)
            if (s.start >= from) {
                target = s;
                break;
            }
    } else {
        for (auto it = spans.rbegin(); it != spans.rend(); ++it)
            if (it->start + it->length <= from) {
                target = *it;
                break;
            }
    }
    c.setPosition(target.start);
    c.setPosition(target.start + target.length, QTextCursor::KeepAnchor);
    pane->setTextCursor(c);
    pane->ensureCursorVisible();
    return true;
}

bool MemoHighlighter::next(QPlainTextEdit* pane) { return moveTo(pane, true); }
bool MemoHighlighter::previous(QPlainTextEdit* pane) { return moveTo(pane, false); }

} // namespace tv
