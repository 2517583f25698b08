#include "layouts.h"

#include <vector>

namespace tv::reports {

using report::Band;
using report::BandKind;
using report::FontSpec;
using report::Frame;
using report::Item;
using report::Layout;

namespace {

const QColor kBlue(0, 0, 255);

struct Title {
    const char* text;
    int left = 210;
    int top = 3;
    int size = 16;
};

struct Column {
    const char* label;
    const char* field;  // empty: the column is printed without data
    int left;
    int width;
    bool right = false;
    int labelLeft = -1;  // -1: at the box's left edge
};

enum class Kind { List, Memo };

struct Memo {
    const char* field;
    int top = 21;
    int height = 17;
    int bandHeight = 53;
};

struct Spec {
    const char* name;
    Kind kind;
    Title title;
    std::vector<Column> columns;
    Memo memo{};
    int pageNumberTop = 0;
    bool footerBold = true;
};

FontSpec kTitleFont(int size) { return FontSpec{size, true, true}; }
const FontSpec kHeadingFont{11, true, false};
const FontSpec kDataFont{11, false, false};

Column col(const char* label, const char* field, int left, int width, bool right = false, int labelLeft = -1)
{
    return Column{label, field, left, width, right, labelLeft};
}

// The layouts as designed: titles, columns, positions, widths, alignments, band heights.
const std::vector<Spec>& specs()
{
    static const std::vector<Spec> all = {
        {"DtopicsReport", Kind::List, {"Tipvault- DTopics Database "},
         {col("#", "ID", 3, 21, false, 5), col("Topic:", "TOPIC", 26, 176, false, 27), col("Type:", "TYPE", 209, 59, false, 209),
          col("Category:", "CATEGORY", 272, 78, false, 272), col("Delphi:", "RELEASE", 360, 59, false, 360),
          col("Keywords:", "KEYWORDS", 427, 192, false, 427), col("Class:", "CLASS", 623, 71, false, 622),
          col("Source:", "SOURCE", 700, 32, false, 695)}},
        {"DKBReport", Kind::List, {"Tipvault- DKB Database", 213},
         {col("#", "Number", 4, 25), col("Topic:", "Topic", 37, 260), col("Category:", "Category", 309, 93),
          col("Delphi:", "Ver", 407, 55), col("Keywords:", "Keywords", 476, 242)}},
        {"DNewsReport", Kind::List, {"Tipvault - DNews Database "},
         {col("#", "NO", 3, 21), col("Topic:", "SUBJECT", 34, 307), col("Keywords:", "KEYLIST", 351, 242), col("Source:", "AUTHOR", 602, 73)}},
        {"CISReport", Kind::List, {"Tipvault - CompuServe Forums Database ", 147, 2},
         {col("Title:", "Title", 5, 207), col("File:", "File Name", 218, 80), col("Size:", "File Size", 300, 43, true),
          col("Type:", "File Type", 348, 26), col("Keywords:", "Keywords", 380, 176), col("Author:", "CIS Name", 562, 79),
          col("Forum:", "Forum", 645, 63), col("Sec.:", "Section", 716, 21)}},
        {"DSPReport", Kind::List, {"Tipvault - DSP Database"},
         {col("Category:", "Category", 6, 173), col("File:", "File", 189, 98), col("Size:", "Size", 292, 48, true),
          col("Author:", "Name", 354, 105), col("Delphi:", "Delphi Version", 474, 36), col("Ware:", "Ware", 520, 39),
          col("Keywords:", "Keywords", 564, 118), col("Date:", "Date", 686, 45, true)}},
        {"SWAGReport", Kind::List, {"Tipvault - SWAG Database "},
         {col("#", "Snippet ID", 3, 29), col("Library:", "SWAG Library", 41, 103), col("Subject:", "Subject", 151, 272),
          col("Author:", "Contributor", 434, 166), col("Size:", "Size", 616, 46, true), col("Date:", "Date", 683, 46, true)},
         {}, 1},
        {"BooksReport", Kind::List, {"Tipvault- Books Database "},
         {col("Author:", "Author", 18, 164), col("Title:", "Title", 189, 226), col("Price:", "Price", 427, 39),
          col("ISBN:", "ISBN", 480, 87), col("Publisher:", "Publisher", 573, 118), col("Value:", "ValueForMoney", 701, 34)},
         {}, 0, false},
        {"PrivatReport", Kind::List, {"Tipvault - Private Database ", 230, 1, 19},
         {col("#", "ID", 3, 21), col("Topic:", "Topic", 26, 176), col("Category:", "Category", 208, 142),
          col("Delphi:", "Delphi", 360, 59), col("Keywords:", "Keywords", 427, 192), col("Source:", "Source", 625, 107)}},

        {"DtopicsMemo", Kind::Memo, {"Tipvault - DTopics Database "},
         {col("Topic:", "TOPIC", 5, 209), col("Type:", "TYPE", 223, 54), col("Category:", "CATEGORY", 286, 69),
          col("Delphi:", "RELEASE", 365, 54), col("Keywords:", "KEYWORDS", 429, 185), col("Class:", "CLASS", 618, 63),
          col("Source:", "SOURCE", 690, 46)},
         {"DESCRIPTION", 21, 17, 53}},
        {"DNewsMemo", Kind::Memo, {"Tipvault - DNews Database ", 211},
         {col("Topic:", "SUBJECT", 5, 336), col("Keywords:", "KEYLIST", 351, 262), col("Source:", "AUTHOR", 626, 110)},
         {"INFO", 21, 16, 43}},
        {"CISMemo", Kind::Memo, {"Tipvault- CompuServe Forums Database ", 148},
         {col("Title:", "Title", 5, 207), col("File:", "File Name", 218, 66), col("Size:", "File Size", 290, 44),
          col("Type:", "File Type", 340, 34), col("Keywords:", "Keywords", 380, 176), col("Author:", "CIS Name", 562, 79),
          col("Forum:", "Forum", 645, 63), col("Sec.:", "Section", 716, 21)},
         {"Comments", 21, 27, 58}},
        {"DSPMemo", Kind::Memo, {"Tipvault- DSP Database"},
         {col("Category:", "Category", 6, 173), col("File:", "File", 189, 98), col("Size:", "Size", 292, 48, true),
          col("Author:", "Name", 354, 105), col("Delphi:", "Delphi Version", 474, 36), col("Ware:", "Ware", 520, 39),
          col("Keywords:", "Keywords", 564, 119), col("Date:", "Date", 686, 45)},
         {"Description", 18, 14, 35}},
        {"PrivatMemo", Kind::Memo, {"Tipvault - Private Database "},
         {col("Topic:", "Topic", 5, 242), col("Category:", "Category", 253, 102), col("Delphi:", "Delphi", 365, 54),
          col("Keywords:", "Keywords", 429, 185), col("Source:", "Source", 626, 110)},
         {"Description", 21, 16, 43}},
        // The question-and-answer base has no "TYPE", "CLASS" or "SOURCE" fields: those columns
        // stay empty; under "Delphi:" it prints its version field, as its list report does.
        {"DKBMemo", Kind::Memo, {"Tipvault- DKB Database "},
         {col("Topic:", "Topic", 5, 209, false, 9), col("Type:", "", 223, 54, false, 224), col("Category:", "Category", 286, 69, false, 285),
          col("Delphi:", "Ver", 365, 54, false, 365), col("Keywords:", "Keywords", 429, 185, false, 432),
          col("Class:", "", 618, 63, false, 618), col("Source:", "", 690, 46, false, 689)},
         {"Q", 20, 14, 36}},
    };
    return all;
}

Band pageHeader(const Title& t)
{
    Band b(BandKind::PageHeader);
    b.height = 24;
    b.fill = kBlue;
    b.items.push_back(Item::label(QString::fromUtf8(t.text), t.left, t.top, kTitleFont(t.size), Qt::white));
    return b;
}

Band columnHeader(const std::vector<Column>& cols)
{
    Band b(BandKind::ColumnHeader);
    b.height = 19;
    b.frame = Frame::bottomOnly();
    for (const Column& c : cols)
        b.items.push_back(Item::label(QString::fromUtf8(c.label), c.labelLeft >= 0 ? c.labelLeft : c.left, 3, kHeadingFont));
    return b;
}

// The record line: one box per column, a vertical rule at the right of each but the last.
void recordLine(Band& b, const std::vector<Column>& cols, int top)
{
    for (size_t i = 0; i < cols.size(); ++i) {
        const Column& c = cols[i];
        Item it = Item::data(QString::fromUtf8(c.field), c.left, top, c.width, 14, c.right ? Qt::AlignRight : Qt::AlignLeft,
                             i + 1 < cols.size());
        it.font = kDataFont;
        b.items.push_back(it);
    }
}

Band pageFooter(int pageNumberTop, bool bold)
{
    Band b(BandKind::PageFooter);
    b.height = 14;
    b.fill = kBlue;
    b.frame = Frame::all();
    const FontSpec f{11, bold, true};
    b.items.push_back(Item::dateTime(17, 1, f, Qt::white));
    b.items.push_back(Item::pageNumber(678, pageNumberTop, f, Qt::white));
    return b;
}

Layout build(const Spec& s)
{
    Layout l;
    l.name = QString::fromUtf8(s.name);
    l.title = kReportTitle;
    l.pageHeader = pageHeader(s.title);
    l.columnHeader = columnHeader(s.columns);
    l.pageFooter = pageFooter(s.pageNumberTop, s.footerBold);
    l.detail = Band(BandKind::Detail);
    if (s.kind == Kind::List) {
        l.detail.height = 14;
        l.detail.frame = Frame::bottomOnly();
        recordLine(l.detail, s.columns, 0);
        return l;
    }
    l.detail.height = s.memo.bandHeight;
    l.detail.frame = Frame::topOnly();
    recordLine(l.detail, s.columns, 1);
    l.detail.items.push_back(Item::hline(0, 16, 740));
    if (l.name == QLatin1String("DKBMemo")) {
        // Question in the detail band, answer in a child band printed on the same page.
        const FontSpec qa{13, true, true};
        l.detail.items.push_back(Item::label(QStringLiteral("Q:"), 2, 20, qa));
        l.detail.items.push_back(Item::memo(QStringLiteral("Q"), 18, 20, 700, 14));
        Band child(BandKind::Child);
        child.height = 19;
        child.items.push_back(Item::label(QStringLiteral("A:"), 2, 1, qa));
        child.items.push_back(Item::memo(QStringLiteral("A"), 18, 1, 700, 14));
        l.child = child;
    } else {
        l.detail.items.push_back(Item::memo(QString::fromUtf8(s.memo.field), 11, s.memo.top, 708, s.memo.height));
    }
    return l;
}

} // namespace

QStringList layoutNames()
{
    QStringList out;
    for (const Spec& s : specs())
        out << QString::fromUtf8(s.name);
    return out;
}

Layout makeLayout(const QString& name)
{
    for (const Spec& s : specs())
        if (name == QLatin1String(s.name))
            return build(s);
    return Layout{};
}

} // namespace tv::reports
