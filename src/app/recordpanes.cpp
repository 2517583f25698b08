// The record views of the base pages.

#include "app/recordpanes.h"

#include "app/dbwidgets.h"
#include "app/widgets.h"
#include "controls/docklayout.h"
#include "dbaware/dbcontrols.h"

#include <QLabel>
#include <QPainter>

#include <cmath>

namespace tv::app {

namespace {

TPanel* panel(QWidget* parent, const char* objectName, TAlign align, int width = 0)
{
    return dockedPanel(parent, objectName, align, width, align == alClient ? bvNone : bvRaised);
}

// One labelled field: the label right-aligned against labelRight, the edit 4 pixels right of it.
// An edit box is widened to show its field's declared width, as far as there is room: up to
// `roomEnd` (x in the panel), or the panel's right edge when that is 0.
void field(QWidget* panel, int labelRight, int y, const QString& label, QWidget* edit, int roomEnd = 0)
{
    if (!label.isEmpty()) {
        auto* l = new QLabel(label, panel);
        l->setFont(arialPx(11));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(labelRight - 120, y, 120, 21);
    }
    edit->move(labelRight + 4, y);
    if (auto* box = qobject_cast<DBEdit*>(edit))
        box->fitDeclaredWidth((roomEnd > 0 ? roomEnd : panel->width() - 4) - box->x());
}

// Where the label of a second field on a row ends: at its designed place, or further right
// when the box before it grew.
int labelAfter(const QWidget* before, const QString& label, int designed)
{
    return std::max(designed, before->x() + before->width() + 6 + QFontMetrics(arialPx(11)).horizontalAdvance(label));
}

struct FieldRow {
    const char* label;
    const char* field;
    int width;
};

// A field panel with one field per row, rows 22 pixels apart.
void fieldColumn(QWidget* panel, int tab, int base, int labelRight, int top, std::initializer_list<FieldRow> rows,
                 bool readOnly, int roomEnd = 0)
{
    int y = top;
    for (const FieldRow& r : rows) {
        const QByteArray n = QByteArray("Field") + QByteArray::number(tab) + "_" + QByteArray(r.field).replace(' ', '_');
        field(panel, labelRight, y, QString::fromLatin1(r.label),
              makeDbEdit(panel, n.constData(), base, r.field, r.width, readOnly), roomEnd);
        y += 22;
    }
}

QPixmap bookPicture()
{
    QPixmap pm(101, 132);
    pm.fill(QColor(0, 0, 128));
    QPainter p(&pm);
    p.fillRect(6, 6, 89, 120, QColor(200, 30, 30));
    p.fillRect(6, 6, 8, 120, QColor(120, 0, 0));
    p.setPen(Qt::white);
    p.setFont(arialPx(14, true, true));
    p.drawText(QRect(14, 20, 80, 80), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Book\nShelf"));
    return pm;
}

// The rating star: a yellow five-pointed star with a black outline on a light grey ground,
// drawn at 24 x 24 in the sixteen standard colours and stretched into each 20 x 19 cell.
QPixmap starPicture()
{
    QImage img(24, 24, QImage::Format_ARGB32);
    img.fill(QColor(192, 192, 192));
    {
        QPainter p(&img);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2) ? 4.6 : 11.0;
            const double a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(12 + r * std::cos(a), 12.8 + r * std::sin(a));
        }
        p.setPen(Qt::black);
        p.setBrush(QColor(255, 255, 0));
        p.drawPolygon(star);
    }
    const QList<QRgb> sixteen = {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
                                 qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
                                 qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
                                 qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    const QImage indexed = img.convertToFormat(QImage::Format_Indexed8, sixteen, Qt::ThresholdDither);
    return QPixmap::fromImage(indexed.scaled(20, 19, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

BooksView booksFieldPanel(QWidget* p)
{
    BooksView view;
    fieldColumn(p, 7, 7, 62, 8, {{"Title:", "Title", 288}, {"Author:", "Author", 288}}, true, 354);
    auto* image0 = new QLabel(p);
    name(image0, "Image0");
    image0->setPixmap(bookPicture());
    image0->setGeometry(358, 4, 101, 132);
    QWidget* cover = makeDbImage(p, "DBImage2", 7, "Cover");
    cover->setGeometry(8, 80, 180, 220);
    // The column between the cover and the picture: its labels clear of the cover, its boxes
    // beside the picture wide enough for an ISBN and a price, and no further than the picture;
    // the publisher's box, on the row above the ISBN's, ends where that one starts.
    const int labelRight = cover->geometry().right() + 58;
    fieldColumn(p, 7, 7, 62, 52, {{"Publisher:", "Publisher", 152}}, true, labelRight);
    fieldColumn(p, 7, 7, labelRight, 70, {{"ISBN:", "ISBN", 94}, {"Price:", "Price", 94}}, true, image0->x() - 4);
    auto* levelCaption = new QLabel(QStringLiteral("Level:"), p);
    levelCaption->setFont(arialPx(11));
    levelCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    levelCaption->setGeometry(labelRight - 120, 114, 120, 21);
    auto* level = view.levelWord = new QLabel(p);
    name(level, "Label45");
    level->setFont(arialPx(13, true));
    level->setGeometry(labelRight + 4, 114, image0->x() - 4 - (labelRight + 4), 21);
    view.level = makeDbEdit(p, "EditLevel", 7, "Level", 40, true);
    view.level->hide();
    fieldColumn(p, 7, 7, labelRight, 136, {{"Source on:", "Code", 94}}, true);

    const char* captions[] = {"Technical Contents/Quality:", "Quality Of Writing:", "Value For Money:",
                              "Overall Assessment:"};
    const char* ratingFields[] = {"TechnicalContentsQuality", "QualityOfWriting", "ValueForMoney",
                                  "OverallAssessment"};
    const QPixmap star = starPicture();
    const int rowTops[] = {159, 186, 214, 241};
    const int cellLefts[] = {338, 358, 379, 399, 419};
    for (int row = 0; row < 4; ++row) {
        const int y = rowTops[row];
        auto* cap = new QLabel(QString::fromLatin1(captions[row]), p);
        cap->setFont(arialPx(11, true));
        cap->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cap->setGeometry(190, y, 144, 19);
        for (int i = 0; i < 5; ++i) {
            const QByteArray n = "Image" + QByteArray::number(row * 5 + i + 1);
            auto* img = view.stars[static_cast<size_t>(row * 5 + i)] = new QLabel(p);
            name(img, n.constData());
            img->setPixmap(star);
            img->setScaledContents(true);
            img->setGeometry(cellLefts[i], y, 20, 19);
            img->hide();
        }
        const QByteArray e = "DBEdit" + QByteArray::number(row + 5);
        view.ratings[static_cast<size_t>(row)] = makeDbEdit(p, e.constData(), 7, ratingFields[row], 30, true);
        view.ratings[static_cast<size_t>(row)]->hide();
    }
    return view;
}

void forumFieldPanel(QWidget* p)
{
    auto edit = [p](const char* n, const char* f, int w) { return makeDbEdit(p, n, 4, f, w, true); };
    // A pair of fields on one row; the second follows the first when that one grew.
    // When the two do not fit beside each other, the field panel grows (its splitter can
    // make it narrower again).
    auto pair = [p](int y, int labelRight, const QString& label, QWidget* box, int secondRight,
                    const QString& secondLabel, DBEdit* second) {
        field(p, labelRight, y, label, box);
        field(p, labelAfter(box, secondLabel, secondRight), y, secondLabel, second, 10000);
        p->resize(std::max(p->width(), second->x() + second->width() + 4), p->height());
    };
    // The section sits at the right end of the first row, wide enough for its code.
    DBEdit* section = edit("EditSection", "Section", 47);
    section->fitDeclaredWidth(p->width());
    field(p, std::min(252, p->width() - 8 - section->width()), 8, QStringLiteral("Section"), section);
    // One label column for the rows below, so that their boxes start in one line.
    field(p, 54, 30, QStringLiteral("Title"), edit("EditTitle", "Title", 271));
    pair(52, 54, QStringLiteral("Name"), edit("EditCISName", "CIS Name", 160), 226, QStringLiteral("ID"),
         edit("EditCISID", "CIS ID", 76));
    field(p, 54, 74, QStringLiteral("File Name"), edit("EditFileName", "File Name", 75));
    pair(96, 54, QStringLiteral("File Type"), edit("EditFileType", "File Type", 75), 204, QStringLiteral("File Size"),
         edit("EditFileSize", "File Size", 65));
    field(p, 54, 118, QStringLiteral("DL Count"), edit("EditDLCount", "DL Count", 75));
    pair(140, 54, QStringLiteral("UL Date"), edit("EditULDate", "UL Date", 75), 204, QStringLiteral("Update"),
         edit("EditUpdate", "Update", 65));
    field(p, 54, 162, QStringLiteral("Forum"), edit("EditForum", "Forum", 75));
    auto* kw = new QLabel(QStringLiteral("Keywords"), p);
    kw->setFont(arialPx(11));
    kw->setGeometry(8, 186, 100, 16);
    edit("DBEdit1", "Keywords", 288)->move(8, 204);
}

// Fills in the date box and the first field of the note.
void privateFieldPanel(QWidget* p, int base, RecordPaneParts& parts)
{
    const int lr = 62;
    QWidget* number = makeDbText(p, "DBText1", base, "ID");
    field(p, lr, 8, QStringLiteral("Number:"), number);
    number->resize(60, 21);
    parts.firstField = makeDbEdit(p, "DBEdit9", base, "Topic", 220, false, 50);
    field(p, lr, 30, QStringLiteral("Topic:"), parts.firstField);
    field(p, lr, 52, QStringLiteral("Category:"),
          makeDbCombo(p, "wwDBComboBox1", base, "Category", 180, 20,
                      {"Non Tech -General", "From Borland", "Installation", "Delphi IDE", "Object Pascal",
                       "General Components", "Win95 Components", "Report Components", "DB Aware Components",
                       "Local DB/DBF issues", "C/S DB Issues", "Components Design", "OLE/OLE Automation",
                       "OCX Controls", "Win32 API", "Porting Issues", "Deployment Issues", "Jobs/Resumes",
                       "3rd Party Products"}));
    field(p, lr, 74, QStringLiteral("Delphi:"),
          makeDbCombo(p, "wwDBComboBox2", base, "Delphi", 90, 10, {"1.0", "2.0", "3.0", "General"}));
    field(p, lr, 96, QStringLiteral("Keywords:"), makeDbEdit(p, "DBEdit10", base, "Keywords", 220, false, 30));
    field(p, lr, 118, QStringLiteral("Source:"), makeDbEdit(p, "DBEdit11", base, "Source", 220, false, 30));
    DBComboDlg* date = makeDbDateEdit(p, "wwDBComboDlg1", base, "Date", QSize(121, 23));
    field(p, lr, 140, QStringLiteral("Date:"), date);
    parts.dateBox = date;
}

// The usual record view: a field panel docked left, a splitter, and a memo pane filling the rest.
RecordPaneParts fieldsBesideMemo(TPanel* pane, TPanel* fields, const char* splitter, const char* memo, int base,
                                 const char* field, bool readOnly = true)
{
    makeSplitter(pane, splitter, fields);
    RecordPaneParts parts;
    parts.memo = makeDbMemo(pane, memo, base, field, readOnly);
    setAlign(parts.memo, alClient);
    return parts;
}

} // namespace

RecordPaneParts topicsPane(TPanel* pane, int tab, int base)
{
    TPanel* fp = panel(pane, "Panel4", alLeft, 262);
    fieldColumn(fp, tab, base, 78, 8,
                {{"ID", "ID", 22}, {"TOPIC", "TOPIC", 165}, {"TYPE", "TYPE", 65}, {"SOURCE", "SOURCE", 65},
                 {"CATEGORY", "CATEGORY", 65}, {"CLASS", "CLASS", 65}, {"KEYWORDS", "KEYWORDS", 177},
                 {"RELEASE", "RELEASE", 65}, {"CHANGED", "LASTCHANGED", 65}},
                true);
    return fieldsBesideMemo(pane, fp, "WinSplit2", "DBMemo1", base, "DESCRIPTION");
}

RecordPaneParts questionsPane(TPanel* pane, int tab, int base)
{
    RecordPaneParts parts;
    TPanel* fp = panel(pane, "Panel5", alLeft, 272);
    fieldColumn(fp, tab, base, 62, 8,
                {{"Number", "Number", 29}, {"Topic", "Topic", 195}, {"Category", "Category", 90},
                 {"Delphi", "Ver", 40}, {"Keywords", "Keywords", 168}},
                true);
    makeSplitter(pane, "WinSplit1", fp);
    TPanel* right = panel(pane, nullptr, alClient);
    QWidget* q = makeDbMemo(right, "DBMemo2a", base, "Q", true);
    setAlign(q, alTop);
    q->resize(100, 61);
    makeSplitter(right, "WinSplit3", q);
    parts.memo = makeDbMemo(right, "DBMemo2", base, "A", true);
    setAlign(parts.memo, alClient);
    return parts;
}

RecordPaneParts newsPane(TPanel* pane, int tab, int base)
{
    TPanel* fp = panel(pane, "Panel25", alLeft, 320);
    fieldColumn(fp, tab, base, 58, 8,
                {{"#:", "NO", 25}, {"From:", "AUTHOR", 250}, {"Subject:", "SUBJECT", 250},
                 {"Keywords:", "KEYLIST", 250}},
                true);
    return fieldsBesideMemo(pane, fp, "WinSplit7", "DBMemo3", base, "INFO");
}

RecordPaneParts forumPane(TPanel* pane, int /*tab*/, int base)
{
    TPanel* fp = panel(pane, "Panel8", alLeft, 320);
    forumFieldPanel(fp);
    return fieldsBesideMemo(pane, fp, "WinSplit4", "DBMemo4", base, "Comments");
}

RecordPaneParts downloadsPane(TPanel* pane, int tab, int base)
{
    RecordPaneParts parts;
    fieldColumn(pane, tab, base, 60, 8,
                {{"File", "FILE", 90}, {"Size", "SIZE", 90}, {"Category", "CATEGORY", 288},
                 {"Author", "NAME", 288}},
                true, 352);
    fieldColumn(pane, tab, base, 420, 8,
                {{"Date", "DATE", 65}, {"Delphi", "Delphi Version", 65}, {"Ware", "WARE", 65}}, true, 600);
    parts.memo = makeDbMemo(pane, "DBMemo5", base, "Description", true);
    parts.memo->setGeometry(64, 100, 292, 99);
    return parts;
}

RecordPaneParts booksPane(TPanel* pane, int /*tab*/, int base)
{
    TPanel* fp = panel(pane, "Panel14", alLeft, 463);
    const BooksView books = booksFieldPanel(fp);
    RecordPaneParts parts = fieldsBesideMemo(pane, fp, "WinSplit6", "DBMemo7", base, "Comments");
    parts.books = books;
    return parts;
}

RecordPaneParts notesPane(TPanel* pane, int /*tab*/, int base)
{
    TPanel* fp = panel(pane, "Panel35", alLeft, 296);
    RecordPaneParts fields;
    privateFieldPanel(fp, base, fields);
    RecordPaneParts parts = fieldsBesideMemo(pane, fp, "WinSplit8", "DBMemo9", base, "Description", false);
    parts.dateBox = fields.dateBox;
    parts.firstField = fields.firstField;
    return parts;
}

} // namespace tv::app
