#include "controls/gauge.h"
#include "controls/status.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLocale>
#include <QTest>
#include <QTimer>

using namespace tv;

class StatusTest : public QObject {
    Q_OBJECT

    struct Machine {
        int load = 30;
        bool num = false, caps = false, ins = false;
        QDateTime now = QDateTime(QDate(2024, 3, 9), QTime(9, 59, 59));
    };

    static TStatus* makeBar(QWidget& form, Machine& m)
    {
        form.resize(700, 200);
        auto* bar = new TStatus(&form);
        TStatus::Sources s;
        s.memoryStatus = [&m] { return platform::MemoryStatus{1u << 30, m.load}; };
        s.numLock = [&m] { return m.num; };
        s.capsLock = [&m] { return m.caps; };
        s.insert = [&m] { return m.ins; };
        s.now = [&m] { return m.now; };
        bar->setSources(s);
        bar->Timer()->stop();  // ticks are driven by hand
        form.show();
        QApplication::processEvents();
        return bar;
    }
    static int tw(const TStatus* bar, const QString& s) { return QFontMetrics(bar->font()).horizontalAdvance(s); }
    static void settle() { QApplication::processEvents(); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void creationSettings()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        QCOMPARE(bar->height(), 19);
        QCOMPARE(bar->geometry().bottom(), form.height() - 1);
        QCOMPARE(bar->width(), form.width());
        QCOMPARE(bar->Timer()->interval(), 500);
        QCOMPARE(bar->focusPolicy(), Qt::NoFocus);
        QCOMPARE(bar->BevelOuter(), bvRaised);
        QCOMPARE(bar->BevelInner(), bvNone);
        QCOMPARE(bar->font().pointSize(), 8);
        QVERIFY(bar->LayoutPending());
        // Initial widths come from the sample strings.
        QCOMPARE(bar->DateTimePanel()->width(), tw(bar, QStringLiteral("  00/00/00 00:00:00 am  ")));
        QCOMPARE(bar->ResourcePanel()->width(), tw(bar, QString(20, QLatin1Char(' '))));
        QCOMPARE(bar->CapsPanel()->width(), tw(bar, QStringLiteral("  Cap  ")));
        // The indicators stand at the right end, the message panel fills the rest.
        settle();
        const int inner = bar->frameExtent();
        QCOMPARE(bar->DateTimePanel()->geometry().right(), bar->width() - 1 - inner);
        QCOMPARE(bar->MessagePanel()->x(), inner);
        QCOMPARE(bar->MessagePanel()->geometry().right() + 1, bar->InsertPanel()->x());
        QCOMPARE(bar->Gauge()->parentWidget(), bar->ResourcePanel());
    }

