// The report engine: pages of a generated document (texts, positions, page breaks, growing
// memos, child bands), the texts of the system items, PDF and printer output, and the preview.

#include "fakedata.h"
#include "support/pdftools.h"
#include "support/modalanswerer.h"
#include "reportengine/generator.h"
#include "reportengine/previewwindow.h"
#include "reportengine/render.h"
#include "reportengine/reportrun.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QMessageBox>
#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace tv::report;

namespace {

const QColor kBlue(0, 0, 255);

// A list layout in the program's style: blue title band, underlined column headings,
// underlined record lines, blue footer with the date and the page number.
Layout listLayout(const ReportData* data)
{
    Layout l;
    l.title = QStringLiteral("This is just a title");
    l.data = data;
    l.pageHeader.height = 24;
    l.pageHeader.fill = kBlue;
    l.pageHeader.items.push_back(Item::label("Title text", 210, 3, FontSpec{16, true, true}, Qt::white));
    l.columnHeader.height = 19;
    l.columnHeader.frame = Frame::bottomOnly();
    l.columnHeader.items.push_back(Item::label("#", 5, 3, FontSpec{11, true}));
    l.columnHeader.items.push_back(Item::label("Topic:", 27, 3, FontSpec{11, true}));
    l.detail.height = 14;
    l.detail.frame = Frame::bottomOnly();
    l.detail.items.push_back(Item::data("ID", 3, 0, 21));
    l.detail.items.push_back(Item::data("TOPIC", 26, 0, 176));
    l.detail.items.push_back(Item::data("SIZE", 300, 0, 40, 14, Qt::AlignRight, false));
    l.pageFooter.height = 14;
    l.pageFooter.fill = kBlue;
    l.pageFooter.frame = Frame::all();
    l.pageFooter.items.push_back(Item::dateTime(17, 1, FontSpec{11, true, true}, Qt::white));
    l.pageFooter.items.push_back(Item::pageNumber(678, 0, FontSpec{11, true, true}, Qt::white));
    return l;
}

FakeData numbered(int n)
{
    FakeData d;
    for (int i = 1; i <= n; ++i)
        d.add({{"ID", QString::number(i)}, {"TOPIC", QStringLiteral("Topic %1").arg(i)}, {"SIZE", QString::number(i * 10)}});
    return d;
}

QString words(int n)
{
    QStringList w;
    for (int i = 0; i < n; ++i)
        w << QStringLiteral("word%1").arg(i);
    return w.join(' ');
}

double margin() { return 10.0 * 96.0 / 25.4; }

// Records per page of the list layout above: what fits between the headings and the footer.
int rowsPerPage()
{
    const double body = 1056.0 - 2 * margin() - 24 - 19 - 14;
    return int(body / 14);
}

QStringList textsOf(const Page& p)
{
    QStringList out;
    for (const Primitive* t : p.texts())
        out << t->text;
    return out;
}

bool hasLine(const Page& p, QLineF want)
{
    for (const Primitive& pr : p.items)
        if (pr.kind == Primitive::Line && qAbs(pr.line.x1() - want.x1()) < 0.6 && qAbs(pr.line.y1() - want.y1()) < 0.6
            && qAbs(pr.line.x2() - want.x2()) < 0.6 && qAbs(pr.line.y2() - want.y2()) < 0.6)
            return true;
    return false;
}

} // namespace

class ReportEngineTest : public QObject {
    Q_OBJECT
private slots:
    // Without a printer, PDF files go to the documents folder and the file dialog keeps its
    // settings under the home folder: both are a folder of the test's own, not the user's.
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(home_.isValid());
        qputenv("HOME", QFile::encodeName(home_.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath(QStringLiteral(".config"))));
    }
    void pageGeometry();
    void bandsAndItemsArePlaced();
    void pagesBreakAndNumber();
    void dataItemsAreCutAtTheirBox();
    void memoItemsGrowTheirBand();
    void childBandStaysWithItsDetail();
    void memoTallerThanAPageIsSplitWithoutLoss();
    void emptyDataGivesOnePage();
    void systemItemTexts();
    void progressCanCancel();
    void pdfIsUsLetterWithTheTexts();
    void printerOutputHasEveryPage();
    void previewNavigatesAndKeepsItsPages();
    void previewShowsItsFirstPageAtOnce();
    void previewsOpenedAndClosedGiveTheirMemoryBack();
    void generationCanBeCancelledFromItsProgressWindow();
    void printingFailuresAndTheMissingPrinter();
    void printSetupOffersNoRangeSelectionOrFile();

private:
    QTemporaryDir home_;
};

void ReportEngineTest::pageGeometry()
{
    PageSettings s;
    QCOMPARE(s.pagePixels().toSize(), QSize(816, 1056));
    QVERIFY(qAbs(s.marginPixels() - 37.795) < 0.01);
    // The band width fits between the margins.
    QVERIFY(s.bandWidth <= s.pagePixels().width() - 2 * s.marginPixels());
    s.portrait = false;
    QCOMPARE(s.pagePixels().toSize(), QSize(1056, 816));
}

