// Run by check-install.sh from the bin/ folder of an installation, with XDG_DATA_HOME pointing
// at an empty scratch folder: the start-up reads the bases from share/tipvault and keeps the
// private base, and the notes posted to it, in the user's folder.

#include "app/program.h"
#include "data/dm1.h"
#include "support/modalanswerer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

using namespace tv;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool holdsTopic(Table& t, const std::string& topic)
{
    for (t.first(); !t.atEnd(); t.next())
        if (t.displayText("Topic") == topic)
            return true;
    return false;
}

} // namespace

class InstalledTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void notesGoToTheUsersFolderAndStayThere()
    {
        const QString shared = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/tipvault");
        const QString mine = qEnvironmentVariable("XDG_DATA_HOME") + "/tipvault";
        QVERIFY(!QFileInfo::exists(mine));
        const QByteArray shipped = contentOf(shared + "/private.db");
        QVERIFY(!shipped.isEmpty());

        const std::string note = "Posted by the installation check";
        int records = 0;
        {
            tvtest::ModalAnswerer answer;
            app::Program program{QString()};
            QVERIFY(answer.seen().empty());
            QCOMPARE(DM1->dataDirectory(), shared);
            QCOMPARE(DM1->privateDirectory(), mine);
            for (int n : {1, 2, 3, 4, 40, 5, 6, 7, 9})
                QVERIFY2(BasePresent[n], qPrintable(QString::number(n)));
            Table* t = DM1->wwTable9;
            records = t->recordCount();
            t->append();
            t->setText("Topic", note);
            t->setText("Date", "3/4/2001");
            t->post();
            QVERIFY(answer.seen().empty());
        }
        QCOMPARE(contentOf(shared + "/private.db"), shipped);

        // The next start finds the note where it was left.
        tvtest::ModalAnswerer answer;
        app::Program program{QString()};
        QVERIFY(answer.seen().empty());
        QCOMPARE(DM1->wwTable9->recordCount(), records + 1);
        QVERIFY(holdsTopic(*DM1->wwTable9, note));
        Table onDisk;
        onDisk.open(QFile::encodeName(mine + "/private.db").toStdString(), OpenMode::ReadOnly);
        QVERIFY(holdsTopic(onDisk, note));
    }
};

QTEST_MAIN(InstalledTest)
#include "installed_test.moc"
