#include "controls/docklayout.h"
#include "controls/panel.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

using namespace tv;

class DockLayoutTest : public QObject {
    Q_OBJECT

    static QWidget* child(QWidget* parent, int w, int h, TAlign a)
    {
        auto* c = new QWidget(parent);
        c->resize(w, h);
        setAlign(c, a);
        return c;
    }
    static void settle(QWidget* form)
    {
        if (!form->isVisible())
            form->show();
        QApplication::processEvents();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Passes top, bottom, left, right, client; each docked child keeps its extent across its edge.
    void placesEdgesThenClient()
    {
        QWidget form;
        form.resize(400, 300);
        QWidget* client = child(&form, 10, 10, alClient);  // created first, placed last
        QWidget* top = child(&form, 50, 30, alTop);
        QWidget* bottom = child(&form, 50, 20, alBottom);
        QWidget* left = child(&form, 60, 50, alLeft);
        QWidget* right = child(&form, 70, 50, alRight);
        QVERIFY(qobject_cast<DockLayout*>(form.layout()));
        settle(&form);
        QCOMPARE(top->geometry(), QRect(0, 0, 400, 30));
        QCOMPARE(bottom->geometry(), QRect(0, 280, 400, 20));
        QCOMPARE(left->geometry(), QRect(0, 30, 60, 250));
        QCOMPARE(right->geometry(), QRect(330, 30, 70, 250));
        QCOMPARE(client->geometry(), QRect(60, 30, 270, 250));
        const QList<QWidget*> order{top, bottom, left, right, client};
        QCOMPARE(static_cast<DockLayout*>(form.layout())->dockedWidgets(), order);
    }

    // Several children on one edge stack outward-in in creation order; hidden ones take no room.
    void sameEdgeInCreationOrderAndHiddenSkipped()
    {
        QWidget form;
        form.resize(300, 100);
        QWidget* r1 = child(&form, 40, 10, alRight);
        QWidget* r2 = child(&form, 30, 10, alRight);
        QWidget* r3 = child(&form, 20, 10, alRight);
        QWidget* l1 = child(&form, 25, 10, alLeft);
        QWidget* l2 = child(&form, 15, 10, alLeft);
        settle(&form);
        QCOMPARE(r1->x(), 260);
        QCOMPARE(r2->x(), 230);
        QCOMPARE(r3->x(), 210);
        QCOMPARE(l1->x(), 0);
        QCOMPARE(l2->x(), 25);
        r2->hide();
        settle(&form);
        QCOMPARE(r3->x(), 240);
        // Zero width is a valid extent: the neighbour moves up against the edge.
        r1->resize(0, r1->height());
        settle(&form);
        QCOMPARE(r3->x(), 280);
    }

    // Resizing a docked child by code moves its neighbours; the client takes the rest.
    void resizingAChildRelaysOut()
    {
        QWidget form;
        form.resize(300, 200);
        QWidget* left = child(&form, 100, 10, alLeft);
        QWidget* client = child(&form, 10, 10, alClient);
        settle(&form);
        QCOMPARE(client->geometry(), QRect(100, 0, 200, 200));
        left->resize(140, left->height());
        settle(&form);
        QCOMPARE(left->geometry(), QRect(0, 0, 140, 200));
        QCOMPARE(client->geometry(), QRect(140, 0, 160, 200));
        setAlign(left, alNone);  // undocked: keeps its place, the client takes everything
        settle(&form);
        QCOMPARE(client->geometry(), QRect(0, 0, 300, 200));
        QCOMPARE(alignOf(left), alNone);
    }

    // Inside a panel the children stay within its bevels; an over-full edge leaves the client empty.
    void panelBevelsAndOverflow()
    {
        QWidget form;
        form.resize(200, 100);
        auto* panel = new TPanel(&form);
        setAlign(panel, alClient);
        panel->setBevelOuter(bvRaised);
        panel->setBevelInner(bvLowered);
        panel->setBorderWidth(2);
        QCOMPARE(panel->frameExtent(), 4);
        QWidget* inner = child(panel, 10, 10, alClient);
        QWidget* wide = child(&form, 250, 10, alLeft);
        settle(&form);
        settle(panel);
        QCOMPARE(wide->geometry(), QRect(0, 0, 250, 100));
        QCOMPARE(panel->width(), 0);
        setAlign(panel, alNone);
        panel->setGeometry(0, 0, 100, 50);
        settle(&form);
        QCOMPARE(inner->geometry(), QRect(4, 4, 92, 42));
    }

    // Outer bevel outside, border in the face colour, inner bevel inside it.
    void panelBevelPixels()
    {
        QWidget form;
        QPalette pal = form.palette();
        pal.setColor(QPalette::Button, QColor(200, 200, 200));
        pal.setColor(QPalette::Light, QColor(255, 255, 255));
        pal.setColor(QPalette::Dark, QColor(100, 100, 100));
        form.setPalette(pal);
        auto* panel = new TPanel(&form);
        panel->setGeometry(0, 0, 40, 20);
        panel->setBevelInner(bvLowered);
        panel->setBorderWidth(1);
        form.show();
        QApplication::processEvents();
        const QImage img = panel->grab().toImage();
        auto px = [&](int x, int y) { return QColor(img.pixel(x, y)); };
        const QColor light(255, 255, 255), dark(100, 100, 100), face(200, 200, 200);
        QCOMPARE(px(0, 0), light);
        QCOMPARE(px(5, 0), light);
        QCOMPARE(px(0, 5), light);
        QCOMPARE(px(39, 0), dark);   // top right corner belongs to the dark edge
        QCOMPARE(px(0, 19), dark);   // so does bottom left
        QCOMPARE(px(39, 19), dark);
        QCOMPARE(px(1, 1), face);    // border
        QCOMPARE(px(2, 2), dark);    // lowered inner bevel
        QCOMPARE(px(37, 17), light);
        QCOMPARE(px(3, 3), face);
        panel->setBevelOuter(bvLowered);
        QCOMPARE(QColor(panel->grab().toImage().pixel(0, 0)), dark);
    }
};

QTEST_MAIN(DockLayoutTest)
#include "docklayout_test.moc"