void ReportEngineTest::bandsAndItemsArePlaced()
{
    FakeData d = numbered(3);
    const Layout l = listLayout(&d);
    const Document doc = generate(l);
    QCOMPARE(doc.pages.size(), size_t(1));
    QCOMPARE(doc.title, QStringLiteral("This is just a title"));
    const Page& p = doc.pages[0];
    const double m = margin();

    // Page header: blue fill over the band width, the title at 210/3.
    bool blueHeader = false;
    for (const Primitive& pr : p.items)
        if (pr.kind == Primitive::Fill && pr.color == kBlue && qAbs(pr.rect.top() - m) < 0.01)
            blueHeader = qAbs(pr.rect.width() - 740) < 0.01 && qAbs(pr.rect.height() - 24) < 0.01;
    QVERIFY(blueHeader);
    const Primitive* title = p.findText("Title text");
    QVERIFY(title);
    QCOMPARE(title->rect.topLeft(), QPointF(m + 210, m + 3));
    QCOMPARE(title->color, QColor(Qt::white));
    QVERIFY(title->font.bold && title->font.italic && title->font.pixelSize == 16);

    // Column header below it, with its rule on the bottom edge.
    QCOMPARE(p.findText("Topic:")->rect.topLeft(), QPointF(m + 27, m + 24 + 3));
    QVERIFY(hasLine(p, QLineF(m, m + 43 - 0.5, m + 740, m + 43 - 0.5)));

    // Detail lines one under the other, each underlined, with vertical rules at item edges.
    for (int i = 0; i < 3; ++i) {
        const double top = m + 43 + 14 * i;
        const Primitive* id = p.findText(QString::number(i + 1));
        QVERIFY(id);
        QCOMPARE(id->rect, QRectF(m + 3, top, 21, 14));
        QCOMPARE(p.findText(QStringLiteral("Topic %1").arg(i + 1))->rect.topLeft(), QPointF(m + 26, top));
        QVERIFY(hasLine(p, QLineF(m, top + 14 - 0.5, m + 740, top + 14 - 0.5)));
        QVERIFY(hasLine(p, QLineF(m + 24 - 0.5, top, m + 24 - 0.5, top + 14)));
    }
    // The last item has no rule; right alignment is carried to the renderer.
    QVERIFY(!hasLine(p, QLineF(m + 340 - 0.5, m + 43, m + 340 - 0.5, m + 57)));
    QCOMPARE(p.findText("10")->align, Qt::Alignment(Qt::AlignRight));

    // Footer at the bottom margin, framed on all four sides.
    const double footTop = 1056 - m - 14;
    const Primitive* pageNo = p.findText("Page1");
    QVERIFY(pageNo);
    QCOMPARE(pageNo->rect.topLeft(), QPointF(m + 678, footTop));
    QVERIFY(hasLine(p, QLineF(m, footTop + 0.5, m + 740, footTop + 0.5)));
    QVERIFY(hasLine(p, QLineF(m + 0.5, footTop, m + 0.5, footTop + 14)));
    QVERIFY(hasLine(p, QLineF(m + 739.5, footTop, m + 739.5, footTop + 14)));
}

void ReportEngineTest::pagesBreakAndNumber()
{
    const int per = rowsPerPage();
    FakeData d = numbered(per * 11 + 1);
    const Document doc = generate(listLayout(&d));
    QCOMPARE(doc.pages.size(), size_t(12));
    const double m = margin();
    for (const Page& p : doc.pages) {
        const QStringList texts = textsOf(p);
        // Header, headings and footer on every page, the first and the last included.
        QVERIFY(texts.contains("Title text"));
        QVERIFY(texts.contains("Topic:"));
        QVERIFY(texts.contains(QStringLiteral("Page%1").arg(p.number)));
        // No record line runs into the footer.
        for (const Primitive* t : p.texts())
            if (t->text.startsWith("Topic "))
                QVERIFY(t->rect.bottom() <= 1056 - m - 14 + 0.01);
    }
    // The first record of page 2 follows the last of page 1, at the top of the body.
    QVERIFY(doc.pages[0].findText(QStringLiteral("Topic %1").arg(per)));
    const Page second = doc.pages[1];
    const Primitive* next = second.findText(QStringLiteral("Topic %1").arg(per + 1));
    QVERIFY(next);
    QCOMPARE(next->rect.top(), m + 43);
    QVERIFY(doc.pages[11].findText("Page12"));
    QVERIFY(!doc.pages[11].findText("Page 12"));
    QVERIFY(doc.pages[11].findText(QStringLiteral("Topic %1").arg(per * 11 + 1)));
}

