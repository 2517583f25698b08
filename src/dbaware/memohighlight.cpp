#include "dbaware/memohighlight.h"

#include "dbaware/locatedialog.h"
#include "engine/dataset/table.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace tv {

namespace {

const QColor kMarker(255, 230, 0);

// Only a-z folded to A-Z: the letter rule of the filter and the locate.
QString foldAscii(QString s)
{
    for (QChar& c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return s;
}

bool holdsText(const Table& table, const QString& fieldName)
{
    const int f = table.fieldIndex(fieldName.toStdString());
    if (f < 0)
        return false;
    const FieldKind kind = kindOf(table.field(f).type);
    return kind == FieldKind::Text || kind == FieldKind::Memo;
}

} // namespace

QList<TextSpan> findOccurrences(const QString& text, const QString& word, bool caseSensitive)
{
    QList<TextSpan> out;
    if (word.isEmpty())
        return out;
    const QString t = caseSensitive ? text : foldAscii(text);
    const QString w = caseSensitive ? word : foldAscii(word);
    for (qsizetype at = t.indexOf(w); at >= 0; at = t.indexOf(w, at + w.size()))
        out.append({int(at), int(w.size())});
    return out;
}

SearchWord filterWord(const Table& table)
{
    if (!table.isOpen() || !table.filtered())
        return {};
    for (const FieldCondition& c : table.filterConditions())
        if (c.matchType != fdMatchRange && !c.value.empty() && holdsText(table, QString::fromStdString(c.fieldName)))
            return {QString::fromStdString(c.value), c.caseSensitive};
    return {};
}

SearchWord locateWord(const LocateDialog& locate, const Table& table)
{
    if (!table.isOpen() || locate.matchType == fdMatchRange || locate.fieldValue.isEmpty() || !holdsText(table, locate.fieldName))
        return {};
    return {locate.fieldValue, locate.caseSensitive};
}

MemoHighlighter::MemoHighlighter(QObject* parent) : QObject(parent) {}

void MemoHighlighter::addPane(QPlainTextEdit* pane)
{
    panes_.append(pane);
    connect(pane, &QPlainTextEdit::textChanged, this, [this, pane] { mark(pane); });
    mark(pane);
}

void MemoHighlighter::addEdit(QLineEdit* edit)
{
    edits_.append(edit);
    edit->installEventFilter(this);
    edit->update();
}

void MemoHighlighter::setWord(const QString& word, bool caseSensitive)
{
    word_ = word;
    caseSensitive_ = caseSensitive;
    for (const auto& pane : panes_)
        if (pane)
            mark(pane);
    for (const auto& edit : edits_)
        if (edit)
            edit->update();   // marked as it paints
}

QList<QRectF> MemoHighlighter::marksIn(const QLineEdit* edit) const
{
    QList<QRectF> out;
    const QString text = edit->displayText();
    const QList<TextSpan> spans = findOccurrences(text, word_, caseSensitive_);
    if (spans.isEmpty())
        return out;
    // The box tells where its cursor stands (in the middle of the rectangle it gives), the
    // text scrolled and aligned as it is; every other place is measured from there.
    const QRect cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const QFontMetricsF fm(edit->font());
    const auto advance = [&](int chars) { return fm.horizontalAdvance(text.left(chars)); };
    const qreal origin = cursor.left() + cursor.width() / 2 - advance(edit->cursorPosition());
    for (const TextSpan& s : spans) {
        const qreal left = origin + advance(s.start);
        out.append(QRectF(left, cursor.top(), origin + advance(s.start + s.length) - left, cursor.height()));
    }
    return out;
}

bool MemoHighlighter::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (event->type() != QEvent::Paint || word_.isEmpty() || !edit)
        return false;
    // The box paints itself (scrolling its text as it does so), then the marks tint it as a
    // marker pen does: multiplied, so the letters stay as dark as they were and only their
    // ground turns yellow.
    static_cast<QObject*>(edit)->event(event);
    QList<QRectF> marks = marksIn(edit);
    const QRect area = edit->contentsRect().marginsRemoved(edit->textMargins());
    if (!marks.isEmpty() && !edit->hasFocus() && (marks.front().right() > area.right() || marks.front().left() < area.left())) {
        // The first place out of view, or partly: a box the user is not typing in scrolls it
        // in (the cursor at the word's far end brings all of it) and paints again.
        const TextSpan first = findOccurrences(edit->displayText(), word_, caseSensitive_).front();
        edit->setCursorPosition(marks.front().right() > area.right() ? first.start + first.length : first.start);
        static_cast<QObject*>(edit)->event(event);
        marks = marksIn(edit);
    }
    if (!marks.isEmpty()) {
        QPainter p(edit);
        p.setClipRect(area);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        for (const QRectF& r : marks)
            p.fillRect(r, kMarker);
    }
    return true;
}

void MemoHighlighter::mark(QPlainTextEdit* pane) const
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(kMarker);
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
