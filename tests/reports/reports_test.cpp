// The fourteen layouts, their holders and the report command over real tables held in memory:
// the documents' texts and positions, the choice by page and view, the forum binding, filter
// and order, the page-number text, preview windows and printing to a PDF printer.

#include "data/catalogue.h"
#include "dbaware/currencytext.h"
#include "platform/platform.h"
#include "reportengine/render.h"
#include "engine/dataset/memorytable.h"
#include "engine/dataset/table.h"
#include "reportengine/generator.h"
#include "reportengine/previewwindow.h"
#include "reportengine/reportrun.h"
#include "reports/holders.h"
#include "reports/layouts.h"
#include "reports/reportcommand.h"
#include "support/modalanswerer.h"
#include "support/pdftools.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

using namespace tv;
using namespace tv::reports;
using report::Document;
using report::ItemKind;
using report::Page;
using report::Primitive;

namespace {

const double kMargin = 10.0 * 96.0 / 25.4;

// One record being made: values set by field name.
struct Row {
    Record& values;
    const std::vector<FieldDef>& fields;
    void set(const char* name, Value v)
    {
        for (size_t f = 0; f < fields.size(); ++f)
            if (fields[f].name == name) {
                values[f] = std::move(v);
                return;
            }
        QFAIL(name);
    }
};

// The sample text of a text field in record n: its name and n, shortened to fit the field.
QString sample(int base, const char* field, int n)
{
    const data::FieldDecl* f = data::findDeclared(*data::baseByNumber(base), field);
    const QString num = QString::number(n);
    const int room = f && f->size > 0 ? f->size : 255;
    const QString name = QString::fromUtf8(field).left(std::max<qsizetype>(0, room - num.size() - 1));
    return name.isEmpty() ? num : name + ' ' + num;
}

// Fills a table of a base with `rows` records whose text fields read "<field> <n>" and whose
// numbers are n.
void fillBase(TableFile& file, int base, int rows, const std::function<void(Row&, int)>& tweak = {})
{
    const auto& fields = file.fields();
    for (int n = 1; n <= rows; ++n) {
        Record r(fields.size());
        for (size_t f = 0; f < fields.size(); ++f) {
            switch (kindOf(fields[f].type)) {
            case FieldKind::Text:
                r[f] = sample(base, fields[f].name.c_str(), n).toStdString();
                break;
            case FieldKind::Memo:
                r[f] = std::string(fields[f].name) + " of record " + std::to_string(n);
                break;
            case FieldKind::Integer:
                r[f] = int64_t(n);
                break;
            case FieldKind::Float:
                r[f] = double(n);
                break;
            case FieldKind::Date:
                r[f] = dateFromYmd(2001, 1 + n % 12, 1 + n % 28);
                break;
            default:
                break;
            }
        }
        if (tweak) {
            Row row{r, fields};
            tweak(row, n);
        }
        file.insert(r);
    }
}

// A base's table in memory with the declared fields, filled by fillBase.
std::unique_ptr<Table> makeBase(int base, int rows, const std::function<void(Row&, int)>& tweak = {},
                                const std::vector<IndexDef>& indexes = {}, bool writable = true)
{
    auto file = std::make_unique<MemoryTable>(data::tableSpecFor(*data::baseByNumber(base)));
    for (const IndexDef& index : indexes)
        file->addIndex(index);
    fillBase(*file, base, rows, tweak);
    file->setWritable(writable);
    auto t = std::make_unique<Table>();
    t->open(std::move(file));
    return t;
}

struct Bases {
    std::map<int, std::unique_ptr<Table>> tables;
    TableLookup lookup()
    {
        return [this](int base) -> Table* {
            auto it = tables.find(base);
            return it == tables.end() ? nullptr : it->second.get();
        };
    }
};

const Primitive* primAt(const Page& p, double left, double top)
{
    for (const Primitive* t : p.texts())
        if (qAbs(t->rect.left() - left) < 0.01 && qAbs(t->rect.top() - top) < 0.01)
            return t;
    return nullptr;
}

// The text printed with its box at that place; a null string when there is none.
QString textAt(const Page& p, double left, double top)
{
    const Primitive* t = primAt(p, left, top);
    return t ? t->text : QString();
}

Document generateFixed(const ReportHolder* h)
{
    report::GenerateOptions opt;
    opt.printTime = QDateTime(QDate(2026, 12, 7), QTime(9, 5, 1));
    opt.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    opt.dateFormat = QStringLiteral("M/d/yyyy");
    opt.timeFormat = QStringLiteral("h:mm:ss AP");
    return report::generate(h->layout(), {}, opt);
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void holdersAreCreatedInOrderAndBound();
    void everyDataItemReadsAFieldOfItsBase();
    void layoutsShareTheirBands();
    void topicsListReportOnATable();
    void memoReportsPrintTheWholeMemo();
    void questionsAndAnswersMemo();
    void filterAndOrderAreHonoured();
    void longReportNumbersItsPages();
    void reportChoiceByPageAndView();
    void operationOfTheControls();
    void forumLayoutsFollowTheForumChoice();
    void noReportForThisPage();
    void previewAndPrintFromTheCommand();
    void numbersAndDatesAreNeverCut();
    void filePagesAreLetGo();
};

void ReportsTest::holdersAreCreatedInOrderAndBound()
{
    Bases b;
    for (int base : {1, 2, 3, 4, 5, 6, 7, 9, 40})
        b.tables[base] = makeBase(base, 1);
    QWidget owner;
    const std::vector<ReportHolder*> made = createHolders(&owner, b.lookup());
    const QStringList names = {"DNewsMemoForm", "DNewsForm", "DKBMemoForm1", "DKBForm1", "CISForm1", "CISMemoForm1", "DSPForm1",
                               "DSPMemoForm1", "SWAGForm", "BooksForm1", "DTopicsForm", "DTopicsMemoForm", "PrivatForm", "PrivatMemoForm"};
    QCOMPARE(int(made.size()), 14);
    QStringList layouts;
    for (size_t i = 0; i < made.size(); ++i) {
        ReportHolder* h = made[i];
        QCOMPARE(h->objectName(), names[int(i)]);
        QCOMPARE(QString(h->metaObject()->className()), "tv::reports::T" + names[int(i)]);
        QCOMPARE(h->parent(), &owner);
        QCOMPARE(findHolder(&owner, names[int(i)]), h);
        QCOMPARE(h->boundTable(), b.tables[h->base()].get());
        QCOMPARE(h->layout().title, QStringLiteral("This is just a title"));
        layouts << h->layoutName();
    }
    owner.show();
    for (ReportHolder* h : made)
        QVERIFY(!h->isVisible());  // never shown
    layouts.sort();
    QStringList all = layoutNames();
    all.sort();
    QCOMPARE(layouts, all);
    QCOMPARE(all.size(), 14);
}

void ReportsTest::everyDataItemReadsAFieldOfItsBase()
{
    QWidget owner;
    for (ReportHolder* h : createHolders(&owner, {})) {
        const data::BaseDecl* base = data::baseByNumber(h->base());
        QVERIFY(base);
        QStringList empty;
        std::vector<const report::Band*> bands = {&h->layout().detail};
        if (h->layout().child)
            bands.push_back(&*h->layout().child);
        for (const report::Band* band : bands)
            for (const report::Item& it : band->items) {
                if (it.kind != ItemKind::Data && it.kind != ItemKind::Memo)
                    continue;
                if (it.field.isEmpty()) {
                    empty << QString::number(it.left);
                    continue;
                }
                QVERIFY2(data::findDeclared(*base, it.field.toStdString()),
                         qPrintable(h->layoutName() + ": no field " + it.field));
            }
        // Only the question-and-answer memo has columns without a field: Type, Class, Source.
        QCOMPARE(empty, h->layoutName() == "DKBMemo" ? QStringList({"223", "618", "690"}) : QStringList());
    }
}

void ReportsTest::layoutsShareTheirBands()
{
    for (const QString& name : layoutNames()) {
        const report::Layout l = makeLayout(name);
        QCOMPARE(l.name, name);
        QCOMPARE(l.page.paper, QPageSize::Letter);
        QVERIFY(l.page.portrait);
        QCOMPARE(l.page.marginMm, 10.0);
        QCOMPARE(l.page.bandWidth, 740);
        QVERIFY(l.headerOnFirstPage && l.footerOnLastPage);
        QCOMPARE(l.printer.copies, 1);
        QVERIFY(!l.printer.duplex && l.printer.firstBin);
        QCOMPARE(l.pageHeader.height, 24);
        QCOMPARE(*l.pageHeader.fill, QColor(0, 0, 255));
        QCOMPARE(l.pageHeader.items.size(), size_t(1));
        QCOMPARE(l.pageHeader.items[0].color, QColor(Qt::white));
        QCOMPARE(l.columnHeader.height, 19);
        QVERIFY(l.columnHeader.frame.bottom && !l.columnHeader.frame.top);
        QCOMPARE(l.pageFooter.height, 14);
        QVERIFY(l.pageFooter.frame.top && l.pageFooter.frame.bottom && l.pageFooter.frame.left && l.pageFooter.frame.right);
        const report::Item& date = l.pageFooter.items[0];
        const report::Item& page = l.pageFooter.items[1];
        QCOMPARE(date.kind, ItemKind::DateTime);
        QCOMPARE(QPoint(date.left, date.top), QPoint(17, 1));
        QCOMPARE(page.kind, ItemKind::PageNumber);
        QCOMPARE(QPoint(page.left, page.top), QPoint(678, name == "SWAGReport" ? 1 : 0));
        QCOMPARE(page.font.bold, name != "BooksReport");
        QVERIFY(page.font.italic);

        // Column headings stand at the left of their columns; the last column has no rule;
        // every box lies within the band width.
        std::vector<const report::Item*> data;
        for (const report::Item& it : l.detail.items)
            if (it.kind == ItemKind::Data)
                data.push_back(&it);
        QCOMPARE(data.size(), l.columnHeader.items.size());
        for (size_t i = 0; i < data.size(); ++i) {
            QVERIFY(qAbs(l.columnHeader.items[i].left - data[i]->left) <= 5);
            QVERIFY(l.columnHeader.items[i].font.bold);
            QCOMPARE(data[i]->height, 14);
            QCOMPARE(data[i]->rightRule, i + 1 < data.size());
            QVERIFY(data[i]->left + data[i]->width <= 740);
            QVERIFY(i == 0 || data[i]->left >= data[i - 1]->left + data[i - 1]->width);
        }
        const bool memo = name.endsWith("Memo");
        QCOMPARE(l.detail.frame.top, memo);
        QCOMPARE(l.detail.frame.bottom, !memo);
        QCOMPARE(bool(l.child), name == "DKBMemo");
        if (!memo)
            QCOMPARE(l.detail.height, 14);
    }
    // Points where the layouts differ.
    const report::Layout cis = makeLayout("CISReport");
    QCOMPARE(QPoint(cis.pageHeader.items[0].left, cis.pageHeader.items[0].top), QPoint(147, 2));
    QCOMPARE(cis.detail.items[2].align, Qt::Alignment(Qt::AlignRight));
    const report::Layout priv = makeLayout("PrivatReport");
    QCOMPARE(priv.pageHeader.items[0].font.pixelSize, 19);
    QCOMPARE(QPoint(priv.pageHeader.items[0].left, priv.pageHeader.items[0].top), QPoint(230, 1));
    QCOMPARE(makeLayout("DSPMemo").detail.height, 35);
    QCOMPARE(makeLayout("CISMemo").detail.height, 58);
}

void ReportsTest::topicsListReportOnATable()
{
    Bases b;
    b.tables[1] = makeBase(1, 3, [](Row& r, int n) {
        if (n == 2)
            r.set("TOPIC", std::string("A topic far too long to fit into its column of one hundred and seventy-six pixels"));
    });
    QWidget owner;
    createHolders(&owner, b.lookup());
    Table& t = *b.tables[1];
    t.moveTo(1);
    const Document doc = generateFixed(findHolder(&owner, "DTopicsForm"));
    QCOMPARE(t.recNo(), 1);  // the user's record did not move
    QCOMPARE(doc.pages.size(), size_t(1));
    const Page& p = doc.pages[0];
    const double m = kMargin;
    QCOMPARE(p.findText("Tipvault- DTopics Database ")->rect.topLeft(), QPointF(m + 210, m + 3));
    const double body = m + 24 + 19;
    for (auto [label, left] : std::vector<std::pair<const char*, int>>{{"#", 5}, {"Topic:", 27}, {"Type:", 209}, {"Category:", 272},
                                                                       {"Delphi:", 360}, {"Keywords:", 427}, {"Class:", 622}, {"Source:", 695}})
        QCOMPARE(p.findText(label)->rect.topLeft(), QPointF(m + left, m + 24 + 3));
    for (int n = 1; n <= 3; ++n) {
        const double top = body + (n - 1) * 14;
        QCOMPARE(textAt(p, m + 3, top), QString::number(n));
        QCOMPARE(textAt(p, m + 209, top), sample(1, "TYPE", n));
        QCOMPARE(textAt(p, m + 272, top), sample(1, "CATEGORY", n));
        QCOMPARE(textAt(p, m + 360, top), sample(1, "RELEASE", n));
        QCOMPARE(textAt(p, m + 427, top), sample(1, "KEYWORDS", n));
        QCOMPARE(textAt(p, m + 623, top), sample(1, "CLASS", n));
        QCOMPARE(textAt(p, m + 700, top), sample(1, "SOURCE", n));
    }
    // The long topic is cut to what fits on one line of its box.
    const QString cut = textAt(p, m + 26, body + 14);
    QVERIFY(cut.startsWith("A topic far"));
    QVERIFY(cut.size() < 40);
    QVERIFY(p.findText("Printed 12/7/2026 9:05:01 AM"));
    QVERIFY(p.findText("Page1"));
}

void ReportsTest::memoReportsPrintTheWholeMemo()
{
    Bases b;
    b.tables[1] = makeBase(1, 2, [](Row& r, int n) {
        if (n == 1)
            r.set("DESCRIPTION", std::string("First line of the description.\r\nSecond line."));
    });
    b.tables[3] = makeBase(3, 1);
    b.tables[5] = makeBase(5, 1);
    QWidget owner;
    createHolders(&owner, b.lookup());
    const double m = kMargin, body = m + 43;
    const Document topics = generateFixed(findHolder(&owner, "DTopicsMemoForm"));
    const Page& p = topics.pages[0];
    QVERIFY(!p.findText("#"));
    QCOMPARE(p.findText("Tipvault - DTopics Database ")->rect.topLeft(), QPointF(m + 210, m + 3));
    QCOMPARE(textAt(p, m + 5, body + 1), sample(1, "TOPIC", 1));
    QCOMPARE(textAt(p, m + 690, body + 1), sample(1, "SOURCE", 1));
    QCOMPARE(textAt(p, m + 11, body + 21), QStringLiteral("First line of the description."));
    const Primitive* second = p.findText("Second line.");
    QVERIFY(second && second->rect.left() == m + 11 && second->rect.top() > body + 21);
    // The first band grew by its second memo line (keeping 15 pixels below the memo); the
    // second record's one-line memo leaves its band at the designed 53.
    const double first = std::max(53.0, 21 + 2 * report::lineHeight(report::FontSpec{}) + 15);
    QVERIFY(first > 53);
    QCOMPARE(textAt(p, m + 5, body + first + 1), sample(1, "TOPIC", 2));
    QCOMPARE(textAt(p, m + 11, body + first + 21), QStringLiteral("DESCRIPTION of record 2"));

    const Document newsDoc = generateFixed(findHolder(&owner, "DNewsMemoForm"));
    const Page& news = newsDoc.pages[0];
    QCOMPARE(news.findText("Tipvault - DNews Database ")->rect.left(), m + 211);
    QCOMPARE(textAt(news, m + 11, body + 21), QStringLiteral("INFO of record 1"));
    QCOMPARE(textAt(news, m + 626, body + 1), sample(3, "AUTHOR", 1));
    const Document dspDoc = generateFixed(findHolder(&owner, "DSPMemoForm1"));
    const Page& dsp = dspDoc.pages[0];
    QCOMPARE(textAt(dsp, m + 11, body + 18), QStringLiteral("Description of record 1"));
    QCOMPARE(textAt(dsp, m + 6, body + 1), sample(5, "Category", 1));
}

void ReportsTest::questionsAndAnswersMemo()
{
    Bases b;
    b.tables[2] = makeBase(2, 60, [](Row& r, int n) {
        QString answer = QStringLiteral("Answer %1:").arg(n);
        for (int i = 0; i < n % 5 * 40; ++i)
            answer += " text";
        r.set("A", answer.toStdString());
    });
    QWidget owner;
    createHolders(&owner, b.lookup());
    const Document doc = generateFixed(findHolder(&owner, "DKBMemoForm1"));
    QVERIFY(doc.pages.size() > 1);
    const double m = kMargin;
    const Page& p = doc.pages[0];
    for (auto [label, left] : std::vector<std::pair<const char*, int>>{{"Topic:", 9}, {"Type:", 224}, {"Category:", 285}, {"Delphi:", 365},
                                                                       {"Keywords:", 432}, {"Class:", 618}, {"Source:", 689}})
        QCOMPARE(p.findText(label)->rect.left(), m + left);
    const double top = m + 43;
    QCOMPARE(textAt(p, m + 5, top + 1), sample(2, "Topic", 1));
    QCOMPARE(textAt(p, m + 286, top + 1), sample(2, "Category", 1));
    QCOMPARE(textAt(p, m + 365, top + 1), sample(2, "Ver", 1));  // the version under "Delphi:"
    QCOMPARE(textAt(p, m + 429, top + 1), sample(2, "Keywords", 1));
    QVERIFY(textAt(p, m + 223, top + 1).isNull() && textAt(p, m + 618, top + 1).isNull() && textAt(p, m + 690, top + 1).isNull());
    QCOMPARE(textAt(p, m + 2, top + 20), QStringLiteral("Q:"));
    QCOMPARE(textAt(p, m + 18, top + 20), QStringLiteral("Q of record 1"));
    QCOMPARE(textAt(p, m + 2, top + 36 + 1), QStringLiteral("A:"));
    QCOMPARE(textAt(p, m + 18, top + 36 + 1), QStringLiteral("Answer 1: text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text text").left(textAt(p, m + 18, top + 37).size()));
    // Every question is followed on its own page by its answer.
    int questions = 0;
    for (const Page& pg : doc.pages)
        for (const Primitive* q : pg.texts())
            if (q->text.startsWith("Q of record ")) {
                ++questions;
                const QString n = q->text.mid(12);
                const QString a = textAt(pg, m + 18, q->rect.top() + 16 + 1);
                QVERIFY2(a.startsWith("Answer " + n + ":"), qPrintable("record " + n));
            }
    QCOMPARE(questions, 60);
}

void ReportsTest::filterAndOrderAreHonoured()
{
    IndexDef byTopic;
    byTopic.name = "ByTopic";
    byTopic.fields = {"Topic"};
    byTopic.caseInsensitive = true;
    Bases b;
    b.tables[9] = makeBase(
        9, 30, [](Row& r, int n) { r.set("Topic", "Topic " + std::string(1, char('z' - n % 26)) + std::to_string(n)); }, {byTopic});
    Table& t = *b.tables[9];
    QWidget owner;
    createHolders(&owner, b.lookup());
    const ReportHolder* h = findHolder(&owner, "PrivatForm");
    auto visibleTopics = [&] {
        QStringList out;
        for (int row = 0; row < t.recordCount(); ++row)
            out << QString::fromStdString(t.displayTextAt(row, t.fieldIndex("Topic")));
        return out;
    };
    auto printedTopics = [&] {
        const Document doc = generateFixed(h);
        QStringList out;
        for (const Page& page : doc.pages)
            for (const Primitive* p : page.texts())
                if (qAbs(p->rect.left() - (kMargin + 26)) < 0.01 && p->rect.top() > kMargin + 43 - 0.01)
                    out << p->text;
        return out;
    };
    // Filter: only the topics holding a "1".
    FieldCondition has1;
    has1.fieldName = "Topic";
    has1.matchType = fdMatchAny;
    has1.value = "1";
    t.setFilter({has1});
    const QStringList filtered = visibleTopics();
    QVERIFY(filtered.size() > 2 && filtered.size() < 30);
    QCOMPARE(printedTopics(), filtered);
    // Order: by the topic index; the report follows it.
    QVERIFY(t.orderByField("Topic"));
    const QStringList ordered = visibleTopics();
    QVERIFY(ordered != filtered);
    QStringList sorted = filtered;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(ordered, sorted);
    t.moveTo(2);
    QCOMPARE(printedTopics(), ordered);
    QCOMPARE(t.recNo(), 2);  // the user's record did not move
}

void ReportsTest::longReportNumbersItsPages()
{
    Bases b;
    b.tables[6] = makeBase(6, 800);
    QWidget owner;
    createHolders(&owner, b.lookup());
    const Document doc = generateFixed(findHolder(&owner, "SWAGForm"));
    const int perPage = int((1056 - 2 * kMargin - 24 - 19 - 14) / 14);
    QCOMPARE(int(doc.pages.size()), (800 + perPage - 1) / perPage);
    QVERIFY(doc.pages.size() >= 12);
    const Page twelfth = doc.pages[11];
    const Primitive* p12 = twelfth.findText("Page12");
    QVERIFY(p12);
    QCOMPARE(p12->rect.topLeft(), QPointF(kMargin + 678, 1056 - kMargin - 14 + 1));  // SWAG: at top 1
    QVERIFY(!doc.pages[11].findText("Page 12"));
    QCOMPARE(textAt(doc.pages[11], kMargin + 3, kMargin + 43), QString::number(11 * perPage + 1));
}

void ReportsTest::reportChoiceByPageAndView()
{
    const std::vector<std::tuple<int, const char*, const char*>> table = {
        {1, "DTopicsForm", "DTopicsMemoForm"}, {2, "DKBForm1", "DKBMemoForm1"}, {3, "DNewsForm", "DNewsMemoForm"},
        {4, "CISForm1", "CISMemoForm1"},       {5, "DSPForm1", "DSPMemoForm1"}, {6, "SWAGForm", "SWAGForm"},
        {7, "BooksForm1", "BooksForm1"},       {9, "PrivatForm", "PrivatMemoForm"}};
    Bases b;
    QWidget owner;
    createHolders(&owner, b.lookup());
    ReportCommand cmd(&owner, b.lookup());
    QVERIFY(!cmd.CurrentReport());
    QVERIFY(!cmd.chooseReport({0, false, 1}));  // nothing chosen yet
    for (auto [page, list, memo] : table) {
        QCOMPARE(cmd.chooseReport({page, false, 1})->objectName(), QString(list));
        QCOMPARE(cmd.chooseReport({page, true, 1})->objectName(), QString(memo));
        QCOMPARE(cmd.CurrentReport()->objectName(), QString(memo));
        for (int other : {0, 8, 10}) {  // pages without a report keep the last choice
            QCOMPARE(cmd.chooseReport({other, false, 1})->objectName(), QString(memo));
            QVERIFY(ReportCommand::holderNameFor(other, true).isEmpty());
        }
    }
}

void ReportsTest::operationOfTheControls()
{
    QObject preview, print, mnuPrint, mnuPreview, other;
    preview.setProperty("Tag", 1);
    print.setProperty("Tag", 2);
    mnuPrint.setObjectName("mnuPrint");
    mnuPreview.setObjectName("mnuPreview");
    other.setProperty("Tag", 7);
    QCOMPARE(operationOf(&preview), int(opPreview));
    QCOMPARE(operationOf(&print), int(opPrint));
    QCOMPARE(operationOf(&mnuPrint), int(opPrint));
    QCOMPARE(operationOf(&mnuPreview), int(opPreview));
    QCOMPARE(operationOf(&other), 7);  // reaches the command, which then does nothing more
    QCOMPARE(operationOf(nullptr), int(opNone));
}

void ReportsTest::forumLayoutsFollowTheForumChoice()
{
    Bases b;
    b.tables[4] = makeBase(4, 2, [](Row& r, int) { r.set("Title", std::string("Delphi32 file")); });
    b.tables[40] = makeBase(40, 3, [](Row& r, int) { r.set("Title", std::string("Delphi file")); });
    QWidget owner;
    createHolders(&owner, b.lookup());
    ReportCommand cmd(&owner, b.lookup());
    auto titles = [&](const ReportHolder* h) {
        QStringList out;
        const Document doc = generateFixed(h);
        const Page first = doc.pages[0];
        for (const Primitive* p : first.texts())
            if (p->rect.left() == kMargin + 5 && p->rect.top() > kMargin + 42)
                out << p->text;
        return out;
    };
    // "Delphi" (item 0) is base 40, for both layouts.
    ReportHolder* list = cmd.chooseReport({4, false, 0});
    QCOMPARE(list->boundTable(), b.tables[40].get());
    QCOMPARE(titles(list), QStringList({"Delphi file", "Delphi file", "Delphi file"}));
    ReportHolder* memo = cmd.chooseReport({4, true, 0});
    QCOMPARE(memo->boundTable(), b.tables[40].get());
    // "Delphi32" (item 1) is base 4; the binding is made again on every run.
    QCOMPARE(cmd.chooseReport({4, false, 1}), list);
    QCOMPARE(list->boundTable(), b.tables[4].get());
    QCOMPARE(titles(list), QStringList({"Delphi32 file", "Delphi32 file"}));
    QCOMPARE(cmd.chooseReport({4, true, 1})->boundTable(), b.tables[4].get());
    // The CIS columns: size right-aligned, section last.
    const Page p = generateFixed(list).pages[0];
    QVERIFY(primAt(p, kMargin + 300, kMargin + 43));
    QCOMPARE(primAt(p, kMargin + 300, kMargin + 43)->align, Qt::Alignment(Qt::AlignRight));
    QCOMPARE(textAt(p, kMargin + 716, kMargin + 43), QStringLiteral("1"));
    QCOMPARE(p.findText("Tipvault - CompuServe Forums Database ")->rect.topLeft(), QPointF(kMargin + 147, kMargin + 2));
}

void ReportsTest::noReportForThisPage()
{
    Bases b;
    b.tables[7] = makeBase(7, 1);
    QWidget owner;
    createHolders(&owner, b.lookup());
    ReportCommand cmd(&owner, b.lookup());
    tvtest::ModalAnswerer boxes;
    cmd.btnPreviewClick({10, false, 1}, opPreview);
    QCOMPARE(boxes.lastText(), QStringLiteral("There is no report for this page."));
    QVERIFY(!cmd.CurrentReport());
    QVERIFY(!cmd.lastPreview());
    // A base page with its table missing or closed: the engine's closed-dataset message.
    cmd.btnPreviewClick({3, false, 1}, opPreview);
    QCOMPARE(boxes.lastText(), QStringLiteral("Cannot perform this operation on a closed dataset"));
    QVERIFY(!cmd.lastPreview());
    // Once chosen, a page without a report previews the report chosen before.
    const size_t boxesBefore = boxes.seen().size();
    cmd.btnPreviewClick({7, true, 1}, opNone);  // choose only
    QCOMPARE(cmd.CurrentReport()->objectName(), QStringLiteral("BooksForm1"));
    QVERIFY(!cmd.lastPreview());
    cmd.btnPreviewClick({0, false, 1}, opPreview);
    QCOMPARE(boxes.seen().size(), boxesBefore);
    QVERIFY(cmd.lastPreview());
    QVERIFY(cmd.lastPreview()->document().pages[0].findText("Tipvault- Books Database "));
    cmd.lastPreview()->close();
}

void ReportsTest::previewAndPrintFromTheCommand()
{
    Bases b;
    b.tables[5] = makeBase(5, 3, [](Row& r, int n) {
        if (n == 1)
            r.set("Category", std::string("Components"));
    });
    QWidget owner;
    createHolders(&owner, b.lookup());
    ReportCommand cmd(&owner, b.lookup());
    cmd.btnPreviewClick({5, false, 1}, opPreview);
    QPointer<report::PreviewWindow> first = cmd.lastPreview();
    QVERIFY(first);
    cmd.btnPreviewClick({5, false, 1}, opPreview);
    QPointer<report::PreviewWindow> second = cmd.lastPreview();
    QVERIFY(second && second != first);  // two windows, each with its own pages
    QVERIFY(first->isVisible() && second->isVisible());
    QCOMPARE(second->windowTitle(), QStringLiteral("This is just a title"));
    QVERIFY(second->windowState() & Qt::WindowMaximized);
    QVERIFY(&first->document() != &second->document());
    QVERIFY(first->document().pages[0].findText("Components"));
    first->close();
    second->close();

    // Printing goes to the current printer without a dialog.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("dsp.pdf");
    QPrinter& printer = report::currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    cmd.btnPreviewClick({5, true, 1}, opPrint);
    QCOMPARE(cmd.CurrentReport()->objectName(), QStringLiteral("DSPMemoForm1"));
    const QString info = runTool("pdfinfo", {pdf});
    QVERIFY2(info.contains("612 x 792 pts"), qPrintable(info));
    const QString text = runTool("pdftotext", {"-layout", pdf, "-"});
    QVERIFY2(text.contains("Tipvault- DSP Database"), qPrintable(text));
    QVERIFY(text.contains("Components"));
    QVERIFY(text.contains("Description of record 3"));
    QVERIFY(text.contains("Page1"));
    printer.setOutputFileName(QString());
}

void ReportsTest::numbersAndDatesAreNeverCut()
{
    // Five- and six-digit numbers and four-digit years in boxes designed for less, in locales
    // whose dates hold blanks: every layout prints each such value whole, whatever its
    // alignment, condensed into its box rather than cut or wrapped.
    QTemporaryDir dir;
    const QLocale before;
    const CurrencyFormat savedCurrency = systemCurrencyFormat();
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Hungarian, QLocale::Hungary), QLocale::c()}) {
        QLocale::setDefault(locale);
        setSystemCurrencyFormat(currencyFormatOf(locale));   // as the program sets it at start
        Bases b;
        for (int base : {1, 2, 3, 4, 5, 6, 7, 9, 40}) {
            b.tables[base] = makeBase(
                base, 4,
                [](Row& r, int n) {
                    for (size_t f = 0; f < r.fields.size(); ++f) {
                        const FieldKind k = kindOf(r.fields[f].type);
                        if (k == FieldKind::Integer)
                            r.values[f] = int64_t(n % 2 ? 99900 + n : 123400 + n);
                        else if (k == FieldKind::Float)
                            r.values[f] = double(n % 2 ? 1040 + n : 99900 + n);
                        else if (k == FieldKind::Date)
                            r.values[f] = dateFromYmd(n % 2 ? 1996 : 2026, 6, 26);
                    }
                },
                {}, base == 9);  // the private base can change under a report; the others cannot
            b.tables[base]->setShortDateFormat(platform::shortDateFormat().toStdString());
        }
        QWidget owner;
        int money = 0;
        for (ReportHolder* h : createHolders(&owner, b.lookup())) {
            const Table& t = *h->boundTable();
            const Document doc = generateFixed(h);
            const QString pdf = dir.filePath(h->layoutName() + ".pdf");
            QVERIFY(report::writePdf(doc, pdf));
            QString printed = runTool("pdftotext", {"-raw", pdf, "-"});
            // Blanks of every kind go (no-break ones stand between thousands and before "Ft").
            const QRegularExpression blanks("\\s", QRegularExpression::UseUnicodePropertiesOption);
            printed.remove(blanks);
            const Page page = doc.pages[0];
            int checked = 0;
            for (const report::Item& it : h->layout().detail.items) {
                const int f = it.kind == ItemKind::Data && !it.field.isEmpty() ? t.fieldIndex(it.field.toStdString()) : -1;
                if (f < 0 || kindOf(t.field(f).type) == FieldKind::Text || kindOf(t.field(f).type) == FieldKind::Memo)
                    continue;
                for (int row = 0; row < t.recordCount(); ++row) {
                    const QString value = QString::fromStdString(t.displayTextAt(row, f));
                    const QString where = h->layoutName() + " " + it.field + " " + value + " " + locale.name();
                    const double top = kMargin + 43 + it.top + row * h->layout().detail.height;
                    const Primitive* p = primAt(page, kMargin + it.left, top);
                    QVERIFY2(p && p->text == value, qPrintable(where + ": " + (p ? p->text : "nothing")));
                    QVERIFY2(QFontMetricsF(p->font.toFont()).horizontalAdvance(value) * p->stretch <= it.width + 0.5, qPrintable(where));
                    QVERIFY2(printed.contains(QString(value).remove(blanks)), qPrintable(where + " not in the PDF"));
                    if (t.field(f).type == FieldType::Money && locale != QLocale::c()) {
                        // Money as the locale writes its currency: "$1,041.00", "1 041,00 Ft".
                        const double v = std::get<double>(t.file()->value(t.visibleIds()[size_t(row)], f));
                        QCOMPARE(value, locale.toCurrencyString(v, locale.currencySymbol(), 2));
                        ++money;
                    }
                    ++checked;
                }
            }
            if (h->layoutName() == "DNewsReport" || h->layoutName() == "DtopicsReport" || h->layoutName() == "DSPMemo")
                QVERIFY2(checked >= 4, qPrintable(h->layoutName()));
        }
        QVERIFY(money > 0 || locale == QLocale::c());
    }
    setSystemCurrencyFormat(savedCurrency);
    QLocale::setDefault(before);
}

