#pragma once
// Helpers shared by the report tests: running the PDF tools and answering message boxes.

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

// Standard output of a tool (pdfinfo, pdftotext), empty when it cannot run.
inline QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// While it lives, answers every modal message box with OK and keeps the text of the last one.
class BoxAnswerer {
public:
    BoxAnswerer()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
        timer_.start();
    }
    QString text;

private:
    QTimer timer_;
};
