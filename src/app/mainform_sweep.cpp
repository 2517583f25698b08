// The search page ("Sweep") with its field choices, and the Info page.

#include "app/glyphs.h"
#include "app/mainform.h"
#include "app/sweeptable.h"
#include "app/widgets.h"
#include "dbaware/engineguard.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace tv::app {

namespace {

struct RadioGroup {
    QGroupBox* box;
    QButtonGroup* items;
};

// A radio group: a group box holding one radio button per item, the chosen item in a button
// group named <group>Items (item index = button id).
template <typename Items>
RadioGroup radioGroup(QWidget* parent, const char* objectName, const QString& caption, const Items& items, int chosen)
{
    auto* box = new QGroupBox(caption, parent);
    name(box, objectName);
    auto* lay = new QVBoxLayout(box);
    lay->setContentsMargins(3, caption.isEmpty() ? 4 : 2, 1, 2);
    lay->setSpacing(0);
    auto* group = new QButtonGroup(box);
    group->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Items"));
    int i = 0;
    for (const char* item : items) {
        if (!item)
            break;
        auto* rb = new QRadioButton(QString::fromLatin1(item), box);
        rb->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
        rb->setFont(arialPx(11));
        lay->addWidget(rb);
        group->addButton(rb, i++);
    }
    group->button(chosen)->setChecked(true);
    return {box, group};
}

// The raised panel holding a page's content (centred on the page when it becomes active).
QFrame* raisedPanel(QWidget* sheet, const char* objectName, const QRect& geometry)
{
    auto* p = new QFrame(sheet);
    name(p, objectName);
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setGeometry(geometry);
    return p;
}

} // namespace

void TMainForm::buildSweepPage(QWidget* sheet)
{
    QFrame* p = raisedPanel(sheet, "Panel24", QRect(1, 1, 620, 324));
    m_sweepPanel = p;
    p->setFont(arialPx(12, true));

    // The groups are made left to right (their tab order), whatever the order of the search.
    std::array<size_t, kSweepBaseCount> leftToRight;
    std::iota(leftToRight.begin(), leftToRight.end(), size_t(0));
    std::sort(leftToRight.begin(), leftToRight.end(),
              [](size_t a, size_t b) { return kSweepBases[a].x < kSweepBases[b].x; });
    for (size_t i : leftToRight) {
        const SweepBase& g = kSweepBases[i];
        auto* l = new QLabel(QString::fromLatin1(g.caption), p);
        name(l, g.captionName);
        l->move(g.captionX, g.captionY);
        l->adjustSize();
        const RadioGroup group = radioGroup(p, g.group, QString(), g.items, 0);
        group.box->setFont(arialPx(11));
        group.box->setGeometry(g.x, 43, 85, 168);
        m_sweepGroups[i] = group.box;
        m_sweepChoices[i] = group.items;
    }

    auto* look = new QLabel(QStringLiteral("You're looking for:"), p);
    name(look, "Label46");
    look->move(88, 226);
    look->adjustSize();
    m_sweepWord = new QLineEdit(p);
    name(m_sweepWord, "edSweep");
    m_sweepWord->setGeometry(88, 245, 146, 23);

    const char* const searchTypes[] = {"Exact Match", "Partial match at Beginning", "Partial match Anywhere"};
    const RadioGroup type = radioGroup(p, "rgpSearch", QStringLiteral("Search Type"), searchTypes, 2);
    type.box->setFont(arialPx(11));
    type.box->setGeometry(253, 219, 160, 82);
    m_searchType = type.items;

    auto* go = new QPushButton(QStringLiteral("  GO!!!"), p);
    name(go, "btnGO");
    go->setIcon(buttonGlyph(QStringLiteral("btnGO")));
    go->setGeometry(433, 245, 73, 25);
    connect(go, &QPushButton::clicked, this, [this] { guarded([this] { btnGOClick(); }); });
}

void TMainForm::buildInfoPage(QWidget* sheet)
{
    QFrame* p = raisedPanel(sheet, "Panel39", QRect(10, 8, 600, 317));
    m_infoPanel = p;
    // A face a shade darker than the page, so that the lit edges of the raised frame show.
    QPalette face = p->palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button).darker(108));
    p->setPalette(face);
    p->setAutoFillBackground(true);

    TRzLabel* heading = shadowLabel(
        p, nullptr,
        QStringLiteral("\"Tipvault\" gives unified access to following databases, which are available on CompuServe/Web:"),
        arialPx(15, true, true), QColor(0, 0, 255), TRzLabel::tsShadow);
    heading->setWordWrap(true);
    heading->setGeometry(18, 6, 564, 40);

    auto* frame = new QFrame(p);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(18, 50, 564, 202);
    // clang-format off
    const char* rows[][3] = {
        {"DTopics",                  "dtopics2.zip ", "Compuserve/Delphi32"},
        {"Delphi Knowledge-Base",    "dkb.zip",       "http://www.tipvault.example/dkb/"},
        {"Delphi News",              "delpnews.zip",  "http://www.tipvault.example/news/"},
        {"CSI Delphi Forum Files",   "filesdel.zip",  "Compuserve/Delphi"},
        {"CSI Delphi32 Forum Files", "filesd32.zip",  "Compuserve/Delphi32"},
        {"Delphi Super Page",        "dspdb.zip",     "http://www.tipvault.example/dsp/"},
        {"SWAG",                     "swagdb.zip",    "Compuserve/Delphi32"},
        {"Delphi Books",             "delbooks.zip",  "Compuserve/Delphi32"},
        {"TI/FQA",                   "ti-fqa.zip",    "Compuserve/Delphi32"},
    };
    // clang-format on
    int y = 8;
    for (const auto& r : rows) {
        shadowLabel(frame, nullptr, QString::fromLatin1(r[0]), arialPx(13, true, true), QColor(255, 0, 0),
                    TRzLabel::tsNone)
            ->setGeometry(10, y, 200, 20);
        shadowLabel(frame, nullptr, QString::fromLatin1(r[1]), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(215, y, 110, 20);
        shadowLabel(frame, nullptr, QString::fromLatin1(r[2]), arialPx(13, true), Qt::black, TRzLabel::tsNone)
            ->setGeometry(330, y, 230, 20);
        y += 21;
    }
    TRzLabel* lic = shadowLabel(p, nullptr,
                              QStringLiteral("Each of these resources is governed by its own licence; the people "
                                             "credited on the pages can tell you more about them."),
                              arialPx(12, true), Qt::black, TRzLabel::tsNone);
    lic->setWordWrap(true);
    lic->setGeometry(18, 256, 564, 32);
    shadowLabel(p, nullptr,
                QStringLiteral("Delphi is a trademark of its owner; Tipvault is not affiliated with it."),
                arialPx(11, false, true), Qt::black, TRzLabel::tsNone)
        ->setGeometry(18, 292, 564, 18);
}

} // namespace tv::app