// Kilobytes of a file's mapping resident in this process.
qint64 residentKb(const QString& file)
{
    QFile smaps("/proc/self/smaps");
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray path = QFile::encodeName(QFileInfo(file).canonicalFilePath());
    qint64 kb = 0;
    bool ours = false;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0 && line.left(blank).contains('-'))   // a mapping's first line: its range, ..., its file
            ours = line.endsWith(" " + path);
        else if (ours && line.startsWith("Rss:"))
            kb += line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return kb;
}

void ReportsTest::filePagesAreLetGo()
{
    // A memo report reads every memo of its base to lay its pages out. Read through the
    // file's mapping, every page of the memo file would stay in the program: they are let go
    // as the report goes (they stay in the system's file cache), and read again for a page.
    QTemporaryDir dir;
    const QString db = dir.filePath("DTOPICS.DB");
    const int rows = 3000;
    const auto memo = [](int n) {
        std::string text;
        while (text.size() < 8000)
            text += "memo " + std::to_string(n) + " line of words ";
        return text;
    };
    {
        auto file = createParadoxTable(db.toStdString(), data::tableSpecFor(*data::baseByNumber(1)));
        fillBase(*file, 1, rows, [&](Row& r, int n) { r.set("DESCRIPTION", memo(n)); });
        file->flush();
    }
    Table table;
    table.open(db.toStdString(), OpenMode::ReadOnly);
    QWidget owner;
    createHolders(&owner, [&](int) { return &table; });
    const Document doc = generateFixed(findHolder(&owner, "DTopicsMemoForm"));
    const qint64 memoKb = QFileInfo(dir.filePath("DTOPICS.MB")).size() / 1024;
    QVERIFY(memoKb > 20000);
    const qint64 resident = residentKb(dir.filePath("DTOPICS.MB"));
    QVERIFY2(resident >= 0 && resident < memoKb / 2, qPrintable(QString("%1 of %2 KB").arg(resident).arg(memoKb)));
    // The last record, read again from the file for its pages.
    bool topic = false, memoShown = false;
    for (size_t i = doc.pages.size() - 2; i < doc.pages.size(); ++i) {
        const Page page = doc.pages[i];
        for (const Primitive* t : page.texts()) {
            topic = topic || t->text == sample(1, "TOPIC", rows);
            memoShown = memoShown || t->text.contains(QString("memo %1 line").arg(rows));
        }
    }
    QVERIFY(topic && memoShown);
}

QTEST_MAIN(ReportsTest)
#include "reports_test.moc"
