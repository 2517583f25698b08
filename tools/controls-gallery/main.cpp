// controls-gallery: one window with the custom controls in their main states.
//   controls-gallery [--shots DIR]   (DIR: save a grab of the window every 200 ms, 8 frames)

#include "controls/banner.h"
#include "controls/docklayout.h"
#include "controls/explbtn.h"
#include "controls/panel.h"
#include "controls/rzlabel.h"
#include "controls/status.h"
#include "controls/syscolors.h"
#include "controls/winsplit.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

using namespace tv;

namespace {

const QColor kKey(255, 255, 255);  // transparent colour of the pictures (pixel 0, 0)

QImage canvas()
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(kKey);
    return img;
}

// Navigation arrow: a triangle with a bar, pointing left or right.
QImage arrowPicture(bool right, bool bar, const QColor& color)
{
    QImage img = canvas();
    QPainter p(&img);
    for (int i = 0; i < 7; ++i) {
        const int x = right ? 5 + i : 10 - i;
        p.fillRect(QRect(x, 1 + i + 1, 1, 12 - 2 * i - 1), color);
    }
    if (bar)
        p.fillRect(QRect(right ? 12 : 2, 2, 2, 11), color);
    return img;
}

QImage starPicture(const QColor& fill)
{
    QImage img = canvas();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPolygon star;
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2) ? 3.2 : 7.4;
        const double a = -M_PI / 2 + i * M_PI / 5;
        star << QPoint(qRound(7.5 + r * std::cos(a)), qRound(8 + r * std::sin(a)));
    }
    p.setPen(QColor(128, 96, 0));
    p.setBrush(fill);
    p.drawPolygon(star);
    return img;
}

QImage printerPicture()
{
    QImage img = canvas();
    QPainter p(&img);
    p.fillRect(QRect(4, 1, 8, 5), QColor(250, 250, 250));
    p.setPen(Qt::black);
    p.drawRect(QRect(4, 1, 7, 5));
    p.fillRect(QRect(1, 6, 14, 6), QColor(192, 192, 192));
    p.drawRect(QRect(1, 6, 13, 5));
    p.fillRect(QRect(3, 8, 2, 1), QColor(0, 160, 0));
    p.fillRect(QRect(4, 11, 8, 4), QColor(250, 250, 250));
    p.drawRect(QRect(4, 11, 7, 3));
    return img;
}

QImage funnelPicture()
{
    QImage img = canvas();
    QPainter p(&img);
    QPolygon f;
    f << QPoint(1, 2) << QPoint(14, 2) << QPoint(9, 8) << QPoint(9, 14) << QPoint(6, 12) << QPoint(6, 8);
    p.setPen(QColor(0, 0, 128));
    p.setBrush(QColor(64, 128, 255));
    p.drawPolygon(f);
    return img;
}

// The disabled look of a picture: its dark outline in grey, a highlight below right.
QImage greyedPicture(const QImage& picture)
{
    QImage img = canvas();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c(picture.pixel(x, y));
            if (picture.pixel(x, y) != kKey.rgb() && c.red() + c.green() + c.blue() < 300) {
                if (x + 1 < img.width() && y + 1 < img.height() && img.pixel(x + 1, y + 1) == kKey.rgb())
                    img.setPixel(x + 1, y + 1, qRgb(254, 254, 254));
                img.setPixel(x, y, qRgb(128, 128, 128));
            }
        }
    return img;
}

TExplorerButton* toolButton(QWidget* row, int x, const QImage& picture, const QString& hint)
{
    auto* b = new TExplorerButton(row);
    b->setGeometry(x, 3, 25, 25);
    b->setOptions(TExplorerButton::boMonoDisplay | TExplorerButton::boPopupMark);
    b->setBitmap(picture);
    b->setHint(hint);
    b->setShowHint(true);
    return b;
}

