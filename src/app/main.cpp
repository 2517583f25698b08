#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tv::app::registerFontSubstitutes();
    // An empty folder: the data module looks beside the program file.
    tv::app::Program program{QString()};
    return program.exec();
}
