#include "controls/banner.h"
#include "dialogs/aboutbox.h"
#include "support/modalhelper.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace tv;

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void memoryFiguresUseTheLocaleSeparator()
    {
        QCOMPARE(TAboutBoxForm::formatPhysMem(640ull * 1024), QString("640 KB"));
        QCOMPARE(TAboutBoxForm::formatPhysMem(65536ull * 1024), QString("65,536 KB"));
        QCOMPARE(TAboutBoxForm::formatPhysMem(999ull * 1024 + 600), QString("1,000 KB"));  // rounded
        QCOMPARE(TAboutBoxForm::formatPhysMem(0), QString("0 KB"));
        QCOMPARE(TAboutBoxForm::formatLoad(37), QString("37 %"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(TAboutBoxForm::formatPhysMem(65536ull * 1024), QString("65.536 KB"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void layoutAndLiveFigures()
    {
        TAboutBoxForm box;
        QCOMPARE(box.windowTitle(), QString("About"));
        QCOMPARE(box.size(), QSize(321, 257));
        QCOMPARE(box.ProductName->text(), QString("Tipvault"));
        QCOMPARE(box.Version->text(), QString("Version: 0.9 beta"));
        QCOMPARE(box.Banner1->geometry(), QRect(94, 83, 200, 60));
        QVERIFY(box.PhysMem->text().endsWith(" KB"));
        QVERIFY(box.PhysMem->text() != "0 KB");
        QVERIFY(box.FreeRes->text().endsWith(" %"));
        // A fixed size, told to the window manager; minimised all the same (some window
        // managers offer it on every window), it comes straight back.
        QCOMPARE(fixedSizeFault(&box), QString());
        box.show();
        box.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!box.isMinimized());
    }

    void creditsAreThirtyLinesInThreeBlocks()
    {
        const QStringList lines = TAboutBoxForm::creditLines();
        QCOMPARE(lines.size(), 30);
        QCOMPARE(lines.count(QString(39, '=')), 2);
        QVERIFY(lines.contains("for FreeWare:"));
        QVERIFY(lines.last().isEmpty());
        for (const QString& l : lines)
            QVERIFY2(!l.contains("Delphi", Qt::CaseSensitive) || l.contains("[Delphi News]"), qPrintable(l));
    }

    void bannerScrollsUpwardFromTheStart()
    {
        TAboutBoxForm box;
        QVERIFY(box.Banner1->Enabled());
        QCOMPARE(box.Banner1->ScrollDirection(), TBanner::sdBottomToTop);
        QCOMPARE(box.Banner1->ScrollInterval(), 200u);
        QCOMPARE(box.Banner1->ScrollPixels(), 4u);
        box.show();
        const int before = box.Banner1->Position();
        QTRY_VERIFY_WITH_TIMEOUT(box.Banner1->Position() > before, 2000);
    }

    void okClosesTheBox()
    {
        bool closed = false;
        whenModal([&](QWidget* w) {
            auto* b = qobject_cast<TAboutBoxForm*>(w);
            QVERIFY(b);
            b->BitBtn1->click();
            closed = true;
        });
        showAboutBox(nullptr);
        QVERIFY(closed);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "aboutbox_test.moc"
