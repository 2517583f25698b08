#include "dialogs/calendar.h"
#include "support/modalhelper.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tv;

class CalendarTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void positionBelowOrAboveAndInsideTheScreen()
    {
        const QSize win(183, 157), screen(800, 600);
        // Room below and to the right: one pixel right of the box's left, just below it.
        QCOMPARE(calendarPosition({100, 200}, {220, 222}, win, screen), QPoint(101, 223));
        // Near the bottom: just above the box.
        QCOMPARE(calendarPosition({100, 500}, {220, 522}, win, screen), QPoint(101, 500 - 157));
        // Exactly fitting at the bottom still goes below.
        QCOMPARE(calendarPosition({100, 400}, {220, 442}, win, screen).y(), 443);
        QCOMPARE(calendarPosition({100, 400}, {220, 443}, win, screen).y(), 400 - 157);
        // Near the right edge: ends one pixel inside the screen.
        const QPoint p = calendarPosition({700, 100}, {820, 122}, win, screen);
        QCOMPARE(p.x(), 800 - 183 - 1);
        QCOMPARE(p.x() + win.width(), 799);
    }

    void windowLayout()
    {
        TMyCalendar c;
        QCOMPARE(c.size(), QSize(183, 157));
        QCOMPARE(c.windowTitle(), QString("Select a Date"));
        QCOMPARE(c.MonthCombo->count(), 12);
        QCOMPARE(c.MonthCombo->itemText(0), QString("January"));
        QCOMPARE(c.YearCombo->count(), 12);
        QCOMPARE(c.YearCombo->itemText(0), QString("1994"));
        QCOMPARE(c.YearCombo->itemText(11), QString("2005"));
        QCOMPARE(c.Calendar1->firstDayOfWeek(), Qt::Sunday);
        QCOMPARE(c.Calendar1->toolTip(), QString("Click on Date to select"));
        QVERIFY(c.OkButton->isDefault());

        // A month that needs six week rows shows all of them whole inside the window.
        c.SelectedDate = QDate(1998, 8, 31);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QVERIFY(c.Calendar1->geometry().bottom() < c.height());
        auto* days = c.Calendar1->findChild<QTableView*>();
        QVERIFY(days);
        const int last = days->model()->rowCount() - 1;
        QVERIFY(days->rowViewportPosition(last) + days->rowHeight(last) <= days->viewport()->height());
        QVERIFY(days->viewport()->mapTo(&c, QPoint(0, days->viewport()->height())).y() <= c.height());
        // The month list drops down nine items.
        c.MonthCombo->showPopup();
        QAbstractItemView* list = c.MonthCombo->view();
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(list->viewport()->height() / list->sizeHintForRow(0), 9);
        c.MonthCombo->hidePopup();
    }

    void emptyBoxOpensOnTodayAndCancelChangesNothing()
    {
        QLineEdit box;
        box.show();
        QDate opened;
        whenModal([&](QWidget* w) {
            auto* c = qobject_cast<TMyCalendar*>(w);
            opened = c->Calendar1->selectedDate();
            QTest::keyClick(c, Qt::Key_Escape);
        });
        // Midnight may pass while the window is open.
        const QDate before = QDate::currentDate();
        QVERIFY(!ShowCalendarFor(&box));
        QVERIFY2(opened == before || opened == QDate::currentDate(), qPrintable(opened.toString(Qt::ISODate)));
        QCOMPARE(box.text(), QString());
    }

    void validDateOpensThereAndOkWritesTheShortDate()
    {
        QLineEdit box("3/14/1997");
        box.show();
        int month = -1;
        QString year;
        whenModal([&](QWidget* w) {
            auto* c = qobject_cast<TMyCalendar*>(w);
            month = c->MonthCombo->currentIndex();
            year = c->YearCombo->currentText();
            QCOMPARE(c->Calendar1->selectedDate(), QDate(1997, 3, 14));
            c->Calendar1->setSelectedDate(QDate(1997, 3, 20));
            c->OkButton->click();
        });
        QString written;
        QVERIFY(ShowCalendarFor(&box, [&](const QString& t) { written = t; }));
        QCOMPARE(month, 2);
        QCOMPARE(year, QString("1997"));
        QCOMPARE(written, QString("3/20/1997"));
        QCOMPARE(box.text(), QString("3/14/1997"));  // a bound box is written through its field
    }

    void doubleClickConfirmsAndUnboundBoxGetsTheText()
    {
        QLineEdit box("1/2/99");
        box.show();
        whenModal([&](QWidget* w) {
            auto* c = qobject_cast<TMyCalendar*>(w);
            QCOMPARE(c->SelectedDate, QDate(1999, 1, 2));
            emit c->Calendar1->activated(c->Calendar1->selectedDate());  // what a double click sends
        });
        QVERIFY(ShowCalendarFor(&box));
        QCOMPARE(box.text(), QString("1/2/1999"));
    }

    void monthAndYearListsMoveTheGrid()
    {
        TMyCalendar c;
        c.SelectedDate = QDate(1996, 1, 31);
        c.show();
        c.MonthCombo->setCurrentIndex(1);  // February has no 31st: its last day instead
        c.MonthComboChange();
        QCOMPARE(c.SelectedDate, QDate(1996, 2, 29));
        c.YearCombo->setCurrentIndex(c.YearCombo->findText("1997"));
        c.YearComboChange();
        QCOMPARE(c.SelectedDate, QDate(1997, 2, 28));
    }

    void yearOutsideTheListShowsNoSelection()
    {
        TMyCalendar c;
        c.SelectedDate = QDate(2010, 6, 5);
        c.show();
        QCOMPARE(c.YearCombo->currentIndex(), -1);
        QCOMPARE(c.Calendar1->selectedDate(), QDate(2010, 6, 5));
        c.YearCombo->setCurrentIndex(0);
        c.YearComboChange();
        QCOMPARE(c.SelectedDate, QDate(1994, 6, 5));
    }
};

QTEST_MAIN(CalendarTest)
#include "calendar_test.moc"
