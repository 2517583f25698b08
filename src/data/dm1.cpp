#include "dm1.h"

#include "data/datafolders.h"
#include "dbaware/currencytext.h"
#include "engine/mappedfile.h"
#include "engine/paradox/pxlock.h"

#include "platform/msg.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <new>

namespace tv {

int BasePresent[data::kMaxBaseNumber + 1] = {};
int DatabaseOpened = 0;
TDM1* DM1 = nullptr;

// The engine's own text of a failure; for anything else (memory running out on a huge
// file) a plain sentence naming the file, never a library's exception text.
static QString failureText(const std::exception& e, const QString& path)
{
    if (dynamic_cast<const EngineError*>(&e))
        return QString::fromUtf8(e.what());
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return path + QStringLiteral(": there is not enough memory to open or save it; close other programs and try again");
    return path + QStringLiteral(": an unexpected failure stopped the work on this file");
}

// True when another program holds the table's lock (while it saves), so that opening it now
// would have to wait.
static bool lockedByAnother(const std::string& path)
{
    px::TableLock probe(path);
    return !probe.tryLockShared() && errno == EWOULDBLOCK;
}

// What the user is told of a base that another program holds locked.
static QString busyText(const QString& path)
{
    return path + QStringLiteral(": the base is in use by another program (another copy of Tipvault, perhaps) right now. "
                                 "Tipvault keeps trying and opens it as soon as that program lets it go; until then its "
                                 "page stays empty.");
}

// ---------------------------------------------------------------------------------------
// TDatabase

TDatabase::TDatabase(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("DBC")); }

QString TDatabase::path() const
{
    for (const QString& line : Params)
        if (line.startsWith(QLatin1String("Path="), Qt::CaseInsensitive))
            return line.mid(5);
    return {};
}

void TDatabase::Open()
{
    if (connected_)
        return;
    const QFileInfo dir(QDir::fromNativeSeparators(path()));
    if (!dir.isDir() || !dir.isReadable())
        throw EngineError(path().toStdString() + ": the data folder cannot be read");
    connected_ = true;
}

void TDatabase::Close() { connected_ = false; }

// ---------------------------------------------------------------------------------------
// TDM1

TDM1::TDM1(QObject* parent, const QString& dataDirectory)
    : QObject(parent), DBC(new TDatabase(this)), dataDirectory_(dataDirectory), privateDirectory_(dataDirectory)
{
    if (dataDirectory.isEmpty()) {
        const data::DataFolders folders = data::locateDataFolders(programDirectory());
        dataDirectory_ = folders.bases;
        privateDirectory_ = folders.privateBase;
        folderProblem_ = folders.problem;
    }
    setObjectName(QStringLiteral("DM1"));
    DM1 = this;

    // Dates and money are shown the way the system writes them.
    const std::string dateFormat = platform::shortDateFormat().toStdString();
    setSystemCurrencyFormat(currencyFormatOf(QLocale()));
    for (const data::BaseDecl& decl : data::bases()) {
        Slot slot{&decl, std::make_unique<Table>(), nullptr};
        Table& t = *slot.table;
        for (const data::FieldDecl& f : decl.fields) {
            if (!f.label.empty())
                t.setDisplayLabel(f.name, std::string(f.label));
            if (f.displayWidth > 0)
                t.setDisplayWidth(f.name, f.displayWidth);
            t.setVisible(f.name, f.visible);
        }
        for (const data::PictureDecl& p : decl.pictures)
            t.setPicture(p.field, std::string(p.mask), p.autoFill);
        t.setShortDateFormat(dateFormat);
        slot.source = new DataSource(slot.table.get(), this);
        slot.source->setObjectName(QString::fromLatin1(decl.dataSourceName.data(), qsizetype(decl.dataSourceName.size())));
        slots_.push_back(std::move(slot));
    }

    wwTable1 = table(1);
    wwTable2 = table(2);
    wwTable3 = table(3);
    wwTable4 = table(4);
    wwTable40 = table(40);
    wwTable5 = table(5);
    wwTable6 = table(6);
    wwTable7 = table(7);
    wwTable9 = table(9);
    wwDataSource1 = dataSource(1);
    wwDataSource2 = dataSource(2);
    wwDataSource3 = dataSource(3);
    wwDataSource4 = dataSource(4);
    wwDataSource40 = dataSource(40);
    wwDataSource5 = dataSource(5);
    wwDataSource6 = dataSource(6);
    wwDataSource7 = dataSource(7);
    wwDataSource9 = dataSource(9);

    // Leaving a changed note (a move in a grid, a new filter) posts it, and the save after the
    // post waits while another copy saves the base: said at once instead, the note kept.
    wwDataSource9->setLeaveGuard([this] { return !busyStopsCommand(9); });
    wwTable9->addAfterPostListener([this] { wwTable9AfterPost(); });
    wwTable9->addAfterDeleteListener([this] { wwTable9AfterDelete(); });

    DM1Create();
}

