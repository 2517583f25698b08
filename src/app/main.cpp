#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tv::app::registerFontSubstitutes();
    // The bases are looked for beside the program file, never in the working directory.
    tv::app::Program program(QCoreApplication::applicationDirPath());
    return program.exec();
}
