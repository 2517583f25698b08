#include "reportrun.h"

#include "previewwindow.h"
#include "render.h"

#include "platform/msg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QScreen>

#include <memory>

namespace tv::report {

namespace {

// The captions of the report windows and the name of the PDF file written when there is no
// printer carry the program's name, as the program has given it to the application.
QString programName()
{
    return QCoreApplication::applicationName();
}

} // namespace

QPrinter& currentPrinter()
{
    static QPrinter* printer = [] {
        auto* p = new QPrinter(QPrinter::HighResolution);
        p->setPageSize(QPageSize(QPageSize::Letter));
        p->setPageOrientation(QPageLayout::Portrait);
        return p;
    }();
    return *printer;
}

namespace {

// How many rows are laid out between two looks at the clock, and how often the progress
// window is brought up to date: rows take microseconds, and an update of the window takes
// longer than many of them.
constexpr int kRowsPerUpdate = 64;
constexpr int kUpdateMs = 40;

std::unique_ptr<QProgressDialog> progressWindow(QWidget* parent, const QString& label, int maximum)
{
    auto dlg = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, maximum, parent);
    dlg->setObjectName(QStringLiteral("ReportProgress"));
    dlg->setWindowTitle(QStringLiteral("Report"));
    dlg->setWindowModality(Qt::ApplicationModal);
    dlg->setWindowFlag(Qt::WindowStaysOnTopHint);
    dlg->setAutoClose(false);
    dlg->setAutoReset(false);
    return dlg;
}

void showError(QWidget* parent, const QString& text)
{
    msg::notify(msg::Icon::Critical, programName(), text, parent);
}

} // namespace

bool finishWithProgress(Generation& generation, QWidget* parent, int showAfterMs)
{
    std::unique_ptr<QProgressDialog> dlg;
    QElapsedTimer clock, updated;
    clock.start();
    while (generation.step(kRowsPerUpdate)) {
        const int done = generation.rowsDone(), total = generation.rowCount();
        if (!dlg && clock.elapsed() >= showAfterMs) {
            dlg = progressWindow(parent, QString(), total);
            dlg->setMinimumDuration(0);
        }
        if (dlg && (!updated.isValid() || updated.elapsed() >= kUpdateMs)) {
            updated.start();
            dlg->setLabelText(QStringLiteral("Preparing record %1 of %2").arg(done).arg(total));
            dlg->setValue(done);  // a modal progress window also lets the event loop run
            QApplication::processEvents();
            if (dlg->wasCanceled())
                return false;
        }
    }
    return true;
}

std::optional<Document> generateWithProgress(const Layout& layout, QWidget* parent, const GenerateOptions& options, int showAfterMs)
{
    Generation g(layout, options);
    if (!finishWithProgress(g, parent, showAfterMs))
        return std::nullopt;
    return g.document();
}

PreviewWindow* previewLayout(const Layout& layout, QWidget* owner, const GenerateOptions& options)
{
    auto g = std::make_unique<Generation>(layout, options);
    while (g->document().pageCount() < 1 && g->step(kRowsPerUpdate)) {
    }
    auto* win = new PreviewWindow(std::move(g), owner);
    // Also sized to the screen by hand, for desktops without a window manager to maximise it.
    if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        win->setGeometry(screen->availableGeometry());
    win->showMaximized();
    return win;
}

static QString noPrinterFileName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir().mkpath(dir))
        dir = QDir::homePath();
    QString name = QDir(dir).filePath(programName() + QStringLiteral(" report.pdf"));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QDir(dir).filePath(programName() + QStringLiteral(" report (%1).pdf").arg(n));
    return name;
}

bool printWithProgress(const Document& doc, QWidget* parent)
{
    // With no printer installed at all, the pages go to a PDF file rather than nowhere.
    QPrinter& printer = currentPrinter();
    QString toFile;
    if (printer.outputFileName().isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        toFile = noPrinterFileName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(toFile);
    }
    const QString pdfFile = printer.outputFileName();
    const int pages = doc.pageCount();
    auto dlg = progressWindow(parent, QString(), pages);
    dlg->setMinimumDuration(0);
    int sent = 0;
    auto progress = [&](int page, int total) {
        dlg->setLabelText(QStringLiteral("Printing page %1 of %2").arg(page).arg(total));
        dlg->setValue(page - 1);
        QApplication::processEvents();
        if (dlg->wasCanceled())
            return false;
        sent = page;
        return true;
    };
    QString error;
    const bool ok = printDocument(doc, printer, &error, progress);
    const bool cancelled = ok && dlg->wasCanceled();
    dlg.reset();
    if (!toFile.isEmpty())
        printer.setOutputFileName(QString());
    if (!ok) {
        showError(parent, error);
        return false;
    }
    if (cancelled) {
        // A PDF file that stops part way is no report: it goes.
        QString text = QStringLiteral("Printing was cancelled after %1 of %2 pages.").arg(sent).arg(pages);
        if (!pdfFile.isEmpty() && QFile::remove(pdfFile))
            text += QStringLiteral(" The unfinished file \"%1\" was removed.").arg(QDir::toNativeSeparators(pdfFile));
        else if (pdfFile.isEmpty())
            text += QStringLiteral(" The pages already sent may still come out of the printer.");
        msg::notify(msg::Icon::Information, programName(), text, parent);
        return false;
    }
    if (!toFile.isEmpty())
        msg::notify(msg::Icon::Information, programName(),
                    QStringLiteral("No printer is installed. The report was written to \"%1\".").arg(QDir::toNativeSeparators(toFile)), parent);
    return true;
}

bool printLayout(const Layout& layout, QWidget* owner, const GenerateOptions& options)
{
    std::optional<Document> doc = generateWithProgress(layout, owner, options);
    if (!doc)
        return false;
    return printWithProgress(*doc, owner);
}

bool printSetup(QWidget* owner, const QString& dialogName)
{
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // An empty printer list would only print nothing: say so, and offer a PDF file.
        if (!msg::offer(msg::Icon::Information, programName(), QStringLiteral("No printer is installed."),
                        QStringLiteral("Reports can be printed to a PDF file instead."), QStringLiteral("Print to PDF File..."),
                        dialogName, owner))
            return false;
        QFileDialog files(owner, QStringLiteral("Print to PDF File"));
        files.setObjectName(QStringLiteral("PdfFileDialog"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
        files.setDefaultSuffix(QStringLiteral("pdf"));
        files.selectFile(noPrinterFileName());
        if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
            return false;
        QPrinter& printer = currentPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(files.selectedFiles().constFirst());
        return true;
    }
    QPrintDialog dlg(&currentPrinter(), owner);
    dlg.setObjectName(dialogName);
    dlg.setOption(QAbstractPrintDialog::PrintToFile, false);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace tv::report
