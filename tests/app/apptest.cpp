#include "apptest.h"

#include "dbaware/dbgrid.h"

#include "app/datamodule.h"
#include "app/program.h"
#include "controls/syscolors.h"
#include "writeset.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTabWidget>
#include <QTest>

namespace apptest {

namespace {

// The sample set, written once per test program.
const QString& sampleFolder()
{
    static QTemporaryDir dir;
    static bool written = false;
    if (!written) {
        mkbases::writeBaseSet(dir.path().toStdString(), mkbases::sampleJobs(), {});
        written = true;
    }
    static const QString path = dir.path();
    return path;
}

} // namespace

void initApplication()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    tv::registerFontSubstitutes();
    QApplication::setApplicationName(QStringLiteral("Tipvault"));
}

QStringList allBaseFiles()
{
    return {"DTOPICS.DB", "QA.DB", "DELPNEWS.DBF", "Filesd32.db", "Filesdel.db",
            "DSP.db",     "SWAG.db", "DELBOOKS.DB", "private.db"};
}

BaseFolder::BaseFolder(const QStringList& files)
{
    const QString from = sampleFolder();
    for (const QString& f : files.isEmpty() ? allBaseFiles() : files)
        for (const std::string& c : mkbases::companionFiles(from.toStdString(), f.toStdString())) {
            const QString name = QFileInfo(QString::fromStdString(c)).fileName();
            QFile::copy(QDir(from).filePath(name), QDir(path()).filePath(name));
        }
}

void BaseFolder::damage(const QString& file) const
{
    QFile f(QDir(path()).filePath(file));
    if (f.open(QIODevice::ReadWrite)) {
        f.seek(0);
        f.write(QByteArray(64, '\xff'));
    }
}

Session::Session(const QString& folder)
{
    tv::app::createDataModule(folder);
    m_form = std::make_unique<tv::app::TMainForm>();
    m_form->resize(1000, 700);
    m_form->show();
    m_form->activateWindow();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("main window not exposed");
}

Session::~Session()
{
    m_form.reset();
    tv::app::destroyDataModule();
}

QWidget* control(const QWidget* window, const char* name)
{
    return window->findChild<QWidget*>(QString::fromLatin1(name));
}

int gridColumn(const tv::DBGrid* grid, const QString& field)
{
    for (int c = 0; c < grid->gridModel()->columnCount(); ++c)
        if (grid->gridModel()->fieldNameOf(c).compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QAction* action(const QWidget* window, const char* name)
{
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QWidget* Session::w(const char* name) const
{
    return control(m_form.get(), name);
}

QAction* Session::action(const char* name) const
{
    return apptest::action(m_form.get(), name);
}

int Session::clipboardToolsOn() const
{
    int on = 0;
    for (const char* n : {"BtnCut", "BtnCopy", "btnPaste"})
        on += w(n)->isEnabled();
    for (const char* n : {"mnuCut", "MnuCopy", "MnuPaste"})
        on += action(n)->isEnabled();
    return on;
}

void Session::click(const char* name) const
{
    QWidget* b = w(name);
    QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
}

void Session::showPage(int tab) const
{
    m_form->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(tab);
}

} // namespace apptest
