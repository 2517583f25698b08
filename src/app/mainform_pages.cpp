// The base pages: credit strip, missing-base notices, grid and record pane of every page.

#include "app/dbwidgets.h"
#include "app/mainform.h"
#include "app/widgets.h"
#include "controls/docklayout.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "dbaware/engineguard.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

namespace tv::app {

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

TPanel* creditStrip(QWidget* sheet, const PageEntry& c)
{
    TPanel* strip = dockedPanel(sheet, nullptr, alTop, c.stripHeight, bvRaised);
    shadowLabel(strip, nullptr, QStringLiteral("Page Credit:"), arialPx(16, true, true), kBlue, TRzLabel::tsShadow)
        ->setGeometry(8, 3, 110, 22);
    QLabel* who = shadowLabel(strip, nullptr, QString::fromUtf8(c.compiler), arialPx(16, true, true), kRed,
                              TRzLabel::tsNone);
    who->setGeometry(122, 3, c.tab == kForumPage ? 190 : 240, 22);
    // The forum page's strip holds the forum choice between the name and the address.
    shadowLabel(strip, nullptr, QString::fromUtf8(c.contact), arialPx(13, true), Qt::black, TRzLabel::tsNone)
        ->setGeometry(c.tab == kForumPage ? QRect(490, 8, 200, 18) : QRect(370, 6, 300, 18));
    if (c.secondLine)
        shadowLabel(strip, nullptr, QString::fromUtf8(c.secondLine), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(122, 22, 500, 18);
    return strip;
}

// The missing-base notices of a page: the first one says where to get the base.
void notices(QWidget* sheet, const PageEntry& c, PageView& view)
{
    TRzLabel* la = shadowLabel(sheet, c.missingA, QString::fromUtf8(c.noticeA), arialPx(16, true, c.noticeAItalic),
                               kBlue, TRzLabel::tsShadow);
    la->setAlignment(taCenter);
    la->setWordWrap(true);
    la->setGeometry(147, 59, 360, 63);
    view.missingA = la;
    if (!c.missingB)
        return;
    TRzLabel* lb = shadowLabel(sheet, c.missingB, QString::fromUtf8(c.noticeB), arialPx(32, true, true), kBlue,
                               TRzLabel::tsRaised);
    lb->setAlignment(taCenter);
    lb->setWordWrap(true);
    lb->setGeometry(c.noticeBLeft, c.noticeBTop, 360, 31);
    view.missingB = lb;
}

} // namespace

void TMainForm::buildRecordPane(int tab, QWidget* parent)
{
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    TPanel* pane = dockedPanel(parent, e.recordPane, alClient, 0, bvNone);
    RecordPaneParts parts = e.buildPane(pane, tab, e.base);
    pane->hide();
    m_views[static_cast<size_t>(tab)].recordPane = pane;
    m_views[static_cast<size_t>(tab)].clipboardMemo = parts.memo;
    if (tab == kBooksPage)
        m_books = parts.books;
    if (parts.dateBox)
        m_dateBox = parts.dateBox;
    if (parts.firstField)
        m_noteTopic = parts.firstField;
}

void TMainForm::buildBasePages()
{
    for (const PageEntry& c : kPages) {
        PageView& view = m_views[static_cast<size_t>(c.tab)];
        QWidget* sheet = m_pages->widget(c.tab);
        if (c.missingA && !c.grid) {   // the placeholder page: a notice only
            notices(sheet, c, view);
            continue;
        }
        if (!c.grid)
            continue;
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
            connect(group, &QButtonGroup::idClicked, this, [this] { guarded([this] { rgpDelphiClick(); }); });
        }
        notices(sheet, c, view);
        DBGrid* grid = makeGrid(sheet, c.grid, c.base, c.tools != RecordToolSet::Edit);
        tv::setAlign(grid, alClient);
        view.grid = grid;
        switch (c.gridLook) {
        case GridLook::Small:
            grid->setFont(arialPx(11));
            grid->setTitleFont(arialPx(12, true));
            break;
        case GridLook::LargeTitles:
            grid->setTitleFont(arialPx(13, true));
            break;
        case GridLook::Standard:
            break;
        }
        grid->applyColumnWidths();
        connect(grid, &DBGrid::gridDoubleClicked, this, &TMainForm::btnGridSwitchClick);
        connect(grid, &DBGrid::titleButtonClick, this,
                [this, grid](const QString& field) { guarded([&] { wwDBGrid1TitleButtonClick(grid, field); }); });
        grid->setTitleAttributesCallback([this](DBGrid* g, const QString& field, QColor& background) {
            wwDBGrid1CalcTitleAttributes(g, field, background);
        });
        if (c.recordPane)
            buildRecordPane(c.tab, sheet);
    }
    for (DBMemo* memo : findChildren<DBMemo*>()) {
        connect(memo, &DBMemo::entered, this, &TMainForm::DBMemo1Enter);
        connect(memo, &DBMemo::exited, this, &TMainForm::DBMemo1Exit);
    }
}

} // namespace tv::app
