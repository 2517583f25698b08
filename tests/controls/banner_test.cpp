#include "controls/banner.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace tv;
using D = TBanner::TScrollDirection;

namespace {

const QColor kBack(255, 255, 225);
const QColor kRed(255, 0, 0), kBlue(0, 0, 255);

// A strip of `w` x `h`: the first half of its length red, the second blue (along `vertical`).
QImage twoTone(int w, int h, bool vertical)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kBlue);
    QPainter(&img).fillRect(vertical ? QRect(0, 0, w, h / 2) : QRect(0, 0, w / 2, h), kRed);
    return img;
}

TBanner* banner(QWidget& form, int w, int h)
{
    form.resize(400, 300);
    auto* b = new TBanner(&form);
    b->setGeometry(10, 10, w, h);
    b->setColor(kBack);
    form.show();
    QApplication::processEvents();
    return b;
}

bool rowBlank(const QImage& img, int y)
{
    for (int x = 0; x < img.width(); ++x)
        if (QColor(img.pixel(x, y)) != kBack)
            return false;
    return true;
}

QColor at(const QImage& img, int x, int y)
{
    return QColor(img.pixel(x, y));
}

} // namespace

class BannerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void defaultsAndNoContent()
    {
        TBanner b;
        QCOMPARE(b.size(), QSize(100, 100));
        QVERIFY(b.AutoEnable());
        QVERIFY(!b.Enabled());
        QCOMPARE(b.ScrollInterval(), 200u);
        QCOMPARE(b.ScrollPixels(), 4u);
        QCOMPARE(b.ScrollDirection(), TBanner::sdRightToLeft);
        QCOMPARE(b.LinesAlign(), taCenter);
        QSignalSpy enabled(&b, &TBanner::OnEnable);
        try {
            b.setEnabled(true);
            QFAIL("switching on without content must fail");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Assign a bitmap or text to banner before enabling"));
        }
        QVERIFY(!b.Enabled());
        QCOMPARE(enabled.count(), 0);
        // Empty content stays off instead of failing.
        b.setLines(QStringList());
        b.setScrollText(QString());
        QVERIFY(!b.Enabled());
        // While loading, switching is ignored.
        b.BeginLoad();
        b.setEnabled(true);
        QVERIFY(!b.Enabled());
    }

    void renderingLines()
    {
        QWidget form;
        TBanner* b = banner(form, 200, 60);
        QSignalSpy on(b, &TBanner::OnEnable);
        const QStringList lines{QStringLiteral("I"), QStringLiteral("WWWWWW"), QStringLiteral("I")};
        b->setLinesAlign(taLeftJustify);
        b->setLines(lines);
        const QFontMetrics fm(b->font());
        const int lh = fm.height();
        const int bw = fm.horizontalAdvance(lines.at(1));
        QCOMPARE(b->StripSize(), QSize(bw, 3 * lh));
        QVERIFY(b->Enabled());  // AutoEnable
        QCOMPARE(on.count(), 1);
        // Left: the short line stands at x = 0; right: at the far end.
        auto inkColumns = [&](int row) {
            const QImage s = b->Bitmap();
            int lo = s.width(), hi = -1;
            for (int y = row * lh; y < (row + 1) * lh; ++y)
                for (int x = 0; x < s.width(); ++x)
                    if (QColor(s.pixel(x, y)) != kBack) {
                        lo = std::min(lo, x);
                        hi = std::max(hi, x);
                    }
            return std::pair(lo, hi);
        };
        QVERIFY(inkColumns(0).second < bw / 3);
        b->setLinesAlign(taRightJustify);
        QVERIFY(inkColumns(0).first > 2 * bw / 3);
        QVERIFY(inkColumns(2).first > 2 * bw / 3);
        b->setLinesAlign(taCenter);
        const auto centre = inkColumns(0);
        QVERIFY(centre.first > bw / 3 && centre.second < 2 * bw / 3);
        QVERIFY(b->Enabled());  // re-rendering keeps scrolling on
        QVERIFY(b->ScrollText().isEmpty());
    }

    // Text content gives its strip back while off and renders it again when switched on.
    void textContentAndSwitching()
    {
        QWidget form;
        TBanner* b = banner(form, 200, 30);
        QSignalSpy off(b, &TBanner::OnDisable);
        b->setAutoEnable(false);
        b->setScrollText(QStringLiteral("Hello"));
        QVERIFY(!b->Enabled());
        const QFontMetrics fm(b->font());
        QCOMPARE(b->StripSize(), QSize(fm.horizontalAdvance(QStringLiteral("Hello")), fm.height()));
        b->setEnabled(true);
        b->setPosition(37);
        b->setEnabled(false);
        QCOMPARE(off.count(), 1);
        QVERIFY(!b->HasStrip());
        b->setEnabled(true);
        QVERIFY(b->HasStrip());
        QCOMPARE(b->Position(), 37);  // not reset
        // A picture replaces text and lines and stays while off.
        b->setLines({QStringLiteral("a")});
        b->setBitmap(twoTone(10, 10, false));
        QVERIFY(b->ScrollText().isEmpty());
        QVERIFY(b->Lines().isEmpty());
        b->setEnabled(false);
        QVERIFY(b->HasStrip());
        b->setScrollInterval(50);
        QCOMPARE(b->ScrollInterval(), 50u);
    }

    void placementByDirection_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QRect>("strip");
        // banner 50 x 30, strip 10 x 10, position 15
        QTest::newRow("right to left") << int(TBanner::sdRightToLeft) << QRect(35, 0, 10, 10);
        QTest::newRow("left to right") << int(TBanner::sdLeftToRight) << QRect(5, 0, 10, 10);
        QTest::newRow("top to bottom") << int(TBanner::sdTopToBottom) << QRect(0, 5, 10, 10);
        QTest::newRow("bottom to top") << int(TBanner::sdBottomToTop) << QRect(0, 15, 10, 10);
    }
    void placementByDirection()
    {
        QFETCH(int, direction);
        QFETCH(QRect, strip);
        QWidget form;
        TBanner* b = banner(form, 50, 30);
        b->setAutoEnable(false);
        b->setScrollDirection(D(direction));
        QImage red(10, 10, QImage::Format_RGB32);
        red.fill(kRed);
        b->setBitmap(red);
        b->setPosition(15);
        const QImage frame = b->ComposeFrame();
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x)
                QCOMPARE(at(frame, x, y), strip.contains(x, y) ? kRed : kBack);
        // What is painted on screen is that frame.
        b->repaint();
        QCOMPARE(b->grab().toImage().convertToFormat(QImage::Format_RGB32), frame);
    }

    void directionChangeArithmetic()
    {
        QWidget form;
        TBanner* b = banner(form, 50, 30);
        b->setAutoEnable(false);
        b->setBitmap(twoTone(20, 8, false));
        b->setPosition(12);
        b->setScrollDirection(TBanner::sdLeftToRight);  // same axis: 20 + 50 - 12
        QCOMPARE(b->Position(), 58);
        b->setScrollDirection(TBanner::sdTopToBottom);  // new axis: strip height
        QCOMPARE(b->Position(), 8);
        b->setPosition(3);
        b->setScrollDirection(TBanner::sdBottomToTop);  // 8 + 30 - 3
        QCOMPARE(b->Position(), 35);
        b->setScrollDirection(TBanner::sdRightToLeft);
        QCOMPARE(b->Position(), 20);
        b->setScrollDirection(TBanner::sdRightToLeft);  // unchanged: nothing moves
        QCOMPARE(b->Position(), 20);
    }

    // Gap mode: the cycle is strip extent + banner extent long, then the area is empty again.
    void gapCycleAndOnlyOnce()
    {
        QWidget form;
        TBanner* b = banner(form, 50, 30);
        b->setScrollDirection(TBanner::sdBottomToTop);
        b->setBitmap(twoTone(10, 10, true));
        b->setScrollPixels(4);
        QVERIFY(b->Enabled());
        QSignalSpy scrolled(b, &TBanner::OnScroll);
        int steps = 0;
        do {
            b->ScrollStep();
            ++steps;
        } while (b->Position() != 0 && steps < 100);
        QCOMPARE(steps, (10 + 30) / 4 + 1);
        QCOMPARE(scrolled.count(), steps);
        QVERIFY(rowBlank(b->ComposeFrame(), 29));
        b->setOnlyOnce(true);
        for (int i = 0; i < 100 && b->Enabled(); ++i)
            b->ScrollStep();
        QVERIFY(!b->Enabled());
        QVERIFY(b->Position() > 40);
        QVERIFY(b->HasStrip());  // a picture stays
    }

    void noGapRibbon()
    {
        QWidget form;
        TBanner* b = banner(form, 20, 30);
        b->setScrollDirection(TBanner::sdBottomToTop);
        b->setNoGap(true);
        b->setBitmap(twoTone(20, 10, true));
        b->setScrollPixels(4);
        for (int i = 0; i < 3; ++i)
            b->ScrollStep();
        QCOMPARE(b->Position(), 2);  // 12 wraps to 2
        const QImage frame = b->ComposeFrame();
        // Top of the first copy at 30 - 2 = 28; copies laid end to end cover the whole banner.
        for (int y = 0; y < 30; ++y) {
            const int phase = ((y - 28) % 10 + 10) % 10;
            QCOMPARE(at(frame, 5, y), phase < 5 ? kRed : kBlue);
        }
        // The end of one copy (blue) is followed directly by the start of the next (red).
        QCOMPARE(at(frame, 5, 27), kBlue);
        QCOMPARE(at(frame, 5, 28), kRed);
    }

    // The about box: 30 lines, height 60, upward by 4: the first line enters at the bottom edge,
    // and after the last line has left the area starts empty again.
    void creditsScrollUpward()
    {
        QWidget form;
        TBanner* b = banner(form, 200, 60);
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(8);
        b->setFont(f);
        b->setScrollDirection(TBanner::sdBottomToTop);
        QStringList lines;
        for (int i = 1; i <= 30; ++i)
            lines << QStringLiteral("Line %1").arg(i);
        b->setLines(lines);
        QVERIFY(b->Enabled());
        QCOMPARE(b->Timer()->interval(), 200);
        const int E = b->StripSize().height();
        QCOMPARE(E, 30 * QFontMetrics(f).height());
        for (int i = 0; i < 4; ++i)
            b->ScrollStep();
        QImage frame = b->ComposeFrame();
        for (int y = 0; y < 60 - 16; ++y)
            QVERIFY2(rowBlank(frame, y), qPrintable(QStringLiteral("row %1").arg(y)));
        bool ink = false;
        for (int y = 44; y < 60; ++y)
            ink = ink || !rowBlank(frame, y);
        QVERIFY(ink);
        while (b->Position() + 4 <= E + 60)
            b->ScrollStep();
        b->ScrollStep();
        QCOMPARE(b->Position(), 0);
        frame = b->ComposeFrame();
        for (int y = 0; y < 60; ++y)
            QVERIFY(rowBlank(frame, y));
    }

    void loadedSwitchesOnThroughAutoEnable()
    {
        QWidget form;
        TBanner* b = banner(form, 100, 40);
        b->BeginLoad();
        b->setLines({QStringLiteral("one"), QStringLiteral("two")});
        QVERIFY(!b->Enabled());
        b->Loaded();
        QVERIFY(b->Enabled());
        QVERIFY(b->HasStrip());
    }
};

QTEST_MAIN(BannerTest)
#include "banner_test.moc"
