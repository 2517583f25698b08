#include "controls/explbtn.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tv;
using B = TExplorerButton;

namespace {

const QColor kFace(192, 192, 192), kLight(255, 255, 255), kDark(128, 128, 128), kText(0, 0, 0);
const QColor kKey(255, 0, 255);   // transparent colour of the test pictures
const QColor kInk(100, 40, 40);   // S = 180: shadow under stMedium, highlight under stLight

// A 16 x 16 picture: key colour with an 8 x 8 square of `ink` at (4, 4).
QImage picture(const QColor& background = kKey, const QColor& ink = kInk)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(background);
    QPainter(&img).fillRect(QRect(4, 4, 8, 8), ink);
    return img;
}

struct Toolbar {
    QWidget form;
    Toolbar()
    {
        QPalette pal = form.palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            pal.setColor(group, QPalette::Window, kFace);
            pal.setColor(group, QPalette::Button, kFace);
            pal.setColor(group, QPalette::Light, kLight);
            pal.setColor(group, QPalette::Dark, kDark);
            pal.setColor(group, QPalette::WindowText, kText);
        }
        form.setPalette(pal);
        form.setAutoFillBackground(true);
        form.resize(300, 100);
    }
    B* button(int x, int w = 25, int h = 25)
    {
        auto* b = new B(&form);
        b->setGeometry(x, 10, w, h);
        return b;
    }
    void show()
    {
        form.show();
        QApplication::processEvents();
    }
    // The button's area as the user sees it.
    QImage look(const B* b) { return form.grab(b->geometry()).toImage(); }
};

void send(B* b, QEvent::Type type, QPoint pos = QPoint(5, 5), Qt::MouseButton button = Qt::LeftButton)
{
    if (type == QEvent::Enter) {
        QEnterEvent e(pos, pos, b->mapToGlobal(pos));
        QApplication::sendEvent(b, &e);
    } else if (type == QEvent::Leave) {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(b, &e);
    } else {
        // Moves are sent with the button held (the button captures the mouse while pressed).
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, pos, b->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(b, &e);
    }
}

void click(B* b)
{
    send(b, QEvent::Enter);
    send(b, QEvent::MouseButtonPress);
    send(b, QEvent::MouseButtonRelease);
}

QColor at(const QImage& img, int x, int y)
{
    return QColor(img.pixel(x, y));
}

QColor opaque(const QColor& c)
{
    return QColor(c.rgb());
}

} // namespace

class ExplorerButtonTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void stripAccelerators_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("plain");
        QTest::newRow("doubled and marked") << "Save && &Exit" << "Save & Exit";
        QTest::newRow("mark last stays") << "Tom&" << "Tom&";
        QTest::newRow("doubled at end") << "A&&" << "A&";
        QTest::newRow("marked first") << "&Open" << "Open";
        QTest::newRow("triple") << "a&&&b" << "a&b";
        QTest::newRow("single mark") << "&" << "&";
        QTest::newRow("empty") << "" << "";
    }
    void stripAccelerators()
    {
        QFETCH(QString, caption);
        QFETCH(QString, plain);
        QCOMPARE(B::StripAccelerators(caption), plain);
    }

    // Each shading type maps component sums to white / highlight / shadow / black around its
    // thresholds; the colour of pixel (0, 0) is left alone wherever it appears.
    void mutedThresholds_data()
    {
        QTest::addColumn<int>("shading");
        QTest::addColumn<int>("W");
        QTest::addColumn<int>("H");
        QTest::addColumn<int>("D");
        QTest::newRow("light") << int(B::stLight) << 205 << 127 << 68;
        QTest::newRow("medium") << int(B::stMedium) << 553 << 231 << 57;
        QTest::newRow("dark") << int(B::stDark) << 335 << 274 << 175;
    }
    void mutedThresholds()
    {
        QFETCH(int, shading);
        QFETCH(int, W);
        QFETCH(int, H);
        QFETCH(int, D);
        const QList<int> sums{W + 1, W, H + 1, H, D + 1, D, 0};
        QImage src(int(sums.size()) + 2, 1, QImage::Format_RGB32);
        src.setPixel(0, 0, qRgb(10, 20, 30));  // transparent colour
        auto ofSum = [](int s) { return qRgb(std::min(s, 255), std::clamp(s - 255, 0, 255), std::clamp(s - 510, 0, 255)); };
        for (int i = 0; i < sums.size(); ++i)
            src.setPixel(i + 1, 0, ofSum(sums.at(i)));
        src.setPixel(int(sums.size()) + 1, 0, qRgb(10, 20, 30));
        const QColor hi = opaque(kLight.darker(110));
        const QImage m = B::MakeMutedBitmap(src, B::TExplorerButtonShadingType(shading), hi, kDark);
        const QList<QColor> expected{Qt::white, hi, hi, kDark, kDark, Qt::black, Qt::black};
        for (int i = 0; i < sums.size(); ++i)
            QCOMPARE(at(m, i + 1, 0), expected.at(i));
        QCOMPARE(at(m, 0, 0), QColor(10, 20, 30));
        QCOMPARE(at(m, int(sums.size()) + 1, 0), QColor(10, 20, 30));
    }

    void mutedBitmapOnlyWithoutNoFocusBitmap()
    {
        Toolbar t;
        B* plain = t.button(0);
        plain->setBitmap(picture());
        QVERIFY(!plain->MutedBitmap().isNull());
        QCOMPARE(at(plain->MutedBitmap(), 6, 6), kDark);
        plain->setShadingType(B::stLight);  // S = 180 lies between 127 and 205: highlight
        QCOMPARE(at(plain->MutedBitmap(), 6, 6), kLight);

        B* both = t.button(30);
        both->setNoFocusBitmap(picture(kKey, Qt::green));
        both->setBitmap(picture());
        QVERIFY(both->MutedBitmap().isNull());
        // At rest the no-focus image shows, under the mouse the full image.
        t.show();
        const auto L = both->contentLayout();
        QCOMPARE(at(t.look(both), L.IX + 6, L.IY + 6), QColor(Qt::green));
        QCOMPARE(at(t.look(both), L.IX + 1, L.IY + 1), kFace);  // transparent pixels
        send(both, QEvent::Enter);
        QCOMPARE(at(t.look(both), L.IX + 6, L.IY + 6), kInk);
    }

    void contentLayoutArithmetic()
    {
        Toolbar t;
        B* b = t.button(0);
        b->setBitmap(picture());
        auto L = b->contentLayout();
        QCOMPARE(QPoint(L.IX, L.IY), QPoint(4, 4));
        QCOMPARE(L.G, 0);
        // A picture drawn for a screen of twice the density takes the same place.
        QImage dense = picture().scaled(32, 32);
        dense.setDevicePixelRatio(2);
        B* sharp = t.button(260);
        sharp->setBitmap(dense);
        QCOMPARE(QPoint(sharp->contentLayout().IX, sharp->contentLayout().IY), QPoint(4, 4));
        QCOMPARE(sharp->contentLayout().IW, 16);
        QMenu menu;
        b->setDropDownMenu(&menu);
        L = b->contentLayout();
        QCOMPARE(L.IW, 26);
        QCOMPARE(L.IX, 0);  // (25 - 26) / 2 rounds toward zero

        B* c = t.button(40, 90, 30);
        c->setBitmap(picture());
        c->setCaption(QStringLiteral("&Print"));
        c->setLayout(B::blBitmapLeft);
        c->setAlignment(taLeftJustify);
        L = c->contentLayout();
        QCOMPARE(L.G, 2);
        QCOMPARE(L.IX, 3);
        QCOMPARE(L.TX, 16 + 2 + 3);
        QCOMPARE(L.IY, 7);
        c->setLayout(B::blBitmapRight);
        c->setAlignment(taRightJustify);
        L = c->contentLayout();
        QCOMPARE(L.IX, 90 - 16 - 3);
        QCOMPARE(L.TX, L.IX - L.TW - 2);
        c->setLayout(B::blBitmapBottom);
        c->setAlignment(taCenter);
        L = c->contentLayout();
        QCOMPARE(L.TY, (30 - (L.TH + 16 + 2)) / 2);
        QCOMPARE(L.IY, L.TY + L.TH + 2);
        QCOMPARE(L.IX, (90 - 16) / 2);
        // A caption too long for the button is capped at Width - 4.
        c->setCaption(QString(60, QLatin1Char('W')));
        QCOMPARE(c->contentLayout().TW, 86);
        // Without a picture but with the drop-down mark, the block is the text plus 10.
        B* d = t.button(140, 60, 25);
        d->setCaption(QStringLiteral("Go"));
        d->setDropDownMenu(&menu);
        L = d->contentLayout();
        QCOMPARE(L.TX, (60 - (L.TW + 10)) / 2);
        QCOMPARE(L.TL, std::min(60 - 14, L.TW));
        QCOMPARE(L.TY, (25 - L.TH) / 2);
    }

    // Rest: no frame; hot: raised bevel; pressed: sunken bevel with the picture one pixel down.
    void bevelsByState()
    {
        Toolbar t;
        B* b = t.button(10);
        b->setBitmap(picture());
        t.show();
        QImage img = t.look(b);
        QCOMPARE(at(img, 0, 0), kFace);
        QCOMPARE(at(img, 24, 24), kFace);
        QCOMPARE(at(img, 4 + 6, 4 + 6), kDark);  // muted picture
        send(b, QEvent::Enter);
        img = t.look(b);
        QCOMPARE(at(img, 0, 0), kLight);
        QCOMPARE(at(img, 0, 23), kLight);
        QCOMPARE(at(img, 24, 24), kDark);
        QCOMPARE(at(img, 24, 0), kDark);
        QCOMPARE(at(img, 4 + 4, 4 + 4), kInk);
        QCOMPARE(at(img, 4 + 3, 4 + 4), kFace);
        send(b, QEvent::MouseButtonPress);
        QVERIFY(b->Pressed());
        img = t.look(b);
        QCOMPARE(at(img, 0, 0), kDark);
        QCOMPARE(at(img, 24, 24), kLight);
        QCOMPARE(at(img, 5 + 4, 5 + 4), kInk);
        QCOMPARE(at(img, 4 + 4, 4 + 4), kFace);  // moved one pixel right and down
        // With lowered bevels the colours swap.
        send(b, QEvent::MouseButtonRelease);
        b->setBevelStyle(B::bsLowered);
        send(b, QEvent::Enter);
        img = t.look(b);
        QCOMPARE(at(img, 0, 0), kDark);
        QCOMPARE(at(img, 24, 24), kLight);
    }

    void clickOnlyWhenReleasedInside()
    {
        Toolbar t;
        B* b = t.button(10);
        QSignalSpy clicks(b, &B::OnClick);
        t.show();
        click(b);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(!b->Pressed());

        // Pressed, dragged out, released: no click and no bevel left behind.
        send(b, QEvent::Enter);
        send(b, QEvent::MouseButtonPress);
        send(b, QEvent::MouseMove, QPoint(40, 5));
        QVERIFY(!b->Hot());
        send(b, QEvent::Leave);
        send(b, QEvent::MouseButtonRelease, QPoint(40, 5));
        QCOMPARE(clicks.count(), 1);
        const QImage img = t.look(b);
        QCOMPARE(at(img, 0, 0), kFace);
        QCOMPARE(at(img, 24, 24), kFace);

        // Out and back in while held: the release clicks. The edge counts as outside.
        send(b, QEvent::Enter);
        send(b, QEvent::MouseButtonPress);
        send(b, QEvent::MouseMove, QPoint(0, 5));
        QVERIFY(!b->Hot());
        send(b, QEvent::MouseMove, QPoint(1, 5));
        QVERIFY(b->Hot());
        send(b, QEvent::MouseButtonRelease, QPoint(1, 5));
        QCOMPARE(clicks.count(), 2);

        // Right button and disabled buttons do not click.
        send(b, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton);
        send(b, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::RightButton);
        b->setEnabled(false);
        click(b);
        QCOMPARE(clicks.count(), 2);
    }

    void dropDownMenuReplacesTheClick()
    {
        Toolbar t;
        B* b = t.button(10);
        auto* menu = new QMenu(&t.form);
        menu->addAction(QStringLiteral("One"));
        b->setDropDownMenu(menu);
        QSignalSpy clicks(b, &B::OnClick);
        t.show();
        bool shown = false;
        QPoint where;
        QTimer::singleShot(0, menu, [&] {
            shown = menu->isVisible();
            where = menu->pos();
            menu->close();
        });
        click(b);
        QVERIFY(shown);
        QCOMPARE(where, b->mapToGlobal(QPoint(0, b->height())));
        QCOMPARE(clicks.count(), 0);
        QVERIFY(!b->Pressed());
        // Destroying the menu clears the reference.
        delete b->DropDownMenu();
        QVERIFY(!b->DropDownMenu());
    }

    void groupsAndDown()
    {
        Toolbar t;
        B* a = t.button(0);
        B* b = t.button(30);
        B* c = t.button(60);
        B* loner = t.button(90);
        t.show();
        loner->setDown(true);  // GroupIndex 0: no effect
        QVERIFY(!loner->Down());
        for (B* x : {a, b, c})
            x->setGroupIndex(1);
        click(a);
        QVERIFY(a->Down());
        click(b);
        QVERIFY(b->Down());
        QVERIFY(!a->Down());
        click(b);  // pressed twice: stays down
        QVERIFY(b->Down());
        c->setAllowAllUp(true);  // copied to the whole group
        QVERIFY(a->AllowAllUp() && b->AllowAllUp());
        QVERIFY(!loner->AllowAllUp());
        click(b);
        QVERIFY(!b->Down());
        c->setDown(true);
        a->setDown(true);
        QVERIFY(a->Down() && !c->Down());
        // A down group button survives being disabled; leaving the group releases it.
        a->setEnabled(false);
        QVERIFY(a->Down());
        QVERIFY(!a->Hot() && !a->Pressed());
        a->setGroupIndex(0);
        QVERIFY(!a->Down());
    }

    void ditherPatternOnDownButtons()
    {
        const QImage pattern = B::DitherPattern(kLight, kFace);
        QCOMPARE(pattern.size(), QSize(8, 8));
        QCOMPARE(at(pattern, 0, 0), kLight);
        QCOMPARE(at(pattern, 3, 5), kLight);
        QCOMPARE(at(pattern, 1, 0), kFace);
        QCOMPARE(at(pattern, 6, 7), kFace);
        Toolbar t;
        B* b = t.button(10);
        b->setGroupIndex(2);
        b->setDown(true);
        t.show();
        QImage img = t.look(b);
        QCOMPARE(at(img, 0, 0), kDark);  // sunken bevel
        QCOMPARE(at(img, 2, 2), kLight);
        QCOMPARE(at(img, 3, 2), kFace);
        QCOMPARE(at(img, 9, 3), kLight);
        b->setShowDownPattern(false);
        img = t.look(b);
        QCOMPARE(at(img, 2, 2), kFace);
    }

    void dropDownMark()
    {
        Toolbar t;
        B* b = t.button(10, 40, 25);
        QMenu menu;
        b->setDropDownMenu(&menu);
        b->setUnselectedFontColor(QColor(0, 0, 255));
        t.show();
        const auto L = b->contentLayout();
        const int x = L.TX + L.TL + 3, y = L.TH / 2 + L.TY;
        const QImage img = t.look(b);
        for (int i = 0; i <= 6; ++i)
            QCOMPARE(at(img, x + i, y - 1), QColor(0, 0, 255));
        QCOMPARE(at(img, x, y), kFace);
        QCOMPARE(at(img, x + 1, y), QColor(0, 0, 255));
        QCOMPARE(at(img, x + 3, y + 2), QColor(0, 0, 255));
        QCOMPARE(at(img, x + 2, y + 2), kFace);
        QCOMPARE(at(img, x + 3, y + 3), kFace);
        // Without boPopupMark there is no mark.
        b->setOptions(B::boMonoDisplay);
        QCOMPARE(at(t.look(b), x + 3, y + 2), kFace);
    }

    void disabledImages()
    {
        Toolbar t;
        B* b = t.button(10);
        b->setBitmap(picture(Qt::white, Qt::black));  // white background: no ink there
        b->setEnabled(false);
        t.show();
        const auto L = b->contentLayout();
        QImage img = t.look(b);
        QCOMPARE(at(img, L.IX + 4, L.IY + 4), kDark);     // ink in shadow colour
        QCOMPARE(at(img, L.IX + 12, L.IY + 12), kLight);  // its highlight one pixel right and down
        QCOMPARE(at(img, L.IX + 2, L.IY + 2), kFace);
        QCOMPARE(at(img, 0, 0), kFace);
        b->setDisabledBitmap(picture(kKey, Qt::green));
        img = t.look(b);
        QCOMPARE(at(img, L.IX + 4, L.IY + 4), QColor(Qt::green));
        QCOMPARE(at(img, L.IX + 12, L.IY + 12), kFace);
        b->setEnabled(true);
        QVERIFY(!b->Hot());
        QCOMPARE(at(t.look(b), L.IX + 4, L.IY + 4), QColor(0, 0, 0));  // muted black ink
    }

    void iconOnlyTurnsTheCaptionIntoTheHint()
    {
        Toolbar t;
        B* b = t.button(0);
        b->setCaption(QStringLiteral("Save && &Exit"));
        b->setOptions(b->Options() | B::boIconOnly);
        QCOMPARE(b->Hint(), QStringLiteral("Save & Exit"));
        QVERIFY(b->ShowHint());
        QCOMPARE(b->contentLayout().TW, 0);
        b->setCaption(QStringLiteral("&Quit"));
        QCOMPARE(b->Hint(), QStringLiteral("Quit"));
        b->setOptions(B::boMonoDisplay);
        QCOMPARE(b->Hint(), QString());
        QVERIFY(!b->ShowHint());
        // A hint of one's own survives.
        b->setHint(QStringLiteral("Leave"));
        b->setOptions(B::boIconOnly);
        b->setOptions(B::boMonoDisplay);
        QCOMPARE(b->Hint(), QStringLiteral("Leave"));
    }

    void neverTakesFocus()
    {
        Toolbar t;
        auto* edit = new QLineEdit(&t.form);
        edit->setGeometry(100, 50, 80, 20);
        B* b = t.button(10);
        b->setCaption(QStringLiteral("&Go"));
        t.show();
        t.form.activateWindow();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QSignalSpy clicks(b, &B::OnClick);
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(12, 12));
        QCOMPARE(clicks.count(), 1);
        QVERIFY(edit->hasFocus());
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        // The accelerator clicks it as well.
        b->Accelerate();
        QCOMPARE(clicks.count(), 2);
    }
};

QTEST_MAIN(ExplorerButtonTest)
#include "explbtn_test.moc"