void ReportEngineTest::dataItemsAreCutAtTheirBox()
{
    FakeData d;
    const QString longTopic = "How to " + words(40);
    d.add({{"ID", "1"}, {"TOPIC", longTopic}});
    d.add({{"ID", "2"}, {"TOPIC", "first line\r\nsecond line"}});
    d.add({{"ID", "3"}, {"TOPIC", "Supercalifragilisticexpialidocious_without_any_break_at_all"}});
    d.add({{"ID", "4"}, {"TOPIC", "Components/Dialogs/Standard/Extended-and-more/ and the rest"}, {"SIZE", "12/31/1999"}});
    const Document doc = generate(listLayout(&d));
    const Page& p = doc.pages[0];
    const double m = margin();
    const Primitive* cut = nullptr;
    for (const Primitive* t : p.texts())
        if (t->text.startsWith("How to"))
            cut = t;
    QVERIFY(cut);
    QVERIFY(cut->text.size() < longTopic.size());
    QVERIFY(longTopic.startsWith(cut->text));
    QVERIFY(longTopic.at(cut->text.size()) == ' ');  // cut between words
    QCOMPARE(cut->rect.height(), 14.0);
    QVERIFY(QFontMetricsF(cut->font.toFont()).horizontalAdvance(cut->text) <= 176);
    // Only the first line of a text with line breaks, and the next record keeps its place.
    QVERIFY(p.findText("first line"));
    QVERIFY(!p.findText("second line"));
    QCOMPARE(p.findText("3")->rect.top(), m + 43 + 28);
    // A single word wider than the box stays whole; drawing clips it at the box.
    const Primitive* word = p.findText("Supercalifragilisticexpialidocious_without_any_break_at_all");
    QVERIFY(word);
    QCOMPARE(word->rect.width(), 176.0);
    // Lines break at blanks only: a slash or a hyphen is no place to cut a field.
    QVERIFY(p.findText("Components/Dialogs/Standard/Extended-and-more/"));
    QCOMPARE(word->stretch, 1.0);

    // Numbers and dates are never cut nor wrapped, whatever their alignment: a six-digit
    // number in a left-aligned box for four, a date with blanks.
    FakeData values;
    values.whole = {"ID", "TOPIC"};
    values.add({{"ID", "123456"}, {"TOPIC", "1996. 06. 26."}});
    const Page vp = generate(listLayout(&values)).pages[0];
    for (const QString v : {"123456", "1996. 06. 26."}) {
        const Primitive* whole = vp.findText(v);
        QVERIFY2(whole, qPrintable(v));
        QVERIFY(QFontMetricsF(whole->font.toFont()).horizontalAdvance(v) * whole->stretch <= whole->rect.width());
    }
    QVERIFY(vp.findText("123456")->stretch < 1.0);

    // A right-aligned value (a number or a date) wider than its box is condensed to fit, not
    // cut: a cut one would read as another value.
    const Primitive* date = p.findText("12/31/1999");
    QVERIFY(date);
    QVERIFY(date->stretch < 1.0);
    QVERIFY(QFontMetricsF(date->font.toFont()).horizontalAdvance(date->text) * date->stretch <= 40.0);
    QImage image(doc.pageSize.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        renderPage(painter, p);
    }
    const QRect row = date->rect.toAlignedRect();
    auto inkIn = [&](int fromX, int toX) {   // between the rules above and below the record
        for (int y = row.top() + 1; y <= row.bottom() - 3; ++y)
            for (int x = fromX; x <= toX; ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    QVERIFY(inkIn(row.left(), row.right()));          // drawn
    QVERIFY(inkIn(row.left(), row.left() + 8));       // from its first character on
    QVERIFY(!inkIn(int(m) + 206, row.left() - 1));    // and nothing spills left of the box

    // The line is fitted by the widths of its words first; it must come out as measuring the
    // text whole at every blank would have it: the longest start up to a blank that fits, or
    // the first word alone. Kerned pairs, keyword lists, runs of blanks, soft hyphens and
    // letters outside the Latin ones, at many widths.
    const FontSpec font;
    const QFontMetricsF fm(font.toFont());
    const auto exact = [&](const QString& text, qreal width) {
        const auto right = [](QString t) {
            while (t.endsWith(' '))
                t.chop(1);
            return t;
        };
        if (fm.horizontalAdvance(text) <= width)
            return right(text);
        QString best;
        for (qsizetype i = text.indexOf(' '); i >= 0 && fm.horizontalAdvance(text.left(i)) <= width; i = text.indexOf(' ', i + 1))
            best = right(text.left(i));
        if (!best.trimmed().isEmpty())
            return best;
        qsizetype start = 0;
        while (start < text.size() && text.at(start) == ' ')
            ++start;
        const qsizetype stop = text.indexOf(' ', start);
        return stop < 0 ? text : text.left(stop);
    };
    for (const QString& text : {QStringLiteral("AVAVAV To Ty Yo Wa LT AV. Ty, We Yo AVAVAV To Ty Yo Wa"), words(30),
                                QStringLiteral("ONCHANGE;PARADOX;FAST;TSTREAM BOOKMARK;TSTREAM;RESIZE;AS TList"),
                                QStringLiteral("   indented  words   with   runs of    blanks   "), QStringLiteral("a  b   c    d     e"),
                                QString::fromUtf8("co\u00adoper\u00adation with soft\u00adhy\u00adphens, \u00e9t\u00e9 \u0444\u043e\u0440\u043c\u0430")})
        for (qreal width = 8; width < 420; width += 3.5)
            QCOMPARE(firstLine(text, font, width), exact(text, width));
}

namespace {
Layout memoLayout(const ReportData* data)
{
    Layout l = listLayout(data);
    l.detail = Band(BandKind::Detail);
    l.detail.height = 53;
    l.detail.frame = Frame::topOnly();
    l.detail.items.push_back(Item::data("TOPIC", 5, 1, 209));
    l.detail.items.push_back(Item::data("ID", 223, 1, 54, 14, Qt::AlignLeft, false));
    l.detail.items.push_back(Item::hline(0, 16, 740));
    l.detail.items.push_back(Item::memo("MEMO", 11, 21, 708, 17));
    return l;
}
} // namespace

void ReportEngineTest::memoItemsGrowTheirBand()
{
    FakeData d;
    d.add({{"ID", "1"}, {"TOPIC", "Long"}, {"MEMO", words(300) + "\r\n\r\nLast paragraph.\r\n"}});
    d.add({{"ID", "2"}, {"TOPIC", "Short"}, {"MEMO", "One line."}});
    d.add({{"ID", "3"}, {"TOPIC", "Empty"}, {"MEMO", ""}});
    d.add({{"ID", "4"}, {"TOPIC", "After"}, {"MEMO", "x"}});
    d.add({{"ID", "5"}, {"TOPIC", "Code"}, {"MEMO", "begin\n    Inc(I);\t{ next }\nend;\n" + QString(300, 'x') + " tail"}});
    const Document doc = generate(memoLayout(&d));
    QCOMPARE(doc.pages.size(), size_t(1));
    const Page& p = doc.pages[0];
    const double m = margin();
    const double lh = lineHeight(FontSpec{});

    // Every word of the memo is printed, in order, within the memo's width.
    QStringList memoLines;
    double lastTop = 0;
    for (const Primitive* t : p.texts())
        if (t->rect.left() == m + 11 && t->rect.top() < p.findText("Short")->rect.top()) {
            memoLines << t->text;
            QVERIFY(t->rect.top() > lastTop);
            lastTop = t->rect.top();
            QVERIFY(QFontMetricsF(t->font.toFont()).horizontalAdvance(t->text) <= 708);
        }
    QVERIFY(memoLines.size() > 10);
    QCOMPARE(memoLines.last(), QStringLiteral("Last paragraph."));
    QCOMPARE(memoLines.mid(0, memoLines.size() - 1).join(' '), words(300));
    // The blank line between the paragraphs is kept.
    const Primitive* lastPara = p.findText("Last paragraph.");
    QCOMPARE(lastPara->rect.top(), m + 43 + 21 + (memoLines.size()) * lh);

    // The band grew by what the memo needs beyond its designed height, keeping the gap below.
    const double band1 = 21 + (memoLines.size() + 1) * lh + (53 - 38);
    QCOMPARE(p.findText("Short")->rect.top(), m + 43 + band1 + 1);
    // A short memo and an empty one keep the designed height of 53.
    QCOMPARE(p.findText("Empty")->rect.top(), m + 43 + band1 + 53 + 1);
    QCOMPARE(p.findText("After")->rect.top(), m + 43 + band1 + 106 + 1);
    // Indented lines keep their indentation, tabs become blanks; a word wider than the memo
    // is broken over lines without losing a character.
    QVERIFY(p.findText("begin"));
    QVERIFY(p.findText("    Inc(I);    { next }"));
    QString xs;
    for (const Primitive* t : p.texts())
        if (t->text.startsWith("xx")) {
            xs += t->text;
            QVERIFY(QFontMetricsF(t->font.toFont()).horizontalAdvance(t->text) <= 708);
        }
    QVERIFY(xs == QString(300, 'x') + " tail" || (xs == QString(300, 'x') && p.findText("tail")));
    // The horizontal line at top 16 of each band and the rule on the band's top edge.
    QVERIFY(hasLine(p, QLineF(m, m + 43 + 16.5, m + 740, m + 43 + 16.5)));
    QVERIFY(hasLine(p, QLineF(m, m + 43 + band1 + 0.5, m + 740, m + 43 + band1 + 0.5)));
}

void ReportEngineTest::childBandStaysWithItsDetail()
{
    FakeData d;
    for (int i = 0; i < 200; ++i)
        d.add({{"ID", QString::number(i)}, {"TOPIC", QStringLiteral("Q%1").arg(i)}, {"MEMO", QStringLiteral("A%1 ").arg(i) + words(i % 7 * 15)}});
    Layout l = listLayout(&d);
    l.detail.height = 36;
    l.detail.items = {Item::data("TOPIC", 5, 1, 209), Item::hline(0, 16, 740)};
    Band child(BandKind::Child);
    child.height = 19;
    child.items.push_back(Item::label("A:", 2, 1, FontSpec{13, true, true}));
    child.items.push_back(Item::memo("MEMO", 18, 1, 700, 14));
    l.child = child;
    const Document doc = generate(l);
    QVERIFY(doc.pages.size() > 3);
    const double m = margin();
    int seen = 0;
    for (const Page& p : doc.pages) {
        for (int i = 0; i < 200; ++i) {
            const Primitive* q = p.findText(QStringLiteral("Q%1").arg(i));
            if (!q)
                continue;
            ++seen;
            // The answer's first line is on the same page, just below its question.
            bool answerHere = false;
            for (const Primitive* t : p.texts())
                if (t->text.startsWith(QStringLiteral("A%1 ").arg(i)) || t->text == QStringLiteral("A%1").arg(i)) {
                    answerHere = true;
                    QCOMPARE(t->rect.top(), q->rect.top() - 1 + 36 + 1);
                }
            QVERIFY2(answerHere, qPrintable(QStringLiteral("answer %1 not with its question").arg(i)));
        }
        for (const Primitive* t : p.texts())
            QVERIFY(t->rect.bottom() <= 1056 - m + 0.01);
    }
    QCOMPARE(seen, 200);
}

void ReportEngineTest::memoTallerThanAPageIsSplitWithoutLoss()
{
    FakeData d;
    d.add({{"ID", "1"}, {"TOPIC", "Small"}, {"MEMO", "x"}});
    d.add({{"ID", "2"}, {"TOPIC", "Huge"}, {"MEMO", words(3000)}});
    d.add({{"ID", "3"}, {"TOPIC", "Tail"}, {"MEMO", "y"}});
    const Document doc = generate(memoLayout(&d));
    QVERIFY(doc.pages.size() >= 3);
    const double m = margin();
    // The huge record starts on a fresh page rather than below the small one.
    QVERIFY(doc.pages[0].findText("Small"));
    QVERIFY(!doc.pages[0].findText("Huge"));
    QCOMPARE(doc.pages[1].findText("Huge")->rect.top(), m + 43 + 1);
    QStringList all;
    for (const Page& p : doc.pages)
        for (const Primitive* t : p.texts()) {
            QVERIFY(t->rect.bottom() <= 1056 - m - 14 + 0.01 || t->rect.top() >= 1056 - m - 14 - 0.01);
            if (t->text.startsWith("word"))
                all << t->text;
        }
    QCOMPARE(all.join(' '), words(3000));
    QVERIFY(doc.pages.back().findText("Tail"));
}

void ReportEngineTest::emptyDataGivesOnePage()
{
    FakeData d;
    for (const ReportData* data : {static_cast<const ReportData*>(&d), static_cast<const ReportData*>(nullptr)}) {
        const Document doc = generate(listLayout(data));
        QCOMPARE(doc.pages.size(), size_t(1));
        QVERIFY(doc.pages[0].findText("Title text"));
        QVERIFY(doc.pages[0].findText("Page1"));
    }
}

void ReportEngineTest::systemItemTexts()
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9));
    const QString printed = printedText(when, us);
    QVERIFY(printed.startsWith("Printed 3/5/"));
    QVERIFY(printed.contains("2:07:09"));
    QVERIFY(printed.contains("PM"));
    QVERIFY(!printed.contains("UTC"));  // the long time without a zone
    const QLocale de(QLocale::German, QLocale::Germany);
    QVERIFY(printedText(when, de).startsWith("Printed 05.03."));
    QVERIFY(printedText(when, de).endsWith("14:07:09"));
    QCOMPARE(pageNumberText(12), QStringLiteral("Page12"));

    FakeData d = numbered(2);
    GenerateOptions opt;
    opt.printTime = when;
    opt.locale = us;
    const Document doc = generate(listLayout(&d), {}, opt);
    const Page first = doc.pages[0];
    const Primitive* p = first.findText(printed);
    QVERIFY(p);
    QCOMPARE(p->rect.topLeft(), QPointF(margin() + 17, 1056 - margin() - 14 + 1));
}

