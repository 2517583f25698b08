// The base pages: credit strip, missing-base notices, grid and record pane of every page.

#include "app/dbwidgets.h"
#include "app/mainform.h"
#include "app/pagecontent.h"
#include "app/widgets.h"
#include "controls/docklayout.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTabWidget>

namespace tv::app {

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

TPanel* creditStrip(QWidget* sheet, const PageContent& c)
{
    TPanel* strip = dockedPanel(sheet, nullptr, alTop, c.stripHeight, bvRaised);
    shadowLabel(strip, nullptr, QStringLiteral("Page Credit:"), arialPx(16, true, true), kBlue, TRzLabel::tsShadow)
        ->setGeometry(8, 3, 110, 22);
    QLabel* who = shadowLabel(strip, nullptr, QString::fromUtf8(c.compiler), arialPx(16, true, true), kRed,
                              TRzLabel::tsNone);
    who->setGeometry(122, 3, c.tab == kForumPage ? 190 : 240, 22);
    if (c.tab != kForumPage)
        shadowLabel(strip, nullptr, QString::fromUtf8(c.contact), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(370, 6, 300, 18);
    else
        shadowLabel(strip, nullptr, QString::fromUtf8(c.contact), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(490, 8, 200, 18);
    if (c.secondLine)
        shadowLabel(strip, nullptr, QString::fromUtf8(c.secondLine), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(122, 22, 500, 18);
    return strip;
}

void notices(QWidget* sheet, int tab, const PageContent& c, PageView& view)
{
    const QByteArray a = QByteArray("Missing") + QByteArray::number(tab) + "a";
    const QByteArray b = QByteArray("Missing") + QByteArray::number(tab) + "b";
    TRzLabel* la = shadowLabel(sheet, a.constData(), QString::fromUtf8(c.noticeA), arialPx(16, true, tab == 7), kBlue,
                             TRzLabel::tsShadow);
    la->setAlignment(taCenter);
    la->setWordWrap(true);
    la->setGeometry(147, 59, 360, 63);
    TRzLabel* lb = shadowLabel(sheet, b.constData(), QString::fromUtf8(c.noticeB), arialPx(32, true, true), kBlue,
                             TRzLabel::tsRaised);
    lb->setAlignment(taCenter);
    lb->setWordWrap(true);
    lb->setGeometry(c.noticeBLeft, c.noticeBTop, 360, 31);
    view.missingA = la;
    view.missingB = lb;
}

TPanel* panel(QWidget* parent, const char* objectName, TAlign align, int width = 0)
{
    return dockedPanel(parent, objectName, align, width, align == alClient ? bvNone : bvRaised);
}

// One labelled field: the label right-aligned against labelRight, the edit 4 pixels right of it.
void field(QWidget* panel, int labelRight, int y, const QString& label, QWidget* edit)
{
    if (!label.isEmpty()) {
        auto* l = new QLabel(label, panel);
        l->setFont(arialPx(11));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(labelRight - 120, y, 120, 21);
    }
    edit->move(labelRight + 4, y);
}

struct FieldRow {
    const char* label;
    const char* field;
    int width;
};

// A field panel with one field per row, rows 22 pixels apart.
void fieldColumn(QWidget* panel, int tab, int base, int labelRight, int top, std::initializer_list<FieldRow> rows,
                 bool readOnly)
{
    int y = top;
    for (const FieldRow& r : rows) {
        const QByteArray n = QByteArray("Field") + QByteArray::number(tab) + "_" + QByteArray(r.field).replace(' ', '_');
        field(panel, labelRight, y, QString::fromLatin1(r.label),
              makeDbEdit(panel, n.constData(), base, r.field, r.width, readOnly));
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
    fieldColumn(p, 7, 7, 62, 8, {{"Title:", "Title", 288}, {"Author:", "Author", 288}, {"Publisher:", "Publisher", 152}},
                true);
    auto* image0 = new QLabel(p);
    name(image0, "Image0");
    image0->setPixmap(bookPicture());
    image0->setGeometry(358, 4, 101, 132);
    QWidget* cover = makeDbImage(p, "DBImage2", 7, "Cover");
    cover->setGeometry(8, 80, 180, 220);
    fieldColumn(p, 7, 7, 262, 70, {{"ISBN:", "ISBN", 94}, {"Price:", "Price", 94}}, true);
    auto* levelCaption = new QLabel(QStringLiteral("Level:"), p);
    levelCaption->setFont(arialPx(11));
    levelCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    levelCaption->setGeometry(142, 114, 120, 21);
    auto* level = view.levelWord = new QLabel(p);
    name(level, "Label45");
    level->setFont(arialPx(13, true));
    level->setGeometry(266, 114, 190, 21);
    view.level = makeDbEdit(p, "EditLevel", 7, "Level", 40, true);
    view.level->hide();
    fieldColumn(p, 7, 7, 262, 136, {{"Source on:", "Code", 94}}, true);

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
    field(p, 252, 8, QStringLiteral("Section"), edit("EditSection", "Section", 47));
    field(p, 42, 30, QStringLiteral("Title"), edit("EditTitle", "Title", 271));
    field(p, 42, 52, QStringLiteral("Name"), edit("EditCISName", "CIS Name", 160));
    field(p, 226, 52, QStringLiteral("ID"), edit("EditCISID", "CIS ID", 76));
    field(p, 54, 74, QStringLiteral("File Name"), edit("EditFileName", "File Name", 75));
    field(p, 54, 96, QStringLiteral("File Type"), edit("EditFileType", "File Type", 75));
    field(p, 204, 96, QStringLiteral("File Size"), edit("EditFileSize", "File Size", 65));
    field(p, 54, 118, QStringLiteral("DL Count"), edit("EditDLCount", "DL Count", 75));
    field(p, 54, 140, QStringLiteral("UL Date"), edit("EditULDate", "UL Date", 75));
    field(p, 204, 140, QStringLiteral("Update"), edit("EditUpdate", "Update", 65));
    field(p, 54, 162, QStringLiteral("Forum"), edit("EditForum", "Forum", 75));
    auto* kw = new QLabel(QStringLiteral("Keywords"), p);
    kw->setFont(arialPx(11));
    kw->setGeometry(8, 186, 100, 16);
    edit("DBEdit1", "Keywords", 288)->move(8, 204);
}

// Returns the date box.
DBComboDlg* privateFieldPanel(QWidget* p)
{
    const int lr = 62;
    QWidget* number = makeDbText(p, "DBText1", 9, "ID");
    field(p, lr, 8, QStringLiteral("Number:"), number);
    number->resize(60, 21);
    field(p, lr, 30, QStringLiteral("Topic:"), makeDbEdit(p, "DBEdit9", 9, "Topic", 220, false, 50));
    field(p, lr, 52, QStringLiteral("Category:"),
          makeDbCombo(p, "wwDBComboBox1", 9, "Category", 180, 20,
                      {"Non Tech -General", "From Borland", "Installation", "Delphi IDE", "Object Pascal",
                       "General Components", "Win95 Components", "Report Components", "DB Aware Components",
                       "Local DB/DBF issues", "C/S DB Issues", "Components Design", "OLE/OLE Automation",
                       "OCX Controls", "Win32 API", "Porting Issues", "Deployment Issues", "Jobs/Resumes",
                       "3rd Party Products"}));
    field(p, lr, 74, QStringLiteral("Delphi:"),
          makeDbCombo(p, "wwDBComboBox2", 9, "Delphi", 90, 10, {"1.0", "2.0", "3.0", "General"}));
    field(p, lr, 96, QStringLiteral("Keywords:"), makeDbEdit(p, "DBEdit10", 9, "Keywords", 220, false, 30));
    field(p, lr, 118, QStringLiteral("Source:"), makeDbEdit(p, "DBEdit11", 9, "Source", 220, false, 30));
    DBComboDlg* date = makeDbDateEdit(p, "wwDBComboDlg1", 9, "Date", QSize(121, 23));
    field(p, lr, 140, QStringLiteral("Date:"), date);
    return date;
}

} // namespace

void TMainForm::buildRecordPane(int tab, QWidget* parent)
{
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    TPanel* pane = panel(parent, e.recordPane, alClient);
    const int base = e.base;
    DBMemo* memo = nullptr;   // the pane the clipboard commands act on
    switch (tab) {
    case 1: {
        TPanel* fp = panel(pane, "Panel4", alLeft, 262);
        fieldColumn(fp, tab, base, 78, 8,
                    {{"ID", "ID", 22}, {"TOPIC", "TOPIC", 165}, {"TYPE", "TYPE", 65}, {"SOURCE", "SOURCE", 65},
                     {"CATEGORY", "CATEGORY", 65}, {"CLASS", "CLASS", 65}, {"KEYWORDS", "KEYWORDS", 177},
                     {"RELEASE", "RELEASE", 65}, {"CHANGED", "LASTCHANGED", 65}},
                    true);
        makeSplitter(pane, "WinSplit2", fp);
        tv::setAlign(memo = makeDbMemo(pane, "DBMemo1", base, "DESCRIPTION", true), alClient);
        break;
    }
    case 2: {
        TPanel* fp = panel(pane, "Panel5", alLeft, 272);
        fieldColumn(fp, tab, base, 62, 8,
                    {{"Number", "Number", 29}, {"Topic", "Topic", 195}, {"Category", "Category", 90},
                     {"Delphi", "Ver", 40}, {"Keywords", "Keywords", 168}},
                    true);
        makeSplitter(pane, "WinSplit1", fp);
        TPanel* right = panel(pane, nullptr, alClient);
        QWidget* q = makeDbMemo(right, "DBMemo2a", base, "Q", true);
        tv::setAlign(q, alTop);
        q->resize(100, 61);
        makeSplitter(right, "WinSplit3", q);
        tv::setAlign(memo = makeDbMemo(right, "DBMemo2", base, "A", true), alClient);
        break;
    }
    case 3: {
        TPanel* fp = panel(pane, "Panel25", alLeft, 320);
        fieldColumn(fp, tab, base, 58, 8,
                    {{"#:", "NO", 25}, {"From:", "AUTHOR", 250}, {"Subject:", "SUBJECT", 250},
                     {"Keywords:", "KEYLIST", 250}},
                    true);
        makeSplitter(pane, "WinSplit7", fp);
        tv::setAlign(memo = makeDbMemo(pane, "DBMemo3", base, "INFO", true), alClient);
        break;
    }
    case 4: {
        TPanel* fp = panel(pane, "Panel8", alLeft, 320);
        forumFieldPanel(fp);
        makeSplitter(pane, "WinSplit4", fp);
        tv::setAlign(memo = makeDbMemo(pane, "DBMemo4", base, "Comments", true), alClient);
        break;
    }
    case 5: {
        fieldColumn(pane, tab, base, 60, 8,
                    {{"File", "FILE", 90}, {"Size", "SIZE", 90}, {"Category", "CATEGORY", 288},
                     {"Author", "NAME", 288}},
                    true);
        fieldColumn(pane, tab, base, 420, 8,
                    {{"Date", "DATE", 65}, {"Delphi", "Delphi Version", 65}, {"Ware", "WARE", 65}}, true);
        memo = makeDbMemo(pane, "DBMemo5", base, "Description", true);
        memo->setGeometry(64, 100, 292, 99);
        break;
    }
    case 7: {
        TPanel* fp = panel(pane, "Panel14", alLeft, 463);
        m_books = booksFieldPanel(fp);
        makeSplitter(pane, "WinSplit6", fp);
        tv::setAlign(memo = makeDbMemo(pane, "DBMemo7", base, "Comments", true), alClient);
        break;
    }
    case 9: {
        TPanel* fp = panel(pane, "Panel35", alLeft, 296);
        m_dateBox = privateFieldPanel(fp);
        makeSplitter(pane, "WinSplit8", fp);
        tv::setAlign(memo = makeDbMemo(pane, "DBMemo9", base, "Description", false), alClient);
        break;
    }
    default:
        break;
    }
    pane->hide();
    m_views[static_cast<size_t>(tab)].recordPane = pane;
    m_views[static_cast<size_t>(tab)].clipboardMemo = memo;
}

void TMainForm::buildBasePages()
{
    for (const PageContent& c : pageContents()) {
        const PageEntry& e = kPages[static_cast<size_t>(c.tab)];
        QWidget* sheet = m_pages->widget(c.tab);
        TPanel* strip = creditStrip(sheet, c);
        if (c.tab == kForumPage) {
            name(strip, "Panel20");
            auto* forum = new QGroupBox(QStringLiteral("Forum"), strip);
            name(forum, "rgpDelphi");
            forum->setFont(arialPx(11));
            forum->setGeometry(325, 1, 149, 30);
            // Only 30 pixels high: the caption sits on the frame's top line, so that the two
            // items below it show whole.
            forum->setStyleSheet(QStringLiteral(
                "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                " left: 7px; padding: 0 2px; }"));
            auto* lay = new QHBoxLayout(forum);
            lay->setContentsMargins(4, 1, 2, 0);
            lay->setSpacing(2);
            auto* group = m_forumChoice = new QButtonGroup(forum);
            group->setObjectName(QStringLiteral("rgpDelphiItems"));
            int i = 0;
            for (const char* item : {"Delphi", "Delphi32"}) {
                auto* rb = new QRadioButton(QString::fromLatin1(item), forum);
                lay->addWidget(rb);
                group->addButton(rb, i++);
            }
            group->button(1)->setChecked(true);
            connect(group, &QButtonGroup::idClicked, this, [this] { rgpDelphiClick(); });
        }
        PageView& view = m_views[static_cast<size_t>(c.tab)];
        notices(sheet, c.tab, c, view);
        DBGrid* grid = makeGrid(sheet, e.grid, e.base, c.columns.data(), c.columns.data() + c.columns.size(),
                                c.tab != kPrivatePage);
        tv::setAlign(grid, alClient);
        view.grid = grid;
        if (c.tab == 3 || c.tab == 5) {
            grid->setFont(arialPx(11));
            grid->setTitleFont(arialPx(12, true));
        } else if (c.tab == kPrivatePage) {
            grid->setTitleFont(arialPx(13, true));
        }
        grid->applyColumnWidths();
        connect(grid, &DBGrid::gridDoubleClicked, this, &TMainForm::btnGridSwitchClick);
        connect(grid, &DBGrid::titleButtonClick, this,
                [this, grid](const QString& field) { wwDBGrid1TitleButtonClick(grid, field); });
        grid->setTitleAttributesCallback([this](DBGrid* g, const QString& field, QColor& background) {
            wwDBGrid1CalcTitleAttributes(g, field, background);
        });
        if (e.recordPane)
            buildRecordPane(c.tab, sheet);
    }
    for (DBMemo* memo : findChildren<DBMemo*>()) {
        connect(memo, &DBMemo::entered, this, &TMainForm::DBMemo1Enter);
        connect(memo, &DBMemo::exited, this, &TMainForm::DBMemo1Exit);
    }
    TRzLabel* m8 = shadowLabel(m_pages->widget(kPlaceholderPage), "Missing8a", QString::fromLatin1(kMissing8a),
                             arialPx(16, true), kBlue, TRzLabel::tsShadow);
    m8->setAlignment(taCenter);
    m8->setWordWrap(true);
    m8->setGeometry(147, 59, 360, 63);
    m_views[kPlaceholderPage].missingA = m8;
}

} // namespace tv::app
