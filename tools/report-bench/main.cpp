// report-bench: lays out the topics list report over 10,000 records and the topics memo
// report over 1,000 records with memo texts of a few kilobytes, then writes the list report
// as PDF. Prints name<TAB>value<TAB>unit lines. Run with QT_QPA_PLATFORM=offscreen.
//   report-bench [--records N] [--memo-records N] [--pdf FILE]
// Over the bases of a folder (mkbases --records 100000 DIR) it measures what a user waits
// for: the first page of the topics previews, the whole topics memo report (time per record
// and peak memory, and the memory left once its preview is closed), and printing the topics
// list report to a PDF file:
//   report-bench --bases DIR [--pdf FILE] [--maps]
// --maps also writes to stderr, after each step, how much of each base file is resident in
// the process ("resident<TAB>step<TAB>file<TAB>MB", and the anonymous memory): what opening
// and each report touched.
// With --render, writes every layout over the bases of a folder as PDF files instead:
//   report-bench --render BASES_DIR OUT_DIR
// and --preview opens the preview window of one layout (to look at it):
//   report-bench --preview BASES_DIR LAYOUT_NAME

#include "data/catalogue.h"
#include "data/dm1.h"
#include "engine/dataset/memorytable.h"
#include "engine/dataset/table.h"
#include "reportengine/generator.h"
#include "reportengine/render.h"
#include "platform/platform.h"
#include "reports/holders.h"
#include "reportengine/previewwindow.h"
#include "reportengine/reportrun.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QRandomGenerator>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace {

const char* const kWords[] = {"form", "component", "database", "query", "string", "memo", "grid", "index", "printer", "report",
                              "thread", "window", "message", "handle", "pointer", "record", "field", "cursor", "bitmap", "canvas"};

QString phrase(QRandomGenerator& rng, int words)
{
    QStringList out;
    for (int i = 0; i < words; ++i)
        out << QString::fromLatin1(kWords[rng.bounded(int(std::size(kWords)))]);
    return out.join(' ');
}

std::unique_ptr<tv::Table> topics(int records, int memoWords)
{
    QRandomGenerator rng(42);
    const tv::data::BaseDecl* base = tv::data::baseByNumber(1);
    auto file = std::make_unique<tv::MemoryTable>(tv::data::tableSpecFor(*base));
    const auto& fields = file->fields();
    for (int n = 1; n <= records; ++n) {
        tv::Record r(fields.size());
        for (size_t f = 0; f < fields.size(); ++f) {
            const tv::FieldDef& fd = fields[f];
            switch (tv::kindOf(fd.type)) {
            case tv::FieldKind::Integer:
                r[f] = int64_t(n);
                break;
            case tv::FieldKind::Date:
                r[f] = tv::dateFromYmd(1998, 1 + n % 12, 1 + n % 28);
                break;
            case tv::FieldKind::Memo:
                r[f] = phrase(rng, memoWords).toStdString();
                break;
            case tv::FieldKind::Text:
                r[f] = phrase(rng, 8).left(fd.size).toStdString();
                break;
            default:
                break;
            }
        }
        file->insert(r);
    }
    auto t = std::make_unique<tv::Table>();
    t->open(std::move(file));
    return t;
}

// A line of /proc/self/status in megabytes (0 when unknown): VmHWM the peak resident set
// size so far, VmRSS the present one.
double statusMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(strlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
double peakRssMb() { return statusMb("VmHWM:"); }

// With --maps: the megabytes of each file of `dir` mapped and resident in this process.
bool g_maps = false;
void residentFiles(const QString& dir, const char* step)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!g_maps || !smaps.open(QIODevice::ReadOnly))
        return;
    const QByteArray prefix = QFile::encodeName(QDir(dir).canonicalPath()) + '/';
    std::map<QByteArray, double> mb;
    QByteArray file;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0 && line.left(blank).contains('-')) {   // a mapping's first line ends with its file
            const qsizetype at = line.indexOf(prefix);
            file = at < 0 ? QByteArray() : line.mid(at + prefix.size());
        } else if (!file.isEmpty() && line.startsWith("Rss:")) {
            mb[file] += line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    for (const auto& [name, size] : mb)
        if (size > 0)
            std::fprintf(stderr, "resident\t%s\t%s\t%.1f\n", step, name.constData(), size);
    std::fprintf(stderr, "resident\t%s\t(anonymous)\t%.1f\n", step, statusMb("RssAnon:"));
}

// Processor time of this process in seconds: unlike the clock on the wall, it does not grow
// when other programs share the processors.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void report(const char* name, double value, const char* unit)
{
    std::printf("%s\t%.3f\t%s\n", name, value, unit);
    std::fflush(stdout);
}

tv::report::GenerateOptions programOptions()
{
    tv::report::GenerateOptions options;
    options.dateFormat = tv::platform::shortDateFormat();
    options.timeFormat = tv::platform::longTimeFormat();
    return options;
}