TDM1::~TDM1()
{
    // The way out asks the user about changes that cannot be saved; this is the last try for
    // an end that did not go that way.
    if (wwTable9->isOpen() && wwTable9->hasUnsavedChanges())
        savePrivateBase();
    // Views let go of the tables before the tables go.
    for (Slot& s : slots_) {
        delete s.source;
        s.source = nullptr;
    }
    for (Slot& s : slots_)
        s.table->close();
    if (DM1 == this)
        DM1 = nullptr;
}

QString TDM1::programDirectory() { return QCoreApplication::applicationDirPath(); }

void TDM1::DM1Create()
{
    const QString dir = dataDirectory_;
    if (DBC->Params.isEmpty())
        DBC->Params << QString();
    DBC->Params[0] = QStringLiteral("Path=") + QDir::toNativeSeparators(dir);

    DatabaseOpened = 0;
    std::fill(std::begin(BasePresent), std::end(BasePresent), 0);
    terminate_ = false;

    // The private base could not be put in the user's folder: it counts as missing.
    if (!folderProblem_.isEmpty())
        msg::error(folderProblem_);

    bool anyOpened = false;
    for (Slot& slot : slots_) {
        const QString path = pathOf(slot);
        if (!QFileInfo(path).isFile())
            continue;
        try {
            if (!DatabaseOpened) {
                DBC->Open();
                DatabaseOpened = 1;
            }
            if (lockedByAnother(QFile::encodeName(path).toStdString())) {
                // Present, not missing: opened once the other program lets it go.
                BasePresent[slot.decl->number] = 1;
                anyOpened = true;
                busy_.push_back(&slot);
                msg::information(busyText(path));
                continue;
            }
            openSlot(slot);
            BasePresent[slot.decl->number] = 1;
            anyOpened = true;
        } catch (const std::exception& e) {
            // This base counts as missing; the others are still worth opening. (Engine
            // failures are EngineErrors; anything else, like running out of memory on a
            // huge file, is treated the same way rather than ending the program.)
            slot.table->close();
            msg::error(failureText(e, path));
            if (!DatabaseOpened)
                break;  // the folder itself cannot be used
        }
    }
    if (!busy_.empty()) {
        busyTimer_ = new QTimer(this);
        busyTimer_->setInterval(500);
        connect(busyTimer_, &QTimer::timeout, this, &TDM1::openBusyBases);
        busyTimer_->start();
    }

    // Opening read parts of the files (a dBASE table reads its whole file to learn which
    // records are deleted): those pages go from the program's resident memory, as after a
    // search; the file cache keeps them for the pages' first screens.
    MappedFile::releaseResidentPages();

    if (!anyOpened) {
        msg::information(QStringLiteral("Sorry, no databases available. Please see \"Readme.txt\" file to see how "
                                        "to get the databases. We have to terminate the application"));
        terminate_ = true;
        // A quit request to the message loop: it takes effect once the loop runs.
        if (QCoreApplication::instance())
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); },
                                      Qt::QueuedConnection);
    }
}

QString TDM1::pathOf(const Slot& slot) const
{
    const QString file = QString::fromLatin1(slot.decl->fileName.data(), qsizetype(slot.decl->fileName.size()));
    return QDir(slot.decl->number == 9 ? privateDirectory_ : dataDirectory_).filePath(file);
}

void TDM1::openSlot(Slot& slot)
{
    slot.table->open(QFile::encodeName(pathOf(slot)).toStdString(), slot.decl->number == 9 ? OpenMode::ReadWrite : OpenMode::ReadOnly);
    data::checkDeclaredFields(*slot.decl, *slot.table->file());
    // What opening found and left alone or set aside (an unfinished save beside a read-only
    // base, a damaged save log): said once, now.
    for (const std::string& notice : slot.table->file()->takeNotices())
        msg::warning(QString::fromUtf8(notice));
}