void ReportEngineTest::progressCanCancel()
{
    FakeData d = numbered(500);
    int calls = 0, lastTotal = 0;
    const Document all = generate(listLayout(&d), [&](int done, int total) {
        ++calls;
        lastTotal = total;
        return done > 0;
    });
    QCOMPARE(calls, 500);
    QCOMPARE(lastTotal, 500);
    QVERIFY(!all.cancelled());
    const Document part = generate(listLayout(&d), [](int done, int) { return done < 100; });
    QVERIFY(part.cancelled());
    QVERIFY(part.pageCount() < all.pageCount());
}

void ReportEngineTest::pdfIsUsLetterWithTheTexts()
{
    QTemporaryDir dir;
    FakeData d = numbered(rowsPerPage() + 3);
    d.rows[0]["TOPIC"] = QString::fromUtf8("Ärger mit Ümlauten");
    const Document doc = generate(listLayout(&d));
    const QString pdf = dir.filePath("r.pdf");
    QString error;
    QVERIFY2(writePdf(doc, pdf, &error), qPrintable(error));
    const QString info = runTool("pdfinfo", {pdf});
    QVERIFY2(info.contains(QRegularExpression("Page size:\\s+612 x 792 pts \\(letter\\)")), qPrintable(info));
    QVERIFY(info.contains(QRegularExpression("Pages:\\s+2\\b")));
    const QString page1 = runTool("pdftotext", {"-layout", "-f", "1", "-l", "1", pdf, "-"});
    QVERIFY2(page1.contains("Title text"), qPrintable(page1));
    QVERIFY(page1.contains(QString::fromUtf8("Ärger mit Ümlauten")));
    QVERIFY(page1.contains("Page1"));
    QVERIFY(!page1.contains(QStringLiteral("Topic %1\n").arg(rowsPerPage() + 1)));
    const QString page2 = runTool("pdftotext", {"-layout", "-f", "2", "-l", "2", pdf, "-"});
    QVERIFY(page2.contains(QStringLiteral("Topic %1").arg(rowsPerPage() + 3)));
    QVERIFY(page2.contains("Page2"));
    // The title sits 210 pixels right of the left margin: 10 mm + 210/96 in, in points.
    const QString bbox = runTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
    QRegularExpression titleWord("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>Title<");
    const auto match = titleWord.match(bbox);
    QVERIFY2(match.hasMatch(), qPrintable(bbox.left(2000)));
    QVERIFY(qAbs(match.captured(1).toDouble() - (margin() + 210) * 0.75) < 2.0);
    QVERIFY(qAbs(match.captured(2).toDouble() - (margin() + 3) * 0.75) < 4.0);

    QVERIFY(!writePdf(doc, dir.filePath("no/such/folder/r.pdf"), &error));
    QVERIFY(error.contains("no/such/folder"));
}

