#pragma once
// DataSource: links any number of views to one engine Table. It turns the table's listeners
// into Qt signals, and it is where bound controls start edits and hand over text they hold
// but have not yet written (UpdateRecord before a post).

#include "engine/dataset/table.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace tv {

class DataSource;

// A control bound to a data source. Controls register themselves so that updateRecord() can
// ask them for pending text.
class DataLink {
public:
    virtual ~DataLink();
    // Writes text typed into the control that was not yet accepted by the table (for
    // example a date still being typed). Throws EngineError when the table refuses it.
    virtual void flushPending() {}
    // Text typed into the control that the record has not taken (see flushPending), with the
    // field it is for; false when there is none.
    virtual bool heldBack(int& /*field*/, QString& /*text*/) const { return false; }

protected:
    void linkTo(DataSource* source);

private:
    friend class DataSource;
    DataSource* source_ = nullptr;
};

class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr);
    explicit DataSource(Table* table, QObject* parent = nullptr);
    ~DataSource() override;

    Table* table() const { return table_; }
    // Rebinds to another table (nullptr: none). Views refresh through dataChanged(Reset).
    void setTable(Table* table);

    // True when a table is bound and open.
    bool active() const;
    // True when the bound table is open and accepts writes.
    bool writable() const;
    TableState state() const;

    // Puts the table into editing for typing into a bound control: an edit of the current
    // record, or an insertion when the table has no records. Does nothing when already
    // editing or inserting. Throws EngineError (read-only table, ...).
    void edit();
    // Asks every bound control to write its pending text into the table.
    void updateRecord();
    // updateRecord(), then the table's post().
    void post();
    // Asked before the table leaves a changed record (a move, a new filter or order, each of
    // which posts it): false stops that, having told the user why (the file held by another
    // program, say), so that nobody waits on a post that cannot be made now.
    void setLeaveGuard(std::function<bool()> guard) { leaveGuard_ = std::move(guard); }
    // Before the table leaves the record being edited: the text the bound controls still hold
    // goes into the record (EngineError, as for a post, when it cannot: the text stays where
    // it was typed), then the guard is asked about a changed record. True: the table may go.
    bool readyToLeave();
    // The texts the bound controls hold that the record has not taken, by field.
    std::vector<std::pair<int, QString>> heldBack() const;
    // When a value could not be read because another program changed the bound table's files
    // in place: the table is read again once the current event is over (the views then show
    // it anew), and true is returned; the caller shows nothing for now and reports nothing.
    // False for any other cause.
    bool readAgainLater();

signals:
    void currentChanged();
    void dataChanged(tv::DataChange change);
    void stateChanged(tv::TableState state);
    void afterPost();
    // The bound table was replaced (setTable).
    void tableChanged();

private:
    friend class DataLink;
    void attach();
    void detach();

    Table* table_ = nullptr;
    std::vector<ListenerId> listeners_;
    bool rereadQueued_ = false;
    std::vector<DataLink*> links_;
    std::function<bool()> leaveGuard_;
};

} // namespace tv
