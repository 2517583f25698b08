#include "aboutbox.h"

#include "controls/banner.h"
#include "dialogs/dialoglook.h"
#include "platform/platform.h"
#include "programicon.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace tv {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int w = -1, int h = -1)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    if (w < 0) {
        l->adjustSize();
        l->move(x, y);
    } else {
        l->setGeometry(x, y, w, h);
    }
    return l;
}

} // namespace

QStringList TAboutBoxForm::creditLines()
{
    const QString rule(39, QLatin1Char('='));
    return {
        QStringLiteral("Many thanks to all who wrote and"),
        QStringLiteral("shared the knowledge in these bases:"),
        QString(),
        QStringLiteral("The Tipvault team [DTopics]"),
        QStringLiteral("The Tipvault team [DBK]"),
        QStringLiteral("The Tipvault team [Delphi News]"),
        QStringLiteral("The Tipvault team [CompuServe]"),
        QStringLiteral("The Tipvault team [DSP]"),
        QStringLiteral("The Tipvault team [SWAG]"),
        QStringLiteral("The Tipvault team [Books]"),
        QString(),
        rule,
        QString(),
        QStringLiteral("Special thanks to the Qt Project,"),
        QStringLiteral("the Debian developers and the"),
        QStringLiteral("GCC, CMake and GoogleTest teams"),
        QString(),
        rule,
        QString(),
        QStringLiteral("for FreeWare:"),
        QString(),
        QStringLiteral("The Tipvault team [TTips]"),
        QStringLiteral("The Tipvault team [TSplash]"),
        QStringLiteral("The Qt Project [QTableView]"),
        QStringLiteral("The Tipvault team [TExplorerButton]"),
        QStringLiteral("The Tipvault team [TBanner]"),
        QStringLiteral("The Tipvault team [TWinSplit]"),
        QStringLiteral("The Qt Project [QDataWidgetMapper]"),
        QStringLiteral("The Tipvault team [TStatus]"),
        QString(),
    };
}

QString TAboutBoxForm::formatPhysMem(uint64_t totalBytes)
{
    const double kb = double(totalBytes) / 1024.0;
    const auto whole = static_cast<qlonglong>(std::llround(kb));
    QLocale loc;
    loc.setNumberOptions(QLocale::DefaultNumberOptions);
    return loc.toString(whole) + QStringLiteral(" KB");
}

QString TAboutBoxForm::formatLoad(int load)
{
    return QStringLiteral("%1 %").arg(load);
}

TAboutBoxForm::TAboutBoxForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedDialogLook(this, QSize(321, 257));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 11, 305, 209);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(11, 8, 64, 64);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setPixmap(programIcon());

    ProductName = label(Panel1, "ProductName", QStringLiteral("Tipvault"), 85, 5, 210, 24);
    QFont pf(QStringLiteral("Arial"));
    pf.setPixelSize(21);
    pf.setBold(true);
    pf.setItalic(true);
    ProductName->setFont(pf);
    QPalette bp = ProductName->palette();
    bp.setColor(QPalette::WindowText, Qt::blue);
    ProductName->setPalette(bp);

    Version = label(Panel1, "Version", QStringLiteral("Version: 0.9 beta"), 87, 29);
    label(Panel1, "Maker", QStringLiteral("Your own knowledge, kept safe."), 87, 44);

    Comments = label(Panel1, "Comments", QStringLiteral("Credits:"), 39, 83, 35, 13);
    Comments->setWordWrap(true);
    // Our substitute font runs a little wider than the design's: grow leftward, never cut.
    if (const int need = Comments->sizeHint().width(); need > 35)
        Comments->setGeometry(74 - need, 83, need, 13);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(82, 77, 216, 70);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Banner1 = new TBanner(Panel1);
    Banner1->setObjectName(QStringLiteral("Banner1"));
    Banner1->setGeometry(94, 83, 200, 60);
    Banner1->BeginLoad();
    Banner1->setLinesAlign(taLeftJustify);
    Banner1->setScrollDirection(TBanner::sdBottomToTop);
    Banner1->setColor(palette().color(QPalette::Button));
    QFont bf(QStringLiteral("Arial"));
    bf.setPointSize(8);
    Banner1->setFont(bf);
    QPalette bannerPal = Banner1->palette();
    bannerPal.setColor(QPalette::WindowText, Qt::blue);
    Banner1->setPalette(bannerPal);
    Banner1->setLines(creditLines());
    Banner1->Loaded();

    bvlSeperator = new QFrame(Panel1);
    bvlSeperator->setObjectName(QStringLiteral("bvlSeperator"));
    bvlSeperator->setGeometry(9, 154, 287, 4);
    bvlSeperator->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    lblPhysMem = label(Panel1, "lblPhysMem", QStringLiteral("Physical Memory Available to Windows:"), 9, 163);
    // The figures stand at 201, or just right of a caption that came out wider than that.
    const int figuresX = std::max(201, lblPhysMem->geometry().right() + 5);
    PhysMem = label(Panel1, "PhysMem", QStringLiteral("0"), figuresX, 163);
    lblFreeRes = label(Panel1, "lblFreeRes", QStringLiteral("System Resources:"), 9, 180);
    FreeRes = label(Panel1, "FreeRes", QStringLiteral("0"), figuresX, 180);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(129, 226, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutBoxForm::FormCreate()
{
    const platform::MemoryStatus ms = platform::memoryStatus();
    PhysMem->setText(formatPhysMem(ms.totalPhysBytes));
    PhysMem->adjustSize();
    FreeRes->setText(formatLoad(ms.memoryLoad));
    FreeRes->adjustSize();
}

void showAboutBox(QWidget* parent)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    TAboutBoxForm* box = nullptr;
    try {
        box = new TAboutBoxForm(parent);
    } catch (...) {
        QGuiApplication::restoreOverrideCursor();
        throw;
    }
    QGuiApplication::restoreOverrideCursor();
    box->exec();
    delete box;
}

} // namespace tv