void ReportEngineTest::printerOutputHasEveryPage()
{
    QTemporaryDir dir;
    FakeData d = numbered(rowsPerPage() * 2 + 1);
    const Document doc = generate(listLayout(&d));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("p.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A4));  // the document's paper wins
    printer.setCopyCount(3);
    QList<int> seen;
    QVERIFY(printDocument(doc, printer, nullptr, [&](int page, int pages) {
        seen << page * 100 + pages;
        return true;
    }));
    QCOMPARE(seen, (QList<int>{103, 203, 303}));
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::Letter);
    QCOMPARE(printer.copyCount(), 1);
    const QString info = runTool("pdfinfo", {dir.filePath("p.pdf")});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+3\\b")), qPrintable(info));
    QVERIFY(info.contains("612 x 792 pts"));
    // The current printer is US Letter from the start.
    QCOMPARE(currentPrinter().pageLayout().pageSize().id(), QPageSize::Letter);
}

void ReportEngineTest::previewNavigatesAndKeepsItsPages()
{
    FakeData d = numbered(rowsPerPage() * 2 + 1);
    const Layout l = listLayout(&d);
    QWidget owner;
    PreviewWindow* w = previewLayout(l, &owner);
    QVERIFY(w);
    PreviewWindow* w2 = previewLayout(l, &owner);
    QVERIFY(w2 && w2 != w);  // a new window per run
    QCOMPARE(w->windowTitle(), QStringLiteral("This is just a title"));
    QVERIFY(w->isWindow() && w->isVisible());
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(!w->isModal());
    QTRY_VERIFY(!w->layingOut());  // the pages after the first are laid out on the event loop
    QCOMPARE(w->pageCount(), 3);
    QCOMPARE(w->currentPage(), 1);
    auto* first = w->findChild<QAction*>("actFirstPage");
    auto* next = w->findChild<QAction*>("actNextPage");
    auto* last = w->findChild<QAction*>("actLastPage");
    QVERIFY(first && next && last);
    QVERIFY(!first->isEnabled());
    next->trigger();
    QCOMPARE(w->currentPage(), 2);
    QCOMPARE(w->findChild<QLabel*>("lblPage")->text(), QStringLiteral("Page 2 of 3"));
    last->trigger();
    QCOMPARE(w->currentPage(), 3);
    QVERIFY(!next->isEnabled() && first->isEnabled());
    w->showPage(99);
    QCOMPARE(w->currentPage(), 3);
    w->setZoomPercent(200);
    QCOMPARE(w->zoom(), 2.0);
    w->setZoomMode(PreviewWindow::WholePage);
    QVERIFY(w->zoom() < 2.0);

    // The preview holds the pages as generated: later changes of the data do not reach it.
    d.rows[0]["TOPIC"] = "Changed";
    QVERIFY(w->document().pages[0].findText("Topic 1"));
    QVERIFY(!w->document().pages[0].findText("Changed"));
    w->close();
    QTRY_VERIFY(owner.findChildren<PreviewWindow*>().size() == 1);
}

