#pragma once
// Running the PDF tools (pdfinfo, pdftotext) in the report tests.

#include <QProcess>

// Standard output of a tool (pdfinfo, pdftotext), empty when it cannot run.
inline QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
