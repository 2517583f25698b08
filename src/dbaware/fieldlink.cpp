#include "fieldlink.h"

#include "dbaware/engineguard.h"
#include "platform/msg.h"

#include <QWidget>

namespace tv {

FieldLink::FieldLink(QWidget* control) : QObject(control), control_(control) {}

void FieldLink::setDataSource(DataSource* source)
{
    if (source_ == source)
        return;
    source_ = source;
    linkTo(source);
    rewire();
}

void FieldLink::setDataField(const QString& name)
{
    fieldName_ = name;
    pending_ = false;
    refresh();
    if (onModifiableChanged)
        onModifiableChanged();
}

void FieldLink::rewire()
{
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    pending_ = false;
    if (source_) {
        connections_ << connect(source_, &DataSource::currentChanged, this, [this] {
            pending_ = false;
            refresh();
        });
        connections_ << connect(source_, &DataSource::dataChanged, this, [this](DataChange c) {
            if (c == DataChange::Reset && onModifiableChanged)
                onModifiableChanged();
            if (c == DataChange::Values && pending_)
                return;  // keep the text still being typed
            refresh();
        });
        connections_ << connect(source_, &DataSource::stateChanged, this, [this](TableState s) {
            if (s == TableState::Browse || s == TableState::Inactive)
                pending_ = false;
            refresh();
        });
        connections_ << connect(source_, &DataSource::tableChanged, this, [this] {
            if (onModifiableChanged)
                onModifiableChanged();
        });
        connections_ << connect(source_, &QObject::destroyed, this, [this] {
            source_ = nullptr;
            linkTo(nullptr);
            rewire();
        });
    }
    refresh();
    if (onModifiableChanged)
        onModifiableChanged();
}

Table* FieldLink::table() const
{
    return source_ && source_->active() ? source_->table() : nullptr;
}

int FieldLink::field() const
{
    const Table* t = table();
    return t && !fieldName_.isEmpty() ? t->fieldIndex(fieldName_.toStdString()) : -1;
}

bool FieldLink::canModify() const
{
    const int f = field();
    if (f < 0 || !source_->writable())
        return false;
    const FieldType type = table()->field(f).type;
    return type != FieldType::AutoInc && kindOf(type) != FieldKind::Blob;
}

QString FieldLink::displayText() const
{
    damaged_ = false;
    const int f = field();
    if (f < 0)
        return {};
    const Table* t = table();
    if (t->recNo() < 0 && t->state() != TableState::Insert)
        return {};
    try {
        return QString::fromStdString(t->displayText(f));
    } catch (const EngineError& e) {
        if (source_ && source_->readAgainLater())
            return {};
        damaged_ = true;
        reportEngineError(e);
        return damagedMarker();
    }
}

Value FieldLink::value() const
{
    damaged_ = false;
    const int f = field();
    if (f < 0)
        return {};
    try {
        return table()->value(f);
    } catch (const EngineError& e) {
        if (source_ && source_->readAgainLater())
            return {};
        damaged_ = true;
        reportEngineError(e);
        return {};
    }
}

bool FieldLink::startEdit()
{
    // The marker of a value that could not be read is no text to edit.
    if (!canModify() || damaged_)
        return false;
    try {
        writing_ = true;
        source_->edit();
        writing_ = false;
        return true;
    } catch (const EngineError& e) {
        writing_ = false;
        msg::error(QString::fromUtf8(e.what()), control_);
        refresh();
        return false;
    }
}

bool FieldLink::write(const QString& text)
{
    const int f = field();
    if (f < 0)
        return false;
    Table* t = table();
    writing_ = true;
    try {
        t->setText(f, text.toStdString());
        writing_ = false;
        pending_ = false;
        return true;
    } catch (const EngineError&) {
        writing_ = false;
        pending_ = true;
        pendingText_ = text;
        return false;
    }
}

void FieldLink::flushPending()
{
    if (!pending_)
        return;
    const int f = field();
    if (f < 0) {
        pending_ = false;
        return;
    }
    writing_ = true;
    try {
        table()->setText(f, pendingText_.toStdString());
    } catch (...) {
        writing_ = false;
        throw;
    }
    writing_ = false;
    pending_ = false;
}

bool FieldLink::heldBack(int& f, QString& text) const
{
    if (!pending_ || field() < 0)
        return false;
    f = field();
    text = pendingText_;
    return true;
}

void FieldLink::refresh()
{
    if (writing_ || !onRefresh)
        return;
    onRefresh();
}

} // namespace tv
