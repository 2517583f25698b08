#include "dialogs/maintips.h"
#include "support/modalhelper.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>

using namespace tv;

class TipsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void mainWindowTipsAreTheTenStoredLines()
    {
        QObject owner;
        TTips* t = createTips1(&owner);
        QCOMPARE(t->objectName(), QString("Tips1"));
        QCOMPARE(t->TipsCount(), uint16_t(10));
        QCOMPARE(t->Title(), QString("Tip of the Day"));
        QCOMPARE(t->Header(), QString("Tipvault"));
        QVERIFY(t->ShowAtStart());
        int tpv = 0, delphi = 0;
        for (const QString& line : t->Tips()) {
            tpv += line.startsWith("TPV Tip - ");
            delphi += line.startsWith("Delphi Tip - ");
        }
        QCOMPARE(tpv, 5);
        QCOMPARE(delphi, 5);
        QVERIFY(t->Tips().last().endsWith("Ln(X)) "));
    }

    void assigningAListCopiesIt()
    {
        TTips t;
        QStringList mine{"a", "b"};
        t.setTips(mine);
        mine << "c";
        QCOMPARE(t.TipsCount(), uint16_t(2));
        t.setTips(t.Tips());  // assigning its own list changes nothing
        QCOMPARE(t.TipsCount(), uint16_t(2));
    }

    void closeButtonReturnsTrueAndShowsATipOfTheList()
    {
        TTips t;
        t.setTitle("Tip of the Day");
        t.setHeader("Tipvault");
        t.setShowAtStart(true);
        t.setTips({"one", "two", "three"});
        QString shown, caption;
        bool nextEnabled = false;
        whenModal([&](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            QVERIFY(f);
            caption = f->windowTitle();
            shown = f->TipText->text();
            nextEnabled = f->Next->isEnabled();
            QCOMPARE(f->size(), QSize(443, 251));
            QCOMPARE(fixedSizeFault(f), QString());
            QCOMPARE(f->TipHeader->text(), QString("Tipvault"));
            f->Ok->click();
        });
        QVERIFY(t.Execute());
        QCOMPARE(caption, QString("Tip of the Day"));
        QVERIFY(QStringList({"one", "two", "three"}).contains(shown));
        QVERIFY(nextEnabled);
    }

    void nextDrawsFromTheWholeListAndMayRepeat()
    {
        TTips t;
        t.setTips({"a", "b", "c"});
        QSet<QString> seen;
        whenModal([&](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            for (int i = 0; i < 200; ++i) {
                f->Next->click();
                QCOMPARE(f->TipText->text(), f->tipLines().at(f->currentIndex()));
                seen.insert(f->TipText->text());
            }
            f->Ok->click();
        });
        t.Execute();
        QCOMPARE(seen.size(), 3);
    }

    void oneTipDisablesNextAndEmptyListShowsTheMessage()
    {
        TTips t;
        t.setTips({"only"});
        bool nextEnabled = true;
        whenModal([&](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            nextEnabled = f->Next->isEnabled();
            QCOMPARE(f->TipText->text(), QString("only"));
            f->Ok->click();
        });
        t.Execute();
        QVERIFY(!nextEnabled);

        TTips empty;
        QString shown;
        whenModal([&](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            shown = f->TipText->text();
            nextEnabled = f->Next->isEnabled();
            f->Ok->click();
        });
        empty.Execute();
        QCOMPARE(shown, QString::fromUtf8("There is no tip... I\xC2\xB4m not in the mood."));
        QVERIFY(!nextEnabled);
        QCOMPARE(empty.TipsCount(), uint16_t(0));  // the component's own list is untouched
    }

    void checkBoxIsReadBackAndCaptionCloseReturnsFalse()
    {
        TTips t;
        t.setShowAtStart(true);
        t.setTips({"x", "y"});
        whenModal([](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            f->ShowAtStart->setChecked(false);
            f->close();  // the caption bar's close box
        });
        QVERIFY(!t.Execute());
        QVERIFY(!t.ShowAtStart());
        bool boxChecked = true;
        whenModal([&](QWidget* w) {
            auto* f = qobject_cast<TTipForm*>(w);
            boxChecked = f->ShowAtStart->isChecked();
            f->Ok->click();
        });
        t.Execute();
        QVERIFY(!boxChecked);
    }

    void enterClosesEscDoesNothing()
    {
        TTips t;
        t.setTips({"x", "y"});
        bool stillOpenAfterEsc = false;
        whenModal([&](QWidget* w) {
            QTest::keyClick(w, Qt::Key_Escape);
            stillOpenAfterEsc = w->isVisible();
            QTest::keyClick(w, Qt::Key_Return);
        });
        QVERIFY(t.Execute());
        QVERIFY(stillOpenAfterEsc);
    }
};

QTEST_MAIN(TipsTest)
#include "tips_test.moc"