TRzLabel* styledLabel(QWidget* parent, int x, const QString& text, TRzLabel::TTextStyle style)
{
    auto* l = new TRzLabel(text, parent);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(10);
    f.setBold(true);
    l->setFont(f);
    l->setTextStyle(style);
    l->setShadowDepth(style == TRzLabel::tsShadow ? 2 : 1);
    l->move(x, 10);
    return l;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    registerFontSubstitutes();
    // The classic 3-D colours: grey face, white highlight, dark grey shadow.
    QPalette pal = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, QColor(212, 208, 200));
        pal.setColor(group, QPalette::Button, QColor(212, 208, 200));
        pal.setColor(group, QPalette::Light, QColor(255, 255, 255));
        pal.setColor(group, QPalette::Midlight, QColor(212, 208, 200));
        pal.setColor(group, QPalette::Dark, QColor(128, 128, 128));
        pal.setColor(group, QPalette::Mid, QColor(160, 160, 160));
        pal.setColor(group, QPalette::Shadow, QColor(64, 64, 64));
    }
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    QApplication::setPalette(pal);
    QFont base(QStringLiteral("MS Sans Serif"));
    base.setPointSize(8);
    QApplication::setFont(base);

    QWidget form;
    form.setWindowTitle(QStringLiteral("Controls gallery"));
    form.resize(640, 400);

    // Tool row.
    auto* row = new TPanel(&form);
    row->resize(640, 31);
    setAlign(row, alTop);
    auto* first = toolButton(row, 4, arrowPicture(false, true, QColor(0, 0, 160)), QStringLiteral("First"));
    auto* prior = toolButton(row, 29, arrowPicture(false, false, QColor(0, 0, 160)), QStringLiteral("Prior"));
    toolButton(row, 54, arrowPicture(true, false, QColor(0, 0, 160)), QStringLiteral("Next"));
    auto* last = toolButton(row, 79, arrowPicture(true, true, QColor(0, 0, 160)), QStringLiteral("Last"));
    auto* filter = toolButton(row, 112, funnelPicture(), QStringLiteral("Filter"));
    auto* star = toolButton(row, 137, starPicture(QColor(255, 220, 0)), QStringLiteral("Rating"));
    star->setNoFocusBitmap(starPicture(QColor(200, 200, 200)));
    auto* print = toolButton(row, 170, printerPicture(), QStringLiteral("Print"));
    auto* captioned = new TExplorerButton(row);
    captioned->setGeometry(204, 3, 80, 25);
    captioned->setLayout(TExplorerButton::blBitmapLeft);
    captioned->setBitmap(printerPicture());
    captioned->setCaption(QStringLiteral("&Preview"));
    auto* sticky = new TExplorerButton(row);
    sticky->setGeometry(290, 3, 60, 25);
    sticky->setCaption(QStringLiteral("Sticky"));
    sticky->setGroupIndex(1);
    sticky->setDown(true);
    print->setDisabledBitmap(greyedPicture(printerPicture()));
    last->setEnabled(false);
    print->setEnabled(false);
    Q_UNUSED(first);
    Q_UNUSED(prior);

    // Headings in the four styles.
    auto* headings = new TPanel(&form);
    headings->resize(640, 36);
    headings->setBevelOuter(bvNone);
    setAlign(headings, alTop);
    styledLabel(headings, 8, QStringLiteral("Plain"), TRzLabel::tsNone);
    styledLabel(headings, 120, QStringLiteral("Raised"), TRzLabel::tsRaised);
    styledLabel(headings, 240, QStringLiteral("Recessed"), TRzLabel::tsRecessed);
    auto* shadow = styledLabel(headings, 380, QStringLiteral("Shadow"), TRzLabel::tsShadow);
    shadow->setFontColor(QColor(0, 0, 128));

    // Status bar.
    auto* status = new TStatus(&form);
    status->resize(640, 23);
    status->setBevelInner(bvLowered);
    QFont sf(QStringLiteral("Arial"));
    sf.setPixelSize(11);
    status->setFont(sf);
    status->setCaption(QStringLiteral("Ready: 1,204 topics, ordered by Topic"));

    // Two panes with a splitter between them.
    auto* left = new TPanel(&form);
    left->resize(220, 100);
    left->setBevelOuter(bvLowered);
    left->setCaption(QStringLiteral("Grid pane (drag the bar)"));
    setAlign(left, alLeft);
    auto* split = new TWinSplit(&form);
    split->setTargetControl(left);
    split->setMinTargetSize(80);
    split->setMaxTargetSize(420);
    auto* right = new TPanel(&form);
    right->setBevelOuter(bvLowered);
    setAlign(right, alClient);

    auto* credits = new TBanner(right);
    credits->setGeometry(20, 20, 240, 60);
    QFont bf(QStringLiteral("Arial"));
    bf.setPointSize(8);
    credits->setFont(bf);
    credits->setColor(QColor(255, 255, 225));
    credits->setScrollDirection(TBanner::sdBottomToTop);
    credits->setScrollInterval(200);
    credits->setScrollPixels(4);
    QStringList lines;
    const QStringList words{QStringLiteral("design"), QStringLiteral("tables and indexes"), QStringLiteral("reports"),
                            QStringLiteral("controls"), QStringLiteral("testing on three machines")};
    for (int i = 1; i <= 30; ++i)
        lines << QStringLiteral("%1. Thanks for %2").arg(i).arg(words.at(i % words.size()));
    credits->setLines(lines);

    auto* note = new TRzLabel(QStringLiteral("Banner: 30 lines scrolling upward, 4 pixels every 200 ms"), right);
    note->setTextStyle(TRzLabel::tsNone);
    note->move(20, 90);

    form.show();
    // Show one button hot, as under the mouse.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), filter->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(filter, &enter);

    const QStringList args = QApplication::arguments();
    const qsizetype shots = args.indexOf(QStringLiteral("--shots"));
    if (shots >= 0 && shots + 1 < args.size()) {
        const QString dir = args.at(shots + 1);
        QDir().mkpath(dir);
        auto* timer = new QTimer(&form);
        auto frame = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, &form, [&form, dir, frame, timer] {
            form.grab().save(QStringLiteral("%1/frame%2.png").arg(dir).arg((*frame)++));
            if (*frame >= 8) {
                timer->stop();
                QApplication::quit();
            }
        });
        timer->start(200);
    }
    return QApplication::exec();
}
