// Bound controls: edit, date box, memo, drop-down box, text label and picture.

#include "dbaware/dbcontrols.h"
#include "dbaware/memohighlight.h"
#include "platform/msg.h"
#include "support/modalanswerer.h"
#include "support/testtables.h"

#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tv;
using namespace tvtest;

namespace {

// A control of type C bound to a field of a data source.
template <class C>
std::unique_ptr<C> boundTo(DataSource& ds, const char* field)
{
    auto c = std::make_unique<C>();
    c->setDataSource(&ds);
    c->setDataField(QString::fromLatin1(field));
    return c;
}

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        pinLocale();
        QApplication::setApplicationName(QStringLiteral("Tipvault"));
    }

    void editFollowsTheRecord()
    {
        auto s = makeSample(10);
        DataSource ds(s.table.get());
        DBEdit edit;
        edit.setDataSource(&ds);
        edit.setDataField(QStringLiteral("name"));  // letter case does not matter
        QCOMPARE(edit.text(), QStringLiteral("Name 000010"));
        s.table->moveTo(4);
        QCOMPARE(edit.text(), QStringLiteral("Name 000006"));
        // A value too long for the box shows its start, not its end, also when the box gets
        // the focus by Tab (all of it selected) or when the control holding the focus goes.
        QCOMPARE(edit.cursorPosition(), 0);
        QWidget window;
        auto* before = new QLineEdit(&window);
        edit.setParent(&window);
        edit.resize(20, 21);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (auto focus : {+[](QWidget* w) { QTest::keyClick(w, Qt::Key_Tab); }, +[](QWidget* w) { w->hide(); }}) {
            before->show();
            before->setFocus();
            focus(before);
            QVERIFY(edit.hasFocus());
            QCOMPARE(edit.cursorPosition(), 0);
        }
        QCOMPARE(edit.selectedText(), edit.text());
        edit.setParent(nullptr);
        edit.setDataField(QStringLiteral("When"));
        QCOMPARE(edit.text(), QStringLiteral("1/6/1999"));
        s.table->close();
        QCOMPARE(edit.text(), QString());
    }

    void readOnlyTableRefusesTyping()
    {
        auto s = makeSample(3, false);
        DataSource ds(s.table.get());
        auto editBox = boundTo<DBEdit>(ds, "Name");
        DBEdit& edit = *editBox;
        auto memoBox = boundTo<DBMemo>(ds, "Notes");
        DBMemo& memo = *memoBox;
        QVERIFY(edit.isReadOnly());
        QVERIFY(memo.isReadOnly());
        QTest::keyClicks(&edit, QStringLiteral("xyz"));
        QTest::keyClicks(memo.viewport(), QStringLiteral("xyz"));
        QCOMPARE(edit.text(), QStringLiteral("Name 000003"));
        QCOMPARE(memo.toPlainText(), QStringLiteral("Notes of 1\nsecond line"));
        QCOMPARE(s.table->state(), TableState::Browse);
    }

    void typingStartsAnEdit()
    {
        auto s = makeSample(5, true);
        DataSource ds(s.table.get());
        auto editBox = boundTo<DBEdit>(ds, "Name");
        DBEdit& edit = *editBox;
        auto otherBox = boundTo<DBEdit>(ds, "Name");  // a second view of the same field
        DBEdit& other = *otherBox;
        QVERIFY(!edit.isReadOnly());
        QCOMPARE(edit.maxLength(), 20);   // the field's size, unless chosen otherwise
        other.setMaxLength(8);
        other.setDataField(QStringLiteral("Category"));
        other.setDataField(QStringLiteral("Name"));
        QCOMPARE(other.maxLength(), 8);

        edit.selectAll();
        QTest::keyClicks(&edit, QStringLiteral("Fresh"));
        QCOMPARE(s.table->state(), TableState::Edit);
        QCOMPARE(s.table->displayText("Name"), std::string("Fresh"));
        QCOMPARE(edit.text(), QStringLiteral("Fresh"));
        QCOMPARE(other.text(), QStringLiteral("Fresh"));

        // Cancelling shows the stored value again; posting keeps the typed one.
        s.table->cancel();
        QCOMPARE(edit.text(), QStringLiteral("Name 000005"));
        edit.selectAll();
        QTest::keyClicks(&edit, QStringLiteral("Kept"));
        ds.post();
        QCOMPARE(s.table->state(), TableState::Browse);
        s.table->next();
        s.table->prior();
        QCOMPARE(edit.text(), QStringLiteral("Kept"));

        // Read-only by choice wins over a writable table.
        edit.setReadOnly(true);
        QVERIFY(edit.isReadOnly());
        edit.setReadOnly(false);
        QVERIFY(!edit.isReadOnly());

        // The id field of an auto-increment type and pictures are never typed into.
        auto empty = makeSample(0, true);
        DataSource emptySource(empty.table.get());
        auto nameBox = boundTo<DBEdit>(emptySource, "Name");
        DBEdit& name = *nameBox;
        QTest::keyClicks(&name, QStringLiteral("First"));
        QCOMPARE(empty.table->state(), TableState::Insert);
        QCOMPARE(empty.table->displayText("Name"), std::string("First"));
    }

    void pictureMaskHoldsTypedText()
    {
        auto s = makeSample(2, true);
        s.table->setPicture("When", "#[#]/#[#]/##[##]", true);
        DataSource ds(s.table.get());
        auto dateBox = boundTo<DBEdit>(ds, "When");
        DBEdit& date = *dateBox;
        QVERIFY(date.validator());

        date.clear();
        QTest::keyClicks(&date, QStringLiteral("12"));
        QCOMPARE(date.text(), QStringLiteral("12/"));   // the literal is filled in
        QTest::keyClicks(&date, QStringLiteral("x"));   // refused by the picture
        QCOMPARE(date.text(), QStringLiteral("12/"));
        QTest::keyClicks(&date, QStringLiteral("25/9"));
        QCOMPARE(date.text(), QStringLiteral("12/25/9"));
        // Incomplete: held back by the control, and the post is refused.
        QVERIFY(date.link()->hasPending());
        QVERIFY_THROWS_EXCEPTION(EngineError, ds.post());
        QCOMPARE(s.table->state(), TableState::Edit);
        QTest::keyClicks(&date, QStringLiteral("9"));
        QVERIFY(!date.link()->hasPending());
        ds.post();
        int y = 0, m = 0, d = 0;
        ymdFromDate(std::get<Date>(s.table->value("When")), y, m, d);
        QCOMPARE(QDate(y, m, d), QDate(1999, 12, 25));

        // Backspacing over a filled-in literal is possible.
        date.selectAll();
        QTest::keyClicks(&date, QStringLiteral("12"));
        QTest::keyClick(&date, Qt::Key_Backspace);
        QCOMPARE(date.text(), QStringLiteral("12"));
        s.table->cancel();
    }

    void dateBoxButton()
    {
        auto s = makeSample(0, true);
        DataSource ds(s.table.get());
        auto boxOwner = boundTo<DBComboDlg>(ds, "When");
        DBComboDlg& box = *boxOwner;
        QSignalSpy dlg(&box, &DBComboDlg::customDlg);
        TableState seen = TableState::Inactive;
        connect(&box, &DBComboDlg::customDlg, this, [&](DBComboDlg* b) {
            QCOMPARE(b, &box);
            seen = s.table->state();
            b->setFieldText(QStringLiteral("3/4/2001"));
        });
        box.buttonAction()->trigger();
        QCOMPARE(dlg.count(), 1);
        QCOMPARE(seen, TableState::Insert);   // an empty table gets a new record first
        QCOMPARE(box.text(), QStringLiteral("3/4/2001"));
        QVERIFY_THROWS_EXCEPTION(EngineError, box.setFieldText(QStringLiteral("3/4")));
        QCOMPARE(box.text(), QStringLiteral("3/4/2001"));

        // A date chosen in the dialog replaces a date still being typed.
        box.selectAll();
        QTest::keyClicks(&box, QStringLiteral("7/8"));
        QVERIFY(box.link()->hasPending());
        box.setFieldText(QStringLiteral("9/10/2004"));
        QCOMPARE(box.text(), QStringLiteral("9/10/2004"));
        ds.post();
        QCOMPARE(s.table->displayText("When"), std::string("9/10/2004"));

        // A box bound to no field keeps the text itself.
        DBComboDlg loose;
        loose.setFieldText(QStringLiteral("5/6/2002"));
        QCOMPARE(loose.text(), QStringLiteral("5/6/2002"));
    }

    void memoEditsAndReportsFocus()
    {
        auto s = makeSample(3, true);
        DataSource ds(s.table.get());
        QWidget window;
        DBMemo memo(&window);
        memo.setDataSource(&ds);
        memo.setDataField(QStringLiteral("Notes"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(memo.lineWrapMode() == QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo.toPlainText(), QStringLiteral("Notes of 1\nsecond line"));

        QSignalSpy entered(&memo, &DBMemo::entered);
        QSignalSpy exited(&memo, &DBMemo::exited);
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(&memo, &in);
        QCOMPARE(entered.count(), 1);
        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);   // a context menu is no exit
        QApplication::sendEvent(&memo, &popup);
        QCOMPARE(exited.count(), 0);
        memo.moveCursor(QTextCursor::End);
        QTest::keyClicks(memo.viewport(), QStringLiteral("!"));
        QCOMPARE(s.table->state(), TableState::Edit);
        QCOMPARE(s.table->displayText("Notes"), std::string("Notes of 1\nsecond line!"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&memo, &out);
        QCOMPARE(exited.count(), 1);

        s.table->post();
        s.table->next();
        QCOMPARE(memo.toPlainText(), QStringLiteral("Notes of 2\nsecond line"));
    }

    void comboBoxWritesChoiceAndText()
    {
        auto s = makeSample(2, true);
        DataSource ds(s.table.get());
        DBComboBox combo;
        combo.setDataSource(&ds);
        combo.setDataField(QStringLiteral("Category"));
        // Items added after binding: the record's value stays on show, not the first item.
        combo.addItems({QStringLiteral("Delphi IDE"), QStringLiteral("Win32 API")});
        combo.setMaxLength(10);
        combo.setMaxVisibleItems(8);
        QCOMPARE(combo.currentText(), QStringLiteral("Cat 1"));
        QCOMPARE(s.table->state(), TableState::Browse);
        QVERIFY(combo.isEditable());

        emit combo.activated(1);
        QCOMPARE(s.table->state(), TableState::Edit);
        QCOMPARE(s.table->displayText("Category"), std::string("Win32 API"));
        s.table->cancel();
        QCOMPARE(combo.currentText(), QStringLiteral("Cat 1"));

        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("Free text typed"));
        QCOMPARE(s.table->displayText("Category"), std::string("Free text "));   // at most 10
        s.table->post();
        s.table->next();
        QCOMPARE(combo.currentText(), QStringLiteral("Cat 2"));
    }

    void textLabelAndPicture()
    {
        // A small picture stored as a bitmap file, and the same without its file header.
        QImage red(6, 4, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray bmp;
        QBuffer buf(&bmp);
        buf.open(QIODevice::WriteOnly);
        QVERIFY(red.save(&buf, "BMP"));
        const std::string file(bmp.constData(), size_t(bmp.size()));
        const std::string dib = file.substr(14);
        QCOMPARE(DBImage::decode(file).size(), QSize(6, 4));
        const QImage fromDib = DBImage::decode(dib);
        QCOMPARE(fromDib.size(), QSize(6, 4));
        QCOMPARE(QColor(fromDib.pixel(2, 2)), QColor(Qt::red));
        QVERIFY(DBImage::decode("not a picture at all, just some words").isNull());

        auto s = makeSample(2, true);
        s.table->edit();
        s.table->setValue(cPic, Blob{dib});
        s.table->post();
        DataSource ds(s.table.get());
        DBImage image;
        image.setStretch(true);
        image.setDataSource(&ds);
        image.setDataField(QStringLiteral("Pic"));
        auto labelBox = boundTo<DBText>(ds, "Amount");
        DBText& label = *labelBox;
        QCOMPARE(image.image().size(), QSize(6, 4));
        QCOMPARE(label.text(), QStringLiteral("1.5"));
        s.table->next();
        QVERIFY(image.image().isNull());
        QCOMPARE(label.text(), QStringLiteral("3"));

        // Stretched: the picture fills the control.
        s.table->prior();
        image.resize(60, 40);
        const QImage shot = image.grab().toImage();
        QCOMPARE(QColor(shot.pixel(55, 35)), QColor(Qt::red));
    }

    void messageBoxKinds()
    {
        std::vector<SeenBox> seen;
        {
            ModalAnswerer answer(QMessageBox::No);
            QVERIFY(!msg::confirm(QStringLiteral("Terminate the application?")));
            msg::information(QStringLiteral("note"));
            msg::warning(QStringLiteral("careful"));
            msg::error(QStringLiteral("x.db: damaged"));
            seen = answer.seen();
        }
        ModalAnswerer yes(QMessageBox::Yes);
        QVERIFY(msg::confirm(QStringLiteral("Sure?")));

        QCOMPARE(seen.size(), size_t(4));
        QCOMPARE(seen[0].caption, QStringLiteral("Confirm"));
        QCOMPARE(seen[0].icon, QMessageBox::Question);
        QCOMPARE(seen[0].buttons.size(), 2);
        QVERIFY(seen[0].buttons.contains(QMessageBox::Yes) && seen[0].buttons.contains(QMessageBox::No));
        QCOMPARE(seen[1].caption, QStringLiteral("Information"));
        QCOMPARE(seen[1].icon, QMessageBox::Information);
        QCOMPARE(seen[2].caption, QStringLiteral("Warning"));
        QCOMPARE(seen[2].icon, QMessageBox::Warning);
        QCOMPARE(seen[3].caption, QStringLiteral("Tipvault"));
        QCOMPARE(seen[3].icon, QMessageBox::Critical);
        QCOMPARE(seen[3].text, QStringLiteral("x.db: damaged"));
        QCOMPARE(seen[3].buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    // A memo with the word several times: every place marked by the search's case rule, and
    // F3 / Shift+F3 stepping through them with wrap-around; no mark once the word is cleared.
    void foundWordInMemo()
    {
        const QString text = QStringLiteral("Delphi tips.\nThe delphi IDE; DELPHI 2 and Delphi 3.");
        using S = tv::TextSpan;
        QCOMPARE(tv::findOccurrences(text, QStringLiteral("Delphi"), true), (QList<S>{{0, 6}, {42, 6}}));
        QCOMPARE(tv::findOccurrences(text, QStringLiteral("delphi"), false), (QList<S>{{0, 6}, {17, 6}, {29, 6}, {42, 6}}));
        QCOMPARE(tv::findOccurrences(QStringLiteral("aaaa"), QStringLiteral("aa"), true), (QList<S>{{0, 2}, {2, 2}}));
        QVERIFY(tv::findOccurrences(text, QString(), false).isEmpty());
        // Without case the filter and the locate fold only a-z: accented letters keep their case.
        QCOMPARE(tv::findOccurrences(QStringLiteral("\u00C4rger, \u00E4rger, \u00C4RGER"), QStringLiteral("\u00E4rger"), false), (QList<S>{{7, 5}}));
        QCOMPARE(tv::findOccurrences(QStringLiteral("\u00C4rger, \u00E4rger, \u00C4RGER"), QStringLiteral("\u00C4rger"), false), (QList<S>{{0, 5}, {14, 5}}));

        QPlainTextEdit pane;
        pane.setPlainText(text);
        tv::MemoHighlighter marks;
        marks.addPane(&pane);
        marks.setWord(QStringLiteral("delphi"), false);
        QCOMPARE(pane.extraSelections().size(), 4);
        const auto at = [&] { return pane.textCursor().selectionStart(); };
        QVERIFY(marks.next(&pane));
        QCOMPARE(at(), 0);
        QVERIFY(marks.next(&pane));
        QCOMPARE(at(), 17);
        QVERIFY(marks.previous(&pane));
        QCOMPARE(at(), 0);
        QVERIFY(marks.previous(&pane));   // around to the last
        QCOMPARE(at(), 42);
        QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("Delphi"));
        pane.setPlainText(QStringLiteral("delphi once"));   // another record: marked anew
        QCOMPARE(pane.extraSelections().size(), 1);
        marks.setWord(QStringLiteral("DELPHI"), true);
        QVERIFY(pane.extraSelections().isEmpty());
        QVERIFY(!marks.next(&pane));
        marks.clear();
        QVERIFY(pane.extraSelections().isEmpty());
    }

    // A one-line box: every place of the word tinted, the tint lying on the word's own letters
    // (found by drawing the box once with the word and once with blanks in its place, in a
    // fixed-pitch font), in a box that shows the whole text and in one that scrolls the word
    // into view; nothing once cleared.
    void foundWordInOneLineBox()
    {
        const auto yellow = [](QRgb c) { return qRed(c) > 200 && qGreen(c) > 180 && qBlue(c) < 100; };
        QLineEdit box;
        box.resize(160, 24);
        tv::MemoHighlighter marks;
        marks.addEdit(&box);
        marks.setWord(QStringLiteral("delphi"), false);
        box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        // The text, and where the cursor stands before the box paints: the word in view, out
        // of view on the left (the cursor at the end) and on the right (the cursor at the start).
        const std::pair<QString, int> cases[] = {{QStringLiteral("Old delphi, new DELPHI"), 0},
                                                 {QStringLiteral("delphi on a rather long line of text"), 36},
                                                 {QStringLiteral("A rather long line of text with delphi in it"), 0}};
        for (const auto& [text, cursor] : cases) {
            box.setText(text);
            box.setCursorPosition(cursor);
            const QImage marked = box.grab().toImage();
            const QList<QRectF> rects = marks.marksIn(&box);
            const int cursorAt = box.cursorPosition();
            const int first = int(text.indexOf(QStringLiteral("delphi"), 0, Qt::CaseInsensitive));
            QCOMPARE(rects.size(), int(tv::findOccurrences(text, QStringLiteral("delphi"), false).size()));
            const QRect r = rects.front().toAlignedRect();
            marks.clear();
            const QImage plain = box.grab().toImage();
            QString blanked = text;
            blanked.replace(first, 6, QString(6, QLatin1Char(' ')));
            box.setText(blanked);
            box.setCursorPosition(cursorAt);   // scrolled as the marked box was
            const QImage blank = box.grab().toImage();
            int inkLeft = plain.width(), inkRight = -1, tinted = 0;
            for (int y = 0; y < plain.height(); ++y)
                for (int x = 0; x < plain.width(); ++x) {
                    if (plain.pixel(x, y) != blank.pixel(x, y)) {   // the first word's letters
                        inkLeft = std::min(inkLeft, x);
                        inkRight = std::max(inkRight, x);
                    }
                    if (yellow(marked.pixel(x, y))) {
                        ++tinted;
                        QVERIFY2(std::any_of(rects.begin(), rects.end(), [&](const QRectF& m) { return m.adjusted(-1, -1, 1, 1).contains(x, y); }), qPrintable(text));
                    }
                    QVERIFY(!yellow(plain.pixel(x, y)));
                }
            QVERIFY2(tinted > 20 * rects.size(), qPrintable(text + QStringLiteral(" %1,%2 %3x%4 cursor %5").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height()).arg(box.cursorPosition())));
            QVERIFY2(inkLeft >= r.left() - 1 && inkLeft <= r.left() + 3, qPrintable(QStringLiteral("%1: ink from %2, mark from %3").arg(text).arg(inkLeft).arg(r.left())));
            QVERIFY2(inkRight <= r.right() + 1 && inkRight >= r.right() - 4, qPrintable(QStringLiteral("%1: ink to %2, mark to %3").arg(text).arg(inkRight).arg(r.right())));
            marks.setWord(QStringLiteral("delphi"), false);
        }
    }
};

QTEST_MAIN(ControlsTest)
#include "controls_test.moc"