    void captionKeepsItsLeadingBlank()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        bar->setCaption(QStringLiteral("Ready"));
        QCOMPARE(bar->Caption(), QStringLiteral(" Ready"));
        QCOMPARE(bar->MessagePanel()->Caption(), QStringLiteral(" Ready"));
        QCOMPARE(bar->MessagePanel()->Alignment(), taLeftJustify);
        bar->setCaption(bar->Caption());
        QCOMPARE(bar->Caption(), QStringLiteral("  Ready"));
        QCOMPARE(bar->property("Caption").toString(), QStringLiteral("  Ready"));
    }

    // Gauge = 100 - load, coloured green from 50, yellow from 20, red below.
    void gaugeValueAndColour_data()
    {
        QTest::addColumn<int>("load");
        QTest::addColumn<int>("value");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("50") << 50 << 50 << QColor(0, 255, 0);
        QTest::newRow("51") << 51 << 49 << QColor(255, 255, 0);
        QTest::newRow("80") << 80 << 20 << QColor(255, 255, 0);
        QTest::newRow("81") << 81 << 19 << QColor(255, 0, 0);
        QTest::newRow("0") << 0 << 100 << QColor(0, 255, 0);
        QTest::newRow("100") << 100 << 0 << QColor(255, 0, 0);
    }
    void gaugeValueAndColour()
    {
        QFETCH(int, load);
        QFETCH(int, value);
        QFETCH(QColor, colour);
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        m.load = load;
        bar->Refresh();
        QCOMPARE(bar->Gauge()->Progress(), value);
        QCOMPARE(bar->Gauge()->ForeColor(), colour);
        QCOMPARE(bar->Gauge()->Text(), QStringLiteral("%1%").arg(value));
        // The bar is painted in that colour at its left end.
        settle();
        const QImage img = bar->Gauge()->grab().toImage();
        if (value > 0)
            QCOMPARE(QColor(img.pixel(1, img.height() / 2)), colour);
        else
            QCOMPARE(QColor(img.pixel(1, img.height() / 2)), bar->Gauge()->BackColor());
    }

    void keyPanels()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        m.caps = true;
        m.ins = true;
        bar->Refresh();
        QCOMPARE(bar->CapsPanel()->Caption(), QStringLiteral("  Cap  "));
        QCOMPARE(bar->NumPanel()->Caption(), QString());
        QCOMPARE(bar->InsertPanel()->Caption(), QStringLiteral("  Ins  "));
        // Measured with one blank on each side, shown with two.
        QCOMPARE(bar->NumPanel()->width(), tw(bar, QStringLiteral(" Num ")));
        QCOMPARE(bar->InsertPanel()->width(), tw(bar, QStringLiteral(" Ins ")));
        QCOMPARE(bar->CapsPanel()->width(), tw(bar, QStringLiteral(" Cap ")));
        m.caps = false;
        m.num = true;
        bar->Refresh();
        QCOMPARE(bar->CapsPanel()->Caption(), QString());
        QCOMPARE(bar->NumPanel()->Caption(), QStringLiteral("  Num  "));
        // With the keys off the panels keep their last text and get width 0.
        bar->setShowKeys(false);
        m.num = false;
        bar->Refresh();
        QCOMPARE(bar->NumPanel()->Caption(), QStringLiteral("  Num  "));
        QCOMPARE(bar->NumPanel()->width(), 0);
        QCOMPARE(bar->CapsPanel()->width(), 0);
    }

    // Widths are measured only while the layout is pending.
    void layoutPendingRule()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        bar->Refresh();
        QVERIFY(!bar->LayoutPending());
        const QString first = bar->DateTimePanel()->Caption();
        QCOMPARE(first, QStringLiteral("3/9/24 9:59:59 AM"));
        const int width = bar->DateTimePanel()->width();
        QCOMPARE(width, tw(bar, QStringLiteral("  ") + first + QStringLiteral("  ")));
        m.now = m.now.addSecs(1);  // 10:00:00, a longer text
        bar->Refresh();
        QCOMPARE(bar->DateTimePanel()->Caption(), QStringLiteral("3/9/24 10:00:00 AM"));
        QCOMPARE(bar->DateTimePanel()->width(), width);
        // A show flag marks the layout pending again; the change shows at the next tick.
        bar->setShowDate(true);
        QVERIFY(bar->LayoutPending());
        bar->Refresh();
        QCOMPARE(bar->DateTimePanel()->width(), tw(bar, QStringLiteral("  3/9/24 10:00:00 AM  ")));
        // So does a font change.
        QFont f = bar->font();
        f.setPointSize(12);
        bar->setFont(f);
        QVERIFY(bar->LayoutPending());
    }

    void dateTimeFlags()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        bar->setShowTime(false);
        bar->Refresh();
        QCOMPARE(bar->DateTimePanel()->Caption(), QStringLiteral("3/9/24"));
        bar->setShowDate(false);
        bar->setShowTime(true);
        bar->Refresh();
        QCOMPARE(bar->DateTimePanel()->Caption(), QStringLiteral("9:59:59 AM"));
        bar->setShowTime(false);
        bar->Refresh();
        QCOMPARE(bar->DateTimePanel()->Caption(), QString());
        QCOMPARE(bar->DateTimePanel()->width(), 0);
    }

    void everythingOffLeavesTheMessageAlone()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        bar->Refresh();
        settle();
        QVERIFY(bar->MessagePanel()->width() < bar->width() - 100);
        m.load = 90;
        bar->setShowDate(false);
        bar->setShowTime(false);
        bar->setShowKeys(false);
        bar->setShowResources(false);
        // Nothing changes before the next tick.
        QVERIFY(bar->MessagePanel()->width() < bar->width() - 100);
        bar->Refresh();
        settle();
        QCOMPARE(bar->MessagePanel()->width(), bar->width() - 2 * bar->frameExtent());
        // Memory is no longer read while the gauge is off.
        QCOMPARE(bar->Gauge()->Progress(), 70);
    }

    void timerDrivesTheRefresh()
    {
        QWidget form;
        Machine m;
        TStatus* bar = makeBar(form, m);
        m.caps = true;
        bar->Timer()->start();
        QTRY_COMPARE(bar->CapsPanel()->Caption(), QStringLiteral("  Cap  "));
        QVERIFY(!bar->LayoutPending());
    }
};

QTEST_MAIN(StatusTest)
#include "status_test.moc"
