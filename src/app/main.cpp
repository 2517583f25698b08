#include "app/mainform.h"
#include "app/program.h"
#include "app/tablewindow.h"
#include "controls/syscolors.h"
#include "dbaware/engineguard.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTimer>

#include <csignal>

int main(int argc, char** argv)
{
    // A write past the file size limit fails like a full disk (and the change stays in hand)
    // instead of ending the program with whatever was not yet saved.
    std::signal(SIGXFSZ, SIG_IGN);
    tv::GuardedApplication app(argc, argv);
    // Without any language setting (LANG unset, the "C" locale) dates would come out in a form
    // the private base's date picture cannot take; use the program's native US English then.
    if (QLocale().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    tv::registerFontSubstitutes();
    // The desktop entry and icon the desktop shows for the window (Wayland takes them from the
    // entry's name); the icon from the theme, else from the installation beside the program.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tipvault.Tipvault"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tipvault.Tipvault"),
        QIcon(QApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor/scalable/apps/org.tipvault.Tipvault.svg"))));
    // An empty folder: the data module finds the bases itself (see data/datafolders.h).
    tv::app::Program program{QString()};
    // Tables named on the command line open in windows of their own once the main window shows.
    const QStringList tables = QApplication::arguments().mid(1);
    if (!tables.isEmpty())
        QTimer::singleShot(0, [&program, tables] { tv::app::openTablesGiven(tables, program.mainForm()); });
    return program.exec();
}
