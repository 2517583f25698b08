#include "controls/docklayout.h"
#include "controls/winsplit.h"

#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace tv;

namespace {

struct Form {
    QWidget window;
    QWidget* target = nullptr;
    TWinSplit* bar = nullptr;
    QWidget* client = nullptr;

    explicit Form(TAlign align, int size = 200)
    {
        window.resize(800, 600);
        window.setAutoFillBackground(true);
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, QColor(0, 0, 0));
        pal.setColor(QPalette::Button, QColor(0, 0, 0));
        window.setPalette(pal);
        target = new QWidget(&window);
        target->resize(size, size);
        setAlign(target, align);
        bar = new TWinSplit(&window);
        bar->resize(3, 3);
        bar->setTargetControl(target);
        client = new QWidget(&window);
        setAlign(client, alClient);
        window.show();
        QApplication::processEvents();
    }
    void mouse(QEvent::Type type, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, pos, bar->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, mods);
        QApplication::sendEvent(bar, &e);
    }
    // Drags from the bar's corner by (dx, dy): the offset is the mouse position in the bar.
    void drag(int dx, int dy)
    {
        mouse(QEvent::MouseButtonPress, QPoint(0, 0));
        mouse(QEvent::MouseMove, QPoint(dx, dy));
        mouse(QEvent::MouseButtonRelease, QPoint(dx, dy));
        QApplication::processEvents();
    }
};

} // namespace

class WinSplitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void takesTheTargetsDocking()
    {
        Form f(alLeft);
        QCOMPARE(alignOf(f.bar), alLeft);
        QVERIFY(f.bar->Vertical());
        QCOMPARE(f.bar->cursor().shape(), Qt::SplitHCursor);
        // Right beside the target, 3 pixels wide, full height.
        QCOMPARE(f.bar->geometry(), QRect(200, 0, 3, 600));
        QCOMPARE(f.client->x(), 203);

        Form t(alTop, 120);
        QVERIFY(!t.bar->Vertical());
        QCOMPARE(t.bar->cursor().shape(), Qt::SplitVCursor);
        QCOMPARE(t.bar->geometry(), QRect(0, 120, 800, 3));

        // A client-docked or undocked target, or the bar itself, leaves the bar without one.
        auto* filler = new QWidget(&f.window);
        setAlign(filler, alClient);
        f.bar->setTargetControl(filler);
        QVERIFY(!f.bar->TargetControl());
        QCOMPARE(alignOf(f.bar), alNone);
        f.bar->setTargetControl(f.bar);
        QVERIFY(!f.bar->TargetControl());
        f.bar->setTargetControl(f.target);
        QCOMPARE(f.bar->TargetControl(), f.target);
    }

    void limits()
    {
        TWinSplit bar;
        QCOMPARE(bar.width(), 3);
        QCOMPARE(bar.height(), 100);
        bar.setMaxTargetSize(300);
        bar.setMinTargetSize(500);  // not below the maximum: takes the maximum
        QCOMPARE(bar.MinTargetSize(), 300u);
        bar.setMinTargetSize(100);
        bar.setMaxTargetSize(50);  // not above the minimum: takes the minimum
        QCOMPARE(bar.MaxTargetSize(), 100u);
        bar.setMaxTargetSize(0);  // no maximum
        bar.setMinTargetSize(5000);
        QCOMPARE(bar.MinTargetSize(), 5000u);
    }

    void newTargetSizeByEdge_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<int>("size");
        QTest::newRow("left, right 40") << int(alLeft) << 40 << 0 << 240;
        QTest::newRow("right, right 40") << int(alRight) << 40 << 0 << 160;
        QTest::newRow("top, down 25") << int(alTop) << 0 << 25 << 225;
        QTest::newRow("bottom, down 25") << int(alBottom) << 0 << 25 << 175;
        QTest::newRow("left, across only") << int(alLeft) << 0 << 30 << 200;
        QTest::newRow("left, far left") << int(alLeft) << -500 << 0 << 0;
    }
    void newTargetSizeByEdge()
    {
        QFETCH(int, align);
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(int, size);
        Form f{TAlign(align)};
        f.drag(dx, dy);
        const bool vertical = align == alLeft || align == alRight;
        QCOMPARE(vertical ? f.target->width() : f.target->height(), size);
        QCOMPARE(f.bar->Offset(), QPoint(0, 0));
        QVERIFY(!f.bar->Dragging());
        // The bar follows the target's new edge.
        if (align == alLeft)
            QCOMPARE(f.bar->x(), size);
    }

    void clickWithoutMovingChangesNothing()
    {
        Form f(alLeft);
        QSignalSpy begin(f.bar, &TWinSplit::OnBeginSplit);
        QSignalSpy end(f.bar, &TWinSplit::OnEndSplit);
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10));
        f.mouse(QEvent::MouseButtonRelease, QPoint(1, 10));
        QCOMPARE(f.target->width(), 200);
        QCOMPARE(begin.count(), 1);
        QCOMPARE(end.count(), 1);
        // Modifier keys start no drag.
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10), Qt::ShiftModifier);
        QVERIFY(!f.bar->Dragging());
        f.mouse(QEvent::MouseButtonRelease, QPoint(1, 10));
        QCOMPARE(begin.count(), 1);
    }

    // Past a limit the line stops at the limit and the target takes exactly that size.
    void lineStopsAtTheLimit()
    {
        Form f(alLeft);
        f.bar->setMaxTargetSize(250);
        f.bar->setMinTargetSize(150);
        QSignalSpy moves(f.bar, &TWinSplit::OnMoveSplit);
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10));
        QVERIFY(f.bar->Dragging());
        f.mouse(QEvent::MouseMove, QPoint(30, 10));
        QCOMPARE(f.bar->Offset(), QPoint(30, 0));
        bool limited = true;
        QCOMPARE(f.bar->NewTargetSize(&limited), 230);
        QVERIFY(!limited);
        f.mouse(QEvent::MouseMove, QPoint(80, 10));  // 280 > 250
        QCOMPARE(f.bar->Offset(), QPoint(50, 0));
        QCOMPARE(f.bar->DragLine()->x(), 200 + 50 - 1);
        f.mouse(QEvent::MouseMove, QPoint(-90, 10));  // 110 < 150
        QCOMPARE(f.bar->Offset(), QPoint(-50, 0));
        QCOMPARE(moves.count(), 3);
        f.mouse(QEvent::MouseButtonRelease, QPoint(-90, 10));
        QCOMPARE(f.target->width(), 150);
        f.drag(400, 0);
        QCOMPARE(f.target->width(), 250);
        f.drag(-10, 0);
        QCOMPARE(f.target->width(), 240);
    }

    void rightAndBottomLimits()
    {
        Form r(alRight);
        r.bar->setMinTargetSize(180);
        r.drag(100, 0);  // shrinks the target: stops at 180
        QCOMPARE(r.target->width(), 180);
        Form b(alBottom);
        b.bar->setMaxTargetSize(230);
        b.drag(0, -100);
        QCOMPARE(b.target->height(), 230);
    }

    // The drag line inverts what lies under it and is gone after the drag.
    void invertedDragLine()
    {
        Form f(alLeft);
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10));
        f.mouse(QEvent::MouseMove, QPoint(60, 10));
        QWidget* line = f.bar->DragLine();
        QVERIFY(line);
        QVERIFY(line->isVisible());
        QCOMPARE(line->geometry(), QRect(200 + 60 - 1, 0, 3, 600));
        const QImage img = f.window.grab().toImage();
        QCOMPARE(QColor(img.pixel(260, 300)), QColor(255, 255, 255));  // black inverted
        QCOMPARE(QColor(img.pixel(265, 300)), QColor(0, 0, 0));
        f.mouse(QEvent::MouseButtonRelease, QPoint(60, 10));
        QVERIFY(!f.bar->DragLine());
        QApplication::processEvents();
        QCOMPARE(f.bar->x(), 260);  // the bar now stands where the line was
        const QImage after = f.window.grab().toImage();
        QCOMPARE(QColor(after.pixel(265, 300)), QColor(0, 0, 0));
        QCOMPARE(QColor(after.pixel(230, 300)), QColor(0, 0, 0));
    }

    void targetDestroyedDuringADrag()
    {
        Form f(alLeft);
        QSignalSpy end(f.bar, &TWinSplit::OnEndSplit);
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10));
        f.mouse(QEvent::MouseMove, QPoint(20, 10));
        delete f.target;
        QVERIFY(!f.bar->Dragging());
        QVERIFY(!f.bar->TargetControl());
        QVERIFY(!f.bar->DragLine());
        f.mouse(QEvent::MouseButtonRelease, QPoint(20, 10));
        QCOMPARE(end.count(), 0);
        // A new press finds no target and starts nothing.
        f.mouse(QEvent::MouseButtonPress, QPoint(1, 10));
        QVERIFY(!f.bar->Dragging());
    }
};

QTEST_MAIN(WinSplitTest)
#include "winsplit_test.moc"