void ReportEngineTest::previewShowsItsFirstPageAtOnce()
{
    // A long report: the window shows page 1 while the rest is laid out on the event loop,
    // from the rows as they were when it opened.
    const int pages = 60;
    FakeData d = numbered(rowsPerPage() * pages);
    QWidget owner;
    PreviewWindow* w = previewLayout(listLayout(&d), &owner);
    QVERIFY(w->isVisible() && w->layingOut());
    QVERIFY(w->pageCount() >= 1 && w->pageCount() < pages);
    QVERIFY(w->findChild<QLabel*>("lblPage")->text().startsWith("Page 1 of "));
    d.rows.last()["TOPIC"] = "Changed";
    QTRY_VERIFY_WITH_TIMEOUT(!w->layingOut(), 20000);
    QCOMPARE(w->pageCount(), pages);
    QVERIFY(w->document().pages.back().findText(QStringLiteral("Topic %1").arg(d.rows.size())));
    QVERIFY(!w->document().pages.back().findText("Changed"));

    // Stop: the pages laid out so far are on view, each still whole, and no more follow.
    PreviewWindow* stopped = previewLayout(listLayout(&d), &owner);
    // While pages are laid out, Close stays on the toolbar of a window 1024 pixels wide.
    stopped->showNormal();
    stopped->setGeometry(0, 0, 1024, 768);
    QVERIFY(stopped->layingOut());
    auto* bar = stopped->findChild<QToolBar*>("PreviewToolBar");
    QTRY_COMPARE(bar->width(), 1024);
    QWidget* closeButton = bar->widgetForAction(stopped->findChild<QAction*>("actClose"));
    QVERIFY(closeButton && closeButton->isVisible() && bar->rect().contains(closeButton->geometry()));
    stopped->findChild<QAction*>("actStopLayout")->trigger();
    QVERIFY(!stopped->layingOut());
    const int kept = stopped->pageCount();
    QVERIFY(kept >= 1 && kept < pages);
    QVERIFY(stopped->document().pages[size_t(kept - 1)].findText(QStringLiteral("Page%1").arg(kept)));
    QTest::qWait(50);
    QCOMPARE(stopped->pageCount(), kept);
    QVERIFY(stopped->findChild<QLabel*>("lblPage")->text().contains("stopped"));
    QVERIFY(closeButton->isVisible());

    // Print from the stopped preview: the rest is laid out first, with its progress window,
    // and the whole report is printed.
    QTemporaryDir dir;
    currentPrinter().setOutputFormat(QPrinter::PdfFormat);
    currentPrinter().setOutputFileName(dir.filePath("whole.pdf"));
    QString progress;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
            if (dlg->labelText().startsWith("Preparing"))
                progress = dlg->labelText();
    });
    watcher.start();
    stopped->findChild<QAction*>("actPrint")->trigger();
    watcher.stop();
    currentPrinter().setOutputFileName(QString());
    QVERIFY2(progress.startsWith("Preparing record "), qPrintable(progress));
    QCOMPARE(stopped->pageCount(), pages);
    QVERIFY(!stopped->document().cancelled());
    QVERIFY(!stopped->findChild<QLabel*>("lblPage")->text().contains("stopped"));
    const QString info = runTool("pdfinfo", {dir.filePath("whole.pdf")});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\b").arg(pages))), qPrintable(info));
    QVERIFY(runTool("pdftotext", {dir.filePath("whole.pdf"), "-"}).contains("Changed"));  // the last row, as changed above

    // Cancelled in that progress window, the preview stays stopped where it was, and a later
    // Print carries on from there.
    PreviewWindow* again = previewLayout(listLayout(&d), &owner);
    again->stopLayout();
    QTimer canceller;
    canceller.setInterval(0);
    connect(&canceller, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
            dlg->cancel();
    });
    canceller.start();
    currentPrinter().setOutputFileName(dir.filePath("none.pdf"));
    again->print();
    canceller.stop();
    currentPrinter().setOutputFileName(QString());
    QVERIFY(!QFile::exists(dir.filePath("none.pdf")));
    QVERIFY(again->pageCount() < pages && !again->document().cancelled());
    QVERIFY(again->findChild<QLabel*>("lblPage")->text().contains("stopped"));
}

