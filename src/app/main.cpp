#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tipvault"));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Tipvault"));
    w.resize(800, 600);
    w.showMaximized();
    return app.exec();
}
