// The search page ("Sweep") with its field choices, and the Info page.

#include "app/glyphs.h"
#include "app/mainform.h"
#include "app/widgets.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tv::app {

namespace {

struct GroupSpec {
    const char* label;
    const char* labelName;
    int labelX, labelY;
    const char* group;
    int x;
    std::initializer_list<const char*> items;
};

// A radio group: a group box holding one radio button per item, the chosen item in a button
// group named <group>Items (item index = button id).
QGroupBox* radioGroup(QWidget* parent, const char* objectName, const QString& caption,
                      std::initializer_list<const char*> items, int chosen)
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
        auto* rb = new QRadioButton(QString::fromLatin1(item), box);
        rb->setStyleSheet(QStringLiteral("QRadioButton { spacing: 2px; }"));
        rb->setFont(arialPx(11));
        lay->addWidget(rb);
        group->addButton(rb, i++);
    }
    group->button(chosen)->setChecked(true);
    return box;
}

} // namespace

void TMainForm::buildSweepPage(QWidget* sheet)
{
    auto* p = new QFrame(sheet);
    name(p, "Panel24");
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setGeometry(1, 1, 620, 324);
    p->setFont(arialPx(12, true));

    // clang-format off
    const GroupSpec groups[] = {
        {"DTopics",     "Label50", 38,  28, "rgpDTopics", 20,  {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi"}},
        {"DKB",         "lblDKB",  128, 28, "rgpDKB",     103, {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi"}},
        {"Delphi News", "Label56", 196, 28, "rgpDNews",   187, {"Nothing", "Topic", "Keywords", "Description", "Name"}},
        {"CompuServe",  "Label52", 275, 28, "rgpCSI",     271, {"Nothing", "Title", "Keywords", "Comments", "Name"}},
        {"DSP",         "Label53", 382, 28, "rgpDSP",     354, {"Nothing", "File", "Category", "Description", "Delphi", "Name"}},
        {"SWAG",        "Label54", 456, 28, "rgpSWAG",    438, {"Nothing", "Subject", "Library", "Name"}},
        {"Private",     "Label32", 544, 29, "rgpPrivate", 522, {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi", "Name"}},
    };
    // clang-format on
    for (const GroupSpec& g : groups) {
        auto* l = new QLabel(QString::fromLatin1(g.label), p);
        name(l, g.labelName);
        l->move(g.labelX, g.labelY);
        l->adjustSize();
        QGroupBox* box = radioGroup(p, g.group, QString(), g.items, 0);
        box->setFont(arialPx(11));
        box->setGeometry(g.x, 43, 85, 168);
    }

    auto* look = new QLabel(QStringLiteral("You're looking for:"), p);
    name(look, "Label46");
    look->move(88, 226);
    look->adjustSize();
    auto* ed = new QLineEdit(p);
    name(ed, "edSweep");
    ed->setGeometry(88, 245, 146, 23);

    QGroupBox* type = radioGroup(p, "rgpSearch", QStringLiteral("Search Type"),
                                 {"Exact Match", "Partial match at Beginning", "Partial match Anywhere"}, 2);
    type->setFont(arialPx(11));
    type->setGeometry(253, 219, 160, 82);

    auto* go = new QPushButton(QStringLiteral("  GO!!!"), p);
    name(go, "btnGO");
    go->setIcon(buttonGlyph(QStringLiteral("btnGO")));
    go->setGeometry(433, 245, 73, 25);
}

void TMainForm::buildInfoPage(QWidget* sheet)
{
    auto* p = new QFrame(sheet);
    name(p, "Panel39");
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setGeometry(10, 8, 600, 317);
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