void ReportEngineTest::previewsOpenedAndClosedGiveTheirMemoryBack()
{
    // Run under the leak checker too: a preview closed leaves nothing behind.
    FakeData d = numbered(rowsPerPage() * 3);
    const Layout l = listLayout(&d);
    QWidget owner;
    auto openAndClose = [&] {
        QPointer<PreviewWindow> w = previewLayout(l, &owner);
        w->nextPage();
        w->setZoomMode(PreviewWindow::WholePage);
        QTRY_VERIFY(!w->layingOut());
        w->close();
        QTRY_VERIFY(!w);
    };
    for (int i = 0; i < 3; ++i)  // fonts, icons and styles are set up once
        openAndClose();
#ifdef __GLIBC__
    const size_t before = mallinfo2().uordblks;
#endif
    for (int i = 0; i < 40; ++i)
        openAndClose();
#ifdef __GLIBC__
    // Some kilobytes of caches may still settle; a leak of even 2 kB a preview would not.
    const size_t grown = mallinfo2().uordblks > before ? mallinfo2().uordblks - before : 0;
    QVERIFY2(grown < 40 * 2048, qPrintable(QString::number(grown)));
#endif
    QVERIFY(owner.findChildren<PreviewWindow*>().isEmpty());
}

void ReportEngineTest::generationCanBeCancelledFromItsProgressWindow()
{
    FakeData d = numbered(20000);
    const Layout l = listLayout(&d);
    QString label;
    bool modal = false;
    QTimer clicker;
    clicker.setInterval(0);
    connect(&clicker, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (dlg && dlg->objectName() == "ReportProgress" && !dlg->wasCanceled()) {
            label = dlg->labelText();
            modal = dlg->windowModality() == Qt::ApplicationModal;
            dlg->cancel();
        }
    });
    clicker.start();
    QWidget owner;
    QVERIFY(!generateWithProgress(l, &owner, {}, 0));
    QVERIFY2(QRegularExpression("^Preparing record \\d+ of 20000$").match(label).hasMatch(), qPrintable(label));
    QVERIFY(modal);  // the user cannot change the table while its pages are laid out
    clicker.stop();
    FakeData small = numbered(10);
    const auto doc = generateWithProgress(listLayout(&small), &owner, {}, 0);
    QVERIFY(doc && doc->pages.size() == 1);
}

