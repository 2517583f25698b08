#pragma once
// The data module: the database object TPVdata, one table and one data source per base, and
// the program-wide presence flags. Created first at start-up; its creation handler finds the
// bases (see data/datafolders.h for where) and opens them.

#include "data/catalogue.h"
#include "dbaware/datasource.h"
#include "engine/dataset/table.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class QTimer;

namespace tv {

// Program-wide presence flags, each 0 or 1, written only by TDM1::DM1Create.
// BasePresent[n] for n = 1..9 and 40 (8 exists but is never set).
extern int BasePresent[data::kMaxBaseNumber + 1];
extern int DatabaseOpened;

// The database object: a named place for the tables, pointed at the data directory by its
// "Path=" parameter line.
class TDatabase : public QObject {
    Q_OBJECT
public:
    explicit TDatabase(QObject* parent = nullptr);

    QString DatabaseName = QStringLiteral("TPVdata");
    QString DriverName = QStringLiteral("STANDARD");
    QStringList Params{QStringLiteral("Path=")};
    bool LoginPrompt = false;
    bool KeepConnection = false;

    // The folder named by the "Path=" line.
    QString path() const;
    bool Connected() const { return connected_; }
    // Connects: the path must name a readable folder. Throws EngineError otherwise.
    void Open();
    void Close();

private:
    bool connected_ = false;
};

class TDM1 : public QObject {
    Q_OBJECT
public:
    // Builds the module and runs DM1Create. `dataDirectory` holds every base, the private one
    // included (tests only); the program passes nothing and the module looks where
    // locateDataFolders says.
    explicit TDM1(QObject* parent = nullptr, const QString& dataDirectory = QString());
    ~TDM1() override;

    // The creation handler: points DBC at the data directory, opens every base found there in
    // the fixed order and sets the presence flags. A base that cannot be opened is reported in
    // the standard error box and counts as missing; when no base could be opened at all, says
    // so and asks the program to end.
    void DM1Create();
    // After-post handler of the private base: writes its changes to disk at once. A save that
    // fails is shown in the standard error box (unless reportSaveFailures is off); the change
    // stays in hand and the next save writes it.
    void wwTable9AfterPost();
    // After-delete handler of the private base: the same save as after a post.
    void wwTable9AfterDelete();
    // Writes every change of the private base not yet on disk. Returns the engine's text when
    // that fails (the changes stay in hand), else an empty string.
    QString savePrivateBase();
    // Off while the way out of the program asks about a failed save itself.
    bool reportSaveFailures = true;

    // The program's own folder (where the program file is), without a trailing separator.
    static QString programDirectory();
    // The folder DM1Create looks in for the read-only bases, and the one of the private base.
    QString dataDirectory() const { return dataDirectory_; }
    QString privateDirectory() const { return privateDirectory_; }
    // True when DM1Create found no base and asked the program to end.
    bool terminateRequested() const { return terminate_; }

    TDatabase* DBC;

    Table* wwTable1;
    Table* wwTable2;
    Table* wwTable3;
    Table* wwTable4;
    Table* wwTable40;
    Table* wwTable5;
    Table* wwTable6;
    Table* wwTable7;
    Table* wwTable9;

    DataSource* wwDataSource1;
    DataSource* wwDataSource2;
    DataSource* wwDataSource3;
    DataSource* wwDataSource4;
    DataSource* wwDataSource40;
    DataSource* wwDataSource5;
    DataSource* wwDataSource6;
    DataSource* wwDataSource7;
    DataSource* wwDataSource9;

    // By base number (nullptr for 8 and unknown numbers).
    Table* table(int base) const;
    DataSource* dataSource(int base) const;
    // By object name ("wwTable7", "wwDataSource7"); nullptr when unknown.
    Table* tableByName(const QString& name) const;
    DataSource* dataSourceByName(const QString& name) const;
    // The catalogue entry behind a table (nullptr when not one of ours).
    const data::BaseDecl* baseOf(const Table* table) const;

    // Before a command on base `base`: when another program has held it locked since start-up,
    // tries to open it now; an open base is looked at for another program saving it. Returns
    // true, having told the user (busy, or why it cannot be opened), when the command cannot
    // go on now.
    bool busyStopsCommand(int base);

    // Closes every opened base (1 to 7, 9, then 40), then the database: the end of the program.
    void closeAll();

private:
    struct Slot {
        const data::BaseDecl* decl;
        std::unique_ptr<Table> table;
        DataSource* source;
    };
    const Slot* slotOf(int base) const;
    QString pathOf(const Slot& slot) const;
    // Opens the base of `slot` and says what opening left alone or set aside; throws what the
    // engine (or the memory) raised.
    void openSlot(Slot& slot);
    // Opens the bases that another program held locked at start-up, once it lets them go.
    void openBusyBases();

    QString dataDirectory_;
    QString privateDirectory_;
    QString folderProblem_;  // reported by DM1Create
    std::vector<Slot> slots_;
    std::vector<Slot*> busy_;          // present, but locked by another program when looked at
    QTimer* busyTimer_ = nullptr;
    bool terminate_ = false;
};

// The one data module of the program (set by the constructor, cleared by the destructor).
extern TDM1* DM1;

} // namespace tv
