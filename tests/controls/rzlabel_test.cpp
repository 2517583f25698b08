#include "controls/rzlabel.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

using namespace tv;
using L = TRzLabel;

namespace {

const QColor kFace(192, 192, 192), kLight(255, 0, 0), kDark(0, 0, 255), kText(0, 0, 0), kGrey(0, 160, 0);
const QColor kShadow(255, 0, 255);

struct Labels {
    QWidget form;
    Labels()
    {
        QPalette pal = form.palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            pal.setColor(group, QPalette::Button, kFace);
            pal.setColor(group, QPalette::Light, kLight);
            pal.setColor(group, QPalette::Dark, kDark);
            pal.setColor(group, QPalette::WindowText, kText);
        }
        pal.setColor(QPalette::Disabled, QPalette::Button, kFace);
        pal.setColor(QPalette::Disabled, QPalette::Light, kLight);
        pal.setColor(QPalette::Disabled, QPalette::Dark, kDark);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, kGrey);
        form.setPalette(pal);
        form.resize(400, 200);
    }
    L* label(const QString& caption, L::TTextStyle style)
    {
        auto* l = new L(caption, &form);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(20);
        f.setBold(true);
        f.setStyleStrategy(QFont::NoAntialias);  // exact colours
        l->setFont(f);
        l->setTextStyle(style);
        l->move(20, 20);
        return l;
    }
    QImage look(L* l)
    {
        form.show();
        QApplication::processEvents();
        return l->grab().toImage();
    }
};

// Left-most column and top-most row where `colour` appears (-1 when absent).
QPoint firstOf(const QImage& img, const QColor& colour)
{
    int x0 = -1, y0 = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (QColor(img.pixel(x, y)) == colour) {
                if (x0 < 0 || x < x0)
                    x0 = x;
                if (y0 < 0 || y < y0)
                    y0 = y;
            }
    return QPoint(x0, y0);
}

} // namespace

class RzLabelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void defaults()
    {
        L l;
        QCOMPARE(l.TextStyle(), L::tsRecessed);
        QCOMPARE(l.ShadowDepth(), 2);
        QCOMPARE(l.ShadowColor(), l.palette().color(QPalette::Dark));
        QVERIFY(l.AutoSize());
        QVERIFY(l.ShowAccelChar());
    }

    // Each effect pass draws the whole text moved by its offset, the face text last.
    void effectPasses_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QColor>("first");   // drawn at (+1, +1) or (+depth, +depth)
        QTest::addColumn<QColor>("second");  // drawn at (-1, -1); invalid: no such pass
        QTest::newRow("raised") << int(L::tsRaised) << kDark << kLight;
        QTest::newRow("recessed") << int(L::tsRecessed) << kLight << kDark;
        QTest::newRow("shadow") << int(L::tsShadow) << kShadow << QColor();
    }
    void effectPasses()
    {
        QFETCH(int, style);
        QFETCH(QColor, first);
        QFETCH(QColor, second);
        Labels t;
        L* l = t.label(QStringLiteral("ILL"), L::TTextStyle(style));
        l->setShadowColor(kShadow);
        l->setShadowDepth(3);
        l->setAutoSize(false);
        l->setGeometry(20, 20, 120, 40);
        l->setAlignment(taCenter);
        const QImage img = t.look(l);
        const QPoint face = firstOf(img, kText);
        QVERIFY(face.x() > 2);
        const int d = style == L::tsShadow ? 3 : 1;
        const QPoint a = firstOf(img, first);
        // The moved copy shows where the face does not cover it: at the right/bottom ends.
        QVERIFY(a.x() >= 0);
        QCOMPARE(a.y(), face.y() + d);
        if (second.isValid())
            QCOMPARE(firstOf(img, second), face - QPoint(1, 1));
        QCOMPARE(QColor(img.pixel(0, 0)), kFace);
    }

    void shadowDepthZeroShowsOnlyTheFace()
    {
        Labels t;
        L* l = t.label(QStringLiteral("Shadow"), L::tsShadow);
        l->setShadowColor(kShadow);
        l->setShadowDepth(0);
        const QImage img = t.look(l);
        QCOMPARE(firstOf(img, kShadow), QPoint(-1, -1));
        QVERIFY(firstOf(img, kText).x() >= 0);
        l->setTextStyle(L::tsNone);
        const QImage plain = l->grab().toImage();
        QCOMPARE(plain, img);
    }

    void disabledFaceIsGrey()
    {
        Labels t;
        L* l = t.label(QStringLiteral("Heading"), L::tsRaised);
        l->setEnabled(false);
        const QImage img = t.look(l);
        QCOMPARE(firstOf(img, kText), QPoint(-1, -1));
        QVERIFY(firstOf(img, kGrey).x() >= 0);
        QVERIFY(firstOf(img, kLight).x() >= 0);  // effect passes keep their colours
        QVERIFY(firstOf(img, kDark).x() >= 0);
    }

    void transparentLeavesTheBackground()
    {
        Labels t;
        t.form.setAutoFillBackground(true);
        QPalette pal = t.form.palette();
        pal.setColor(QPalette::Window, QColor(10, 20, 30));
        t.form.setPalette(pal);
        L* l = t.label(QStringLiteral("x"), L::tsNone);
        l->setTransparent(true);
        t.form.show();
        QApplication::processEvents();
        const QImage img = t.form.grab(l->geometry()).toImage();
        QCOMPARE(QColor(img.pixel(0, 0)), QColor(10, 20, 30));
        l->setTransparent(false);
        QCOMPARE(QColor(t.form.grab(l->geometry()).toImage().pixel(0, 0)), kFace);
    }

    void longCaptionsAreCutAt255()
    {
        Labels t;
        const QString caption = QString(250, QLatin1Char('a')) + QStringLiteral("bcdefgh");
        L* l = t.label(caption, L::tsNone);
        QCOMPARE(l->Caption(), caption);
        QCOMPARE(l->PaintedText(), caption.left(255));
        QVERIFY(l->PaintedText().endsWith(QStringLiteral("bcdef")));
        // Auto size follows the painted text: "gh" adds no width.
        const int width = l->width();
        l->setCaption(caption.left(255));
        QCOMPARE(l->width(), width);
    }

    // "&" marks an accelerator unless ShowAccelChar is off; then it prints as itself.
    void accelerators()
    {
        Labels t;
        L* l = t.label(QStringLiteral("A&&B"), L::tsNone);
        const int marked = l->width();
        l->setShowAccelChar(false);
        QVERIFY(l->width() > marked);
        auto* edit = new QWidget(&t.form);
        l->setFocusControl(edit);
        QCOMPARE(l->buddy(), edit);
    }
};

QTEST_MAIN(RzLabelTest)
#include "rzlabel_test.moc"