void ReportEngineTest::printingFailuresAndTheMissingPrinter()
{
    FakeData d = numbered(3);
    const Document doc = generate(listLayout(&d));
    QPrinter bad;
    bad.setOutputFormat(QPrinter::PdfFormat);
    bad.setOutputFileName("/no/such/folder/x.pdf");
    QString error;
    QVERIFY(!printDocument(doc, bad, &error));
    QVERIFY(!error.isEmpty());

    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed here");
    // Without any printer, printing writes a PDF file and says where.
    QStandardPaths::setTestModeEnabled(true);
    tvtest::ModalAnswerer answer;
    QVERIFY(currentPrinter().outputFileName().isEmpty());
    QVERIFY(printWithProgress(doc, nullptr));
    const QString notice = answer.lastText();
    const QRegularExpression named("written to \"(.+)\"\\.$");
    const auto m = named.match(notice);
    QVERIFY2(m.hasMatch(), qPrintable(notice));
    const QString file = m.captured(1);
    QVERIFY(runTool("pdftotext", {file, "-"}).contains("Topic 3"));
    QVERIFY(currentPrinter().outputFileName().isEmpty());  // the next print asks again
    QVERIFY(QFile::remove(file));

    // Cancelled part way: the user is told, and the unfinished file is not left behind.
    FakeData many = numbered(rowsPerPage() * 30);
    const Document longDoc = generate(listLayout(&many));
    QTimer canceller;
    canceller.setInterval(0);
    connect(&canceller, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (dlg && dlg->objectName() == "ReportProgress" && dlg->value() >= 3)
            dlg->cancel();
    });
    canceller.start();
    const size_t boxesBefore = answer.seen().size();
    QVERIFY(!printWithProgress(longDoc, nullptr));
    canceller.stop();
    QVERIFY(answer.seen().size() > boxesBefore);
    const auto cancelled = QRegularExpression("^Printing was cancelled after \\d+ of 30 pages\\. The unfinished file \"(.+)\" was removed\\.$")
                               .match(answer.lastText());
    QVERIFY2(cancelled.hasMatch(), qPrintable(answer.lastText()));
    QVERIFY(!QFile::exists(cancelled.captured(1)));
    QVERIFY(QDir(QFileInfo(cancelled.captured(1)).path()).entryList({"*.pdf"}).isEmpty());
    // The notices are the program's own boxes: fixed in size, captioned with its name.
    for (const tvtest::SeenBox& box : answer.seen()) {
        QVERIFY2(box.fixedSizeFault.isEmpty(), qPrintable(box.fixedSizeFault));
        QCOMPARE(box.caption, QCoreApplication::applicationName());
    }
}

void ReportEngineTest::printSetupOffersNoRangeSelectionOrFile()
{
    QPrintDialog::PrintDialogOptions options;
    QString name, said, fixedFault = QStringLiteral("no box");
    QTemporaryDir dir;
    const QString target = dir.filePath("chosen.pdf");
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<QPrintDialog*>(modal)) {
            name = dlg->objectName();
            options = dlg->options();
            dlg->reject();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            // No printer installed: it says so and offers a PDF file instead.
            name = box->objectName();
            said = box->text();
            fixedFault = fixedSizeFault(box);
            for (QAbstractButton* b : box->buttons())
                if (b->text().contains("PDF"))
                    b->click();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            // Typed as a user would: the dialog's own first choice may still be settling in
            // its file list, so accept only once the typed name is the one it would take.
            if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                edit->setText(target);
            if (files->selectedFiles().value(0) == target)
                QMetaObject::invokeMethod(files, "accept");
        }
    });
    closer.start();
    currentPrinter().setCopyCount(1);
    QWidget owner;
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        QVERIFY(!printSetup(&owner));
        QCOMPARE(name, QStringLiteral("PrintDialog1"));
        QVERIFY(!(options & QAbstractPrintDialog::PrintToFile));
        QVERIFY(!(options & QAbstractPrintDialog::PrintSelection));
        QVERIFY(!(options & QAbstractPrintDialog::PrintPageRange));
        QCOMPARE(currentPrinter().pageLayout().pageSize().id(), QPageSize::Letter);
        return;
    }
    QVERIFY(printSetup(&owner));
    QCOMPARE(name, QStringLiteral("PrintDialog1"));
    QCOMPARE(said, QStringLiteral("No printer is installed."));
    QVERIFY2(fixedFault.isEmpty(), qPrintable(fixedFault));
    QCOMPARE(currentPrinter().outputFileName(), target);
    // Later prints go to that file, with no notice and no other file.
    FakeData d = numbered(3);
    QVERIFY(printWithProgress(generate(listLayout(&d)), &owner));
    QVERIFY(runTool("pdftotext", {target, "-"}).contains("Topic 3"));
    currentPrinter().setOutputFileName(QString());
}

QTEST_MAIN(ReportEngineTest)
#include "reportengine_test.moc"