void TDM1::openBusyBases()
{
    for (auto it = busy_.begin(); it != busy_.end();) {
        Slot& slot = **it;
        if (lockedByAnother(QFile::encodeName(pathOf(slot)).toStdString())) {
            ++it;
            continue;
        }
        it = busy_.erase(it);
        try {
            openSlot(slot);
        } catch (const std::exception& e) {
            slot.table->close();
            msg::error(failureText(e, pathOf(slot)));
        }
    }
    if (busy_.empty() && busyTimer_)
        busyTimer_->stop();
}

bool TDM1::busyStopsCommand(int base)
{
    const auto it = std::find_if(busy_.begin(), busy_.end(), [base](const Slot* s) { return s->decl->number == base; });
    const Slot* slot = it != busy_.end() ? *it : slotOf(base);
    if (!slot || (it == busy_.end() && !slot->table->isOpen()))
        return false;
    const QString path = pathOf(*slot);
    if (lockedByAnother(QFile::encodeName(path).toStdString())) {
        // Said at once rather than after waiting for the lock with the window frozen.
        msg::information(it != busy_.end() ? busyText(path)
                                           : path + QStringLiteral(": another program (another copy of Tipvault, perhaps) is "
                                                                   "saving the base right now; try again in a moment."));
        return true;
    }
    if (it == busy_.end())
        return false;
    openBusyBases();   // let go meanwhile: opened now, not at the next tick
    return !slot->table->isOpen();   // what stopped it has been said
}

void TDM1::wwTable9AfterPost()
{
    const QString failure = savePrivateBase();
    if (!failure.isEmpty() && reportSaveFailures)
        msg::error(failure + QStringLiteral("\n\nThis change is not on disk yet. Tipvault keeps it and saves it "
                                            "again with the next post or delete, and at exit."));
    // A new note given another ID because another program took its own meanwhile.
    for (const std::string& notice : wwTable9->takeNotices())
        if (reportSaveFailures)
            msg::information(QString::fromUtf8(notice));
    // What a save that succeeded could not carry over as it was (an older note's damaged memo).
    if (TableFile* file = wwTable9->file())
        for (const std::string& notice : file->takeNotices())
            if (reportSaveFailures)
                msg::warning(QString::fromUtf8(notice));
}

void TDM1::wwTable9AfterDelete() { wwTable9AfterPost(); }

QString TDM1::savePrivateBase()
{
    // A save rewrites the whole private base: an hourglass while it runs (seconds for a base
    // of a million notes).
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (gui)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QString failure;
    try {
        wwTable9->saveChanges();
    } catch (const std::exception& e) {
        failure = failureText(e, QString::fromStdString(wwTable9->file() ? wwTable9->file()->path() : std::string()));
    }
    if (gui)
        QGuiApplication::restoreOverrideCursor();
    return failure;
}

const TDM1::Slot* TDM1::slotOf(int base) const
{
    for (const Slot& s : slots_)
        if (s.decl->number == base)
            return &s;
    return nullptr;
}

Table* TDM1::table(int base) const
{
    const Slot* s = slotOf(base);
    return s ? s->table.get() : nullptr;
}

DataSource* TDM1::dataSource(int base) const
{
    const Slot* s = slotOf(base);
    return s ? s->source : nullptr;
}

Table* TDM1::tableByName(const QString& name) const
{
    for (const Slot& s : slots_)
        if (name == QLatin1String(s.decl->tableName.data(), qsizetype(s.decl->tableName.size())))
            return s.table.get();
    return nullptr;
}

DataSource* TDM1::dataSourceByName(const QString& name) const
{
    for (const Slot& s : slots_)
        if (name == QLatin1String(s.decl->dataSourceName.data(), qsizetype(s.decl->dataSourceName.size())))
            return s.source;
    return nullptr;
}

const data::BaseDecl* TDM1::baseOf(const Table* table) const
{
    for (const Slot& s : slots_)
        if (s.table.get() == table)
            return s.decl;
    return nullptr;
}

void TDM1::closeAll()
{
    for (int n : {1, 2, 3, 4, 5, 6, 7, 9, 40})
        if (BasePresent[n])
            if (Table* t = table(n))
                t->close();
    if (DatabaseOpened) {
        DBC->Close();
        DBC->KeepConnection = false;
    }
}

} // namespace tv