// Every layout over the bases in `basesDir`, one PDF per layout in `outDir`.
int render(const QString& basesDir, const QString& outDir)
{
    tv::TDM1 dm(nullptr, basesDir);
    if (dm.terminateRequested())
        return 1;
    QWidget owner;
    int failures = 0;
    for (tv::reports::ReportHolder* h : tv::reports::createHolders(&owner, [&](int base) { return dm.table(base); })) {
        const tv::report::Document doc = tv::report::generate(h->layout(), {}, programOptions());
        const QString file = QDir(outDir).filePath(h->layoutName() + QStringLiteral(".pdf"));
        QString error;
        if (!tv::report::writePdf(doc, file, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            ++failures;
            continue;
        }
        std::printf("%s\t%d pages\n", qPrintable(file), doc.pageCount());
    }
    return failures ? 1 : 0;
}

// Opens the preview of one layout over the bases in `basesDir` and runs until it is closed.
int preview(QApplication& app, const QString& basesDir, const QString& layout)
{
    tv::TDM1 dm(nullptr, basesDir);
    if (dm.terminateRequested())
        return 1;
    QWidget owner;
    for (tv::reports::ReportHolder* h : tv::reports::createHolders(&owner, [&](int base) { return dm.table(base); })) {
        if (h->layoutName() != layout)
            continue;
        if (!tv::report::previewLayout(h->layout(), nullptr, programOptions()))
            return 1;
        return app.exec();
    }
    std::fprintf(stderr, "no layout %s\n", qPrintable(layout));
    return 1;
}

// The figures over real bases of the given folder (the first page of the topics list, the
// topics memo and the private notes memo previews).
int overBases(const QString& basesDir, const QString& pdf)
{
    tv::TDM1 dm(nullptr, basesDir);
    if (dm.terminateRequested())
        return 1;
    QWidget owner;
    tv::reports::createHolders(&owner, [&](int base) { return dm.table(base); });
    tv::reports::ReportHolder* list = tv::reports::findHolder(&owner, QStringLiteral("DTopicsForm"));
    tv::reports::ReportHolder* memo = tv::reports::findHolder(&owner, QStringLiteral("DTopicsMemoForm"));
    const int records = dm.table(1) ? dm.table(1)->recordCount() : 0;
    report("report.records", records, "records");
    report("report.bases_open.rss", statusMb("VmRSS:"), "MB");
    report("report.bases_open.rss_anon", statusMb("RssAnon:"), "MB");
    residentFiles(basesDir, "open");

    // The first page of each preview: from the command until the window shows it.
    double firstPage = 0;
    // The private base can change while a preview is open, so its rows are copied first.
    tv::reports::ReportHolder* notes = tv::reports::findHolder(&owner, QStringLiteral("PrivatMemoForm"));
    for (tv::reports::ReportHolder* h : {list, memo, notes}) {
        QElapsedTimer clock;
        clock.start();
        tv::report::PreviewWindow* w = tv::report::previewLayout(h->layout(), nullptr, programOptions());
        QApplication::processEvents();
        firstPage = std::max(firstPage, clock.nsecsElapsed() / 1e9);
        delete w;
    }
    report("report.first_page.seconds", firstPage, "s");
    report("report.first_page.peak_rss", peakRssMb(), "MB");
    residentFiles(basesDir, "first_pages");

    // The whole memo report, laid out as its preview does, then the preview closed.
    {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = cpuSeconds();
        auto* w = tv::report::previewLayout(memo->layout(), nullptr, programOptions());
        while (w->layingOut())
            QApplication::processEvents();
        const double sec = clock.nsecsElapsed() / 1e9;
        report("report.memo_100k.pages", w->pageCount(), "pages");
        report("report.memo_100k.layout", sec, "s");
        report("report.memo.per_record", sec / std::max(1, records) * 1e6, "us");
        report("report.memo.per_record_cpu", (cpuSeconds() - cpu0) / std::max(1, records) * 1e6, "us");
        report("report.memo_100k.peak_rss", peakRssMb(), "MB");
        report("report.memo_100k.rss_open", statusMb("VmRSS:"), "MB");
        report("report.memo_100k.rss_anon_open", statusMb("RssAnon:"), "MB");
        residentFiles(basesDir, "memo_100k");
        w->close();
        delete w;
        QApplication::processEvents();
        report("report.memo_100k.rss_after_close", statusMb("VmRSS:"), "MB");
        report("report.memo_100k.rss_anon_after_close", statusMb("RssAnon:"), "MB");
    }

    // Printing the list report to a PDF file, page by page as on a printer.
    const tv::report::Document doc = tv::report::generate(list->layout(), {}, programOptions());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    QString error;
    if (!tv::report::printDocument(doc, printer, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double sec = clock.nsecsElapsed() / 1e9;
    report("report.print.pages", doc.pageCount(), "pages");
    report("report.print.pages_per_second", doc.pageCount() / std::max(1e-9, sec), "pages/s");
    report("report.print.pages_per_cpu_second", doc.pageCount() / std::max(1e-9, cpuSeconds() - cpu0), "pages/s");
    report("report.print.peak_rss", peakRssMb(), "MB");
    residentFiles(basesDir, "print");
    return 0;
}

const char kUsage[] =
    "usage: report-bench [--records N] [--memo-records N] [--pdf FILE]\n"
    "       report-bench --bases DIR [--pdf FILE] [--maps]\n"
    "       report-bench --render BASES_DIR OUT_DIR\n"
    "       report-bench --preview BASES_DIR LAYOUT_NAME\n"
    "\n"
    "Times report layout and printing; prints name<TAB>value<TAB>unit lines.\n"
    "  --records N        records of the topics list report (default 10000)\n"
    "  --memo-records N   records of the topics memo report (default 1000)\n"
    "  --pdf FILE         where the list report is printed to (default in the temporary folder)\n"
    "  --bases DIR        measure over the bases of DIR, as mkbases writes them\n"
    "  --maps             with --bases: after each step, the megabytes of each base file\n"
    "                     resident in this process, on standard error\n"
    "  --render           write every layout over the bases of BASES_DIR as PDF files to OUT_DIR\n"
    "  --preview          open the preview window of one layout\n"
    "  -h, --help         show this text\n"
    "Run with QT_QPA_PLATFORM=offscreen where there is no display.\n";

// Checks the command line before anything is set up (so that --help needs no display): false,
// with the usage printed, when it asks for help or holds something this program does not take.
bool argumentsMakeSense(int argc, char** argv, int& exitCode)
{
    const std::string first = argc > 1 ? argv[1] : "";
    if ((first == "--render" || first == "--preview") && argc == 4)
        return true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return false;
        }
        const bool takesValue = a == "--records" || a == "--memo-records" || a == "--pdf" || a == "--bases";
        if (takesValue && i + 1 < argc) {
            ++i;
            continue;
        }
        if (a != "--maps") {
            std::fprintf(stderr, "report-bench: %s: %s\n", takesValue ? "a value is missing after" : "unknown argument", a.c_str());
            std::fputs(kUsage, stderr);
            exitCode = 2;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (int exitCode = 0; !argumentsMakeSense(argc, argv, exitCode))
        return exitCode;
    QApplication app(argc, argv);
    // As the program does: without any language setting, its native US English.
    if (QLocale().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (app.arguments().size() == 4 && app.arguments()[1] == QLatin1String("--render"))
        return render(app.arguments()[2], app.arguments()[3]);
    if (app.arguments().size() == 4 && app.arguments()[1] == QLatin1String("--preview"))
        return preview(app, app.arguments()[2], app.arguments()[3]);
    int records = 10000, memoRecords = 1000;
    QString pdf = QDir::temp().filePath(QStringLiteral("report-bench.pdf"));
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--records"))
            records = args[++i].toInt();
        else if (args[i] == QLatin1String("--memo-records"))
            memoRecords = args[++i].toInt();
        else if (args[i] == QLatin1String("--pdf"))
            pdf = args[++i];
    }

    g_maps = args.contains(QLatin1String("--maps"));
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("--bases"))
            return overBases(args[i + 1], pdf);

    std::unique_ptr<tv::Table> list = topics(records, 5);
    std::unique_ptr<tv::Table> memo = topics(memoRecords, 400);
    QWidget owner;
    std::unique_ptr<tv::Table> none;
    auto holders = tv::reports::createHolders(&owner, [&](int) { return list.get(); });
    tv::reports::ReportHolder* listHolder = tv::reports::findHolder(&owner, QStringLiteral("DTopicsForm"));
    tv::reports::ReportHolder* memoHolder = tv::reports::findHolder(&owner, QStringLiteral("DTopicsMemoForm"));
    memoHolder->bindTable(memo.get());

    QElapsedTimer clock;
    clock.start();
    const tv::report::Document listDoc = tv::report::generate(listHolder->layout());
    const double listSec = clock.nsecsElapsed() / 1e9;
    report("report.list.records", records, "records");
    report("report.list.generate", listSec, "s");
    report("report.list.pages", double(listDoc.pageCount()), "pages");
    report("report.list.per_record", listSec / std::max(1, records) * 1e6, "us");
    report("report.list.peak_rss", peakRssMb(), "MB");

    clock.restart();
    const tv::report::Document memoDoc = tv::report::generate(memoHolder->layout());
    const double memoSec = clock.nsecsElapsed() / 1e9;
    report("report.memo.records", memoRecords, "records");
    report("report.memo.generate", memoSec, "s");
    report("report.memo.pages", double(memoDoc.pageCount()), "pages");
    report("report.memo.per_record", memoSec / std::max(1, memoRecords) * 1e6, "us");

    clock.restart();
    QString error;
    if (!tv::report::writePdf(listDoc, pdf, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    report("report.list.pdf", clock.nsecsElapsed() / 1e9, "s");
    return 0;
}
