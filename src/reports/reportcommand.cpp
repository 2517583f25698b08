#include "reportcommand.h"

#include "engine/dataset/table.h"
#include "platform/platform.h"
#include "reportengine/previewwindow.h"
#include "reportengine/reportrun.h"

#include "platform/msg.h"

namespace tv::reports {

namespace {

const QString kCaption = QStringLiteral("Tipvault");

struct PageReports {
    int page;
    const char* list;  // grid view
    const char* memo;  // record view
};

// Pages 1 to 7 and 9; the search page, page 8 and the Info page have no report.
constexpr PageReports kPageReports[] = {
    {1, "DTopicsForm", "DTopicsMemoForm"}, {2, "DKBForm1", "DKBMemoForm1"}, {3, "DNewsForm", "DNewsMemoForm"},
    {4, "CISForm1", "CISMemoForm1"},       {5, "DSPForm1", "DSPMemoForm1"}, {6, "SWAGForm", "SWAGForm"},
    {7, "BooksForm1", "BooksForm1"},       {9, "PrivatForm", "PrivatMemoForm"},
};

constexpr int kForumBase = 4;
constexpr int kOtherForumBase = 40;

} // namespace

int operationOf(const QObject* sender)
{
    if (!sender)
        return opNone;
    if (sender->objectName() == QLatin1String("mnuPrint"))
        return opPrint;
    if (sender->objectName() == QLatin1String("mnuPreview"))
        return opPreview;
    return sender->property("Tag").toInt();
}

ReportCommand::ReportCommand(QWidget* mainWindow, TableLookup tables)
    : QObject(mainWindow), mainWindow_(mainWindow), tables_(std::move(tables))
{
    setObjectName(QStringLiteral("ReportCommand"));
}

QString ReportCommand::holderNameFor(int page, bool recordView)
{
    for (const PageReports& p : kPageReports)
        if (p.page == page)
            return QString::fromLatin1(recordView ? p.memo : p.list);
    return {};
}

ReportHolder* ReportCommand::chooseReport(const ActivePage& active)
{
    const QString name = holderNameFor(active.page, active.recordView);
    if (name.isEmpty())
        return current_;
    ReportHolder* holder = findHolder(mainWindow_, name);
    if (!holder)
        return current_;
    current_ = holder;
    if (holder->base() == kForumBase) {
        const int base = active.forumItem == 0 ? kOtherForumBase : kForumBase;
        holder->bindTable(tables_ ? tables_(base) : nullptr);
    }
    return current_;
}

void ReportCommand::btnPreviewClick(const ActivePage& active, int operation)
{
    ReportHolder* holder = chooseReport(active);
    if (!holder) {
        msg::notify(msg::Icon::Information, kCaption, QStringLiteral("There is no report for this page."), mainWindow_);
        return;
    }
    run(holder, operation);
}

void ReportCommand::run(ReportHolder* holder, int operation)
{
    if (operation != opPreview && operation != opPrint)
        return;
    const Table* table = holder->boundTable();
    if (!table || !table->isOpen()) {
        msg::notify(msg::Icon::Critical, kCaption, QStringLiteral("Cannot perform this operation on a closed dataset"),
                    mainWindow_);
        return;
    }
    report::GenerateOptions options;
    options.dateFormat = platform::shortDateFormat();
    options.timeFormat = platform::longTimeFormat();
    try {
        if (operation == opPreview) {
            if (report::PreviewWindow* w = report::previewLayout(holder->layout(), mainWindow_, options))
                lastPreview_ = w;
        } else {
            report::printLayout(holder->layout(), mainWindow_, options);
        }
    } catch (const EngineError& e) {
        msg::notify(msg::Icon::Critical, kCaption, QString::fromStdString(e.what()), mainWindow_);
    }
}

void ReportCommand::mnuPrintSetupClick()
{
    report::printSetup(mainWindow_, QStringLiteral("PrintDialog1"));
}

} // namespace tv::reports
