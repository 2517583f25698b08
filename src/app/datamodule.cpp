#include "app/datamodule.h"

#include "data/dm1.h"
#include "dbaware/datasource.h"
#include "dbaware/engineguard.h"

#include <memory>

namespace tv::app {

namespace {
std::unique_ptr<TDM1> g_module;
}

bool createDataModule(const QString& dataDir)
{
    g_module = std::make_unique<TDM1>(nullptr, dataDir);
    return !g_module->terminateRequested();
}

void destroyDataModule()
{
    g_module.reset();
}

// The note takes what it can at the session's end; what it cannot (a date half typed) is not
// dropped but kept, as typed, at the end of its description, where the user finds it.
static void keepHeldBackText(Table* t9, const std::vector<std::pair<int, QString>>& held)
{
    const int memo = t9->fieldByName("Description");
    if (held.empty() || memo < 0)
        return;
    QString kept;
    for (const auto& [field, text] : held)
        kept += QStringLiteral("\n%1: %2").arg(QString::fromStdString(t9->field(field).name), text);
    std::string description = t9->displayText(memo);
    description += (description.empty() ? "" : "\n\n");
    description += "Typed but not taken when Tipvault ended:" + kept.toStdString();
    t9->setText(memo, description);
}

QString saveNotesWithoutAsking()
{
    Table* t9 = baseTable(kPrivateBase);
    if (!DM1 || !t9 || !t9->isOpen())
        return {};
    const bool report = DM1->reportSaveFailures;
    DM1->reportSaveFailures = false;
    QString failure;
    const auto editing = [t9] { return t9->state() == TableState::Edit || t9->state() == TableState::Insert; };
    for (int attempt = 0; attempt < 2 && editing(); ++attempt) {
        try {
            if (attempt == 0)
                baseDataSource(kPrivateBase)->post();   // with the text still held by the boxes
            else {
                keepHeldBackText(t9, baseDataSource(kPrivateBase)->heldBack());
                t9->post();                             // what the record took
            }
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
    if (!editing())
        failure.clear();
    if (t9->hasUnsavedChanges()) {
        const QString saved = DM1->savePrivateBase();
        if (t9->hasUnsavedChanges())
            failure += (failure.isEmpty() ? QString() : QStringLiteral("\n")) + saved;
    }
    DM1->reportSaveFailures = report;
    return failure;
}

bool basePresent(int n)
{
    return n >= 0 && n <= data::kMaxBaseNumber && BasePresent[n] == 1;
}

bool baseBusy(int n)
{
    return DM1 && DM1->busyStopsCommand(n);
}

bool heldElsewhere(const Table* t)
{
    return t && t == baseTable(kPrivateBase) && !t->isOpen() && baseBusy(kPrivateBase);
}

bool readyToLeaveNote(const Table* t, QWidget* parent)
{
    if (!t || t != baseTable(kPrivateBase))
        return true;
    if (!t->isOpen())
        return !heldElsewhere(t);
    bool ready = false;
    guardedCommand(parent, [&] { ready = baseDataSource(kPrivateBase)->readyToLeave(); });
    return ready;
}

bool databaseOpened()
{
    return DatabaseOpened == 1;
}

Table* baseTable(int n)
{
    return DM1 ? DM1->table(n) : nullptr;
}

DataSource* baseDataSource(int n)
{
    return DM1 ? DM1->dataSource(n) : nullptr;
}

} // namespace tv::app
