#pragma once
// FieldLink: what every bound control shares. It binds to a data source and a field name,
// tells its control when to show the field again, starts edits when the user types, and
// writes the typed text into the table.

#include "dbaware/datasource.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

namespace tv {

class FieldLink : public QObject, public DataLink {
    Q_OBJECT
public:
    explicit FieldLink(QWidget* control);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    void setDataField(const QString& name);
    const QString& dataField() const { return fieldName_; }

    // The bound table when the data source is bound to an open table, else nullptr.
    Table* table() const;
    // Position of the field in the table, -1 when unbound or unknown.
    int field() const;
    // True when typing may change the field: open writable table, known field of a type
    // that can be typed (not auto-increment, not a picture).
    bool canModify() const;
    // The field's display text of the current record (empty when unbound). A value that
    // cannot be read is reported (engineguard.h) and shows the damaged marker.
    QString displayText() const;
    // The field's raw value of the current record (null when unbound or unreadable).
    Value value() const;
    // The last value read could not be read (typing into it is refused).
    bool damaged() const { return damaged_; }

    // Typing started: puts the table into editing (or inserting into an empty table). An
    // error is shown in the standard error box; returns false then.
    bool startEdit();
    // Writes typed text. On success clears the pending text and returns true; when the table
    // refuses the text (e.g. an incomplete date) keeps it pending and returns false.
    bool write(const QString& text);
    bool hasPending() const { return pending_; }
    bool heldBack(int& field, QString& text) const override;
    // Forgets typed text that was not accepted (the field is about to be set otherwise).
    void discardPending() { pending_ = false; }
    void flushPending() override;

    // Called whenever the control should show the field again (record moved, values
    // changed, edit cancelled, table rebound); not while the control itself writes.
    std::function<void()> onRefresh;
    // Called when canModify() may have changed (rebinding, opening, closing).
    std::function<void()> onModifiableChanged;

private:
    void refresh();
    void rewire();

    QWidget* control_;
    QPointer<DataSource> source_;
    QString fieldName_;
    QString pendingText_;
    bool pending_ = false;
    bool writing_ = false;
    mutable bool damaged_ = false;
    QList<QMetaObject::Connection> connections_;
};

} // namespace tv
