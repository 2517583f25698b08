#include "dbaware/filterdialog.h"

#include "platform/msg.h"
#include "engine/dataset/fieldtext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tv {

namespace filterdlg {

bool sameLabel(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '~' ? ' ' : a[i];
        const char y = b[i] == '~' ? ' ' : b[i];
        if (x != y)
            return false;
    }
    return true;
}

int fieldOfCondition(const Table& table, const FieldCondition& c)
{
    if (c.displayLabel.empty())
        return table.fieldIndex(c.fieldName);
    for (int f = 0; f < table.fieldCount(); ++f)
        if (sameLabel(table.displayLabel(f), c.displayLabel))
            return f;
    return -1;
}

QString matchWord(FilterMatchType type)
{
    switch (type) {
    case fdMatchStart: return QStringLiteral("Partial Match at Beginning");
    case fdMatchAny: return QStringLiteral("Partial Match Anywhere");
    case fdMatchExact: return QStringLiteral("Exact Match");
    case fdMatchEnd: return QStringLiteral("Partial Match at End");
    case fdMatchRange: return QStringLiteral("Range");
    }
    return {};
}

QString summaryValue(const FieldCondition& c)
{
    if (c.matchType != fdMatchRange)
        return QString::fromStdString(c.value);
    QStringList parts;
    if (!c.minimum.empty())
        parts << QStringLiteral(">= ") + QString::fromStdString(c.minimum);
    if (!c.maximum.empty())
        parts << QStringLiteral("<= ") + QString::fromStdString(c.maximum);
    return parts.join(QStringLiteral(", "));
}

QString checkBound(const Table& table, int field, const QString& text)
{
    if (text.isEmpty())
        return {};
    const FieldDef& f = table.field(field);
    const std::string s = text.trimmed().toStdString();
    bool ok = true;
    switch (kindOf(f.type)) {
    case FieldKind::Integer:
    case FieldKind::Float: {
        QString n = text.trimmed();
        n.remove(QLatin1Char(',')).remove(QLatin1Char('$'));
        n.toDouble(&ok);
        break;
    }
    case FieldKind::Date: ok = parseDate(s, table.shortDateFormat()).has_value(); break;
    case FieldKind::Time: ok = parseTime(s).has_value(); break;
    case FieldKind::Memo:
    case FieldKind::Blob:
        return QStringLiteral("Field '%1' cannot be searched by range.").arg(QString::fromStdString(table.displayLabel(field)));
    default: break;
    }
    if (ok)
        return {};
    return QStringLiteral("'%1' is not a valid value for field '%2'.")
        .arg(text, QString::fromStdString(table.displayLabel(field)));
}

} // namespace filterdlg

// ---- The component ---------------------------------------------------------------------

FilterDialog::FilterDialog(QObject* parent) : QObject(parent) {}

FilterDialog::~FilterDialog() = default;

void FilterDialog::setDataSource(DataSource* source)
{
    source_ = source;
}

Table* FilterDialog::table() const
{
    return source_ ? source_->table() : nullptr;
}

bool FilterDialog::execute(QWidget* parent)
{
    Table* t = table();
    if (!t || !t->isOpen()) {
        msg::error(QStringLiteral("Dataset must be active to perform local filtering (FilterMethod=fdByFilter)."), parent);
        return false;
    }
    FilterDialogForm dialog(*this, *t, parent);
    form_ = &dialog;
    const FilterConditions before = t->filterConditions();
    dialog.exec();
    form_ = nullptr;
    return t->filterConditions() != before;
}

void FilterDialog::clearFilter()
{
    if (Table* t = table())
        t->clearFilter();
}

void FilterDialog::applyFilter()
{
    if (Table* t = table())
        t->applyFilter();
}

// ---- The dialog ------------------------------------------------------------------------

namespace {

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* lineEdit(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

// A line edit with a small clear button to its right.
QWidget* clearable(QLineEdit* edit, const QString& text, const char* name, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(edit, 1);
    QPushButton* clear = button(text, name, row);
    QObject::connect(clear, &QPushButton::clicked, edit, [edit] {
        edit->clear();
        edit->setFocus();
    });
    h->addWidget(clear);
    return row;
}

} // namespace

FilterDialogForm::FilterDialogForm(FilterDialog& owner, Table& table, QWidget* parent)
    : QDialog(parent), owner_(owner), table_(table)
{
    setObjectName(QStringLiteral("FilterDialogForm"));
    setWindowTitle(QStringLiteral("Filter"));
    for (const FieldCondition& c : table.filterConditions()) {
        Entry e{c, filterdlg::fieldOfCondition(table, c)};
        if (e.field >= 0) {
            e.cond.fieldName = table.field(e.field).name;
            if (e.cond.displayLabel.empty())
                e.cond.displayLabel = table.displayLabel(e.field);
        }
        work_.push_back(e);
    }
    initial_ = collect();
    build();
}

void FilterDialogForm::build()
{
    auto* top = new QGridLayout(this);
    // Left: the field order, the All/Searched tabs and the field list.
    top->addLayout(buildFieldChooser(), 0, 0, 2, 1);
    // Right: by value / by range.
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("pgcMatch"));
    pages_->addTab(buildValuePage(), QStringLiteral("By &Value"));
    pages_->addTab(buildRangePage(), QStringLiteral("By &Range"));
    top->addWidget(pages_, 0, 1);
    // Bottom right: the commands.
    top->addLayout(buildCommands(), 1, 1, Qt::AlignBottom);
    top->setColumnStretch(1, 1);
    connect(rbAlphabetic_, &QRadioButton::toggled, this, [this] { fillList(); });
    connect(fieldSet_, &QTabBar::currentChanged, this, [this] { fillList(); });
    connect(fields_, &QListWidget::currentRowChanged, this, [this] { onFieldChanged(); });

    // With conditions in place, open on the searched fields and show the first of them.
    loading_ = true;
    bool any = false;
    for (const Entry& e : work_)
        any = any || e.field >= 0;
    fieldSet_->setCurrentIndex(any ? 1 : 0);
    loading_ = false;
    fillList();
    updateButtons();
    resize(520, 340);
}

QLayout* FilterDialogForm::buildFieldChooser()
{
    auto* order = new QGroupBox(QStringLiteral("Field Order"), this);
    order->setObjectName(QStringLiteral("grpFieldOrder"));
    auto* oh = new QHBoxLayout(order);
    rbAlphabetic_ = new QRadioButton(QStringLiteral("Alpha&betic"), order);
    rbAlphabetic_->setObjectName(QStringLiteral("rbAlphabetic"));
    rbLogical_ = new QRadioButton(QStringLiteral("&Logical"), order);
    rbLogical_->setObjectName(QStringLiteral("rbLogical"));
    oh->addWidget(rbAlphabetic_);
    oh->addWidget(rbLogical_);
    (owner_.sortBy == fdSortByFieldName ? rbAlphabetic_ : rbLogical_)->setChecked(true);

    auto* left = new QVBoxLayout;
    left->addWidget(order);
    fieldSet_ = new QTabBar(this);
    fieldSet_->setObjectName(QStringLiteral("tabFieldSet"));
    fieldSet_->addTab(QStringLiteral("&All"));
    fieldSet_->addTab(QStringLiteral("&Searched"));
    fieldSet_->setExpanding(false);
    left->addWidget(fieldSet_);
    fields_ = new QListWidget(this);
    fields_->setObjectName(QStringLiteral("lstFields"));
    fields_->setMinimumWidth(160);
    left->addWidget(fields_, 1);
    return left;
}

QWidget* FilterDialogForm::buildValuePage()
{
    auto* byValue = new QWidget(pages_);
    auto* vv = new QVBoxLayout(byValue);
    value_ = lineEdit("edValue", byValue);
    vv->addWidget(buddyLabel(QStringLiteral("Field &Value"), value_, byValue));
    auto* clearRow = new QHBoxLayout;
    clearRow->addWidget(value_, 1);
    QPushButton* clearValue = button(QStringLiteral("&Clear"), "btnClearValue", byValue);
    connect(clearValue, &QPushButton::clicked, this, [this] {
        value_->clear();
        value_->setFocus();
    });
    clearRow->addWidget(clearValue);
    vv->addLayout(clearRow);
    auto* type = new QGroupBox(QStringLiteral("Search Type"), byValue);
    auto* tv = new QVBoxLayout(type);
    match_ = new QButtonGroup(this);
    const std::pair<const char*, const char*> kinds[] = {
        {"&Exact Match", "rbExact"}, {"&Partial Match at Beginning", "rbStart"}, {"Partial Match Any&where", "rbAny"}};
    const FilterMatchType ids[] = {fdMatchExact, fdMatchStart, fdMatchAny};
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(kinds[i].first), type);
        rb->setObjectName(QLatin1String(kinds[i].second));
        match_->addButton(rb, ids[i]);
        tv->addWidget(rb);
    }
    vv->addWidget(type);
    case_ = new QCheckBox(QStringLiteral("Case Sensi&tive"), byValue);
    case_->setObjectName(QStringLiteral("cbCaseSensitive"));
    showDefaultMatch();
    vv->addWidget(case_);
    vv->addStretch(1);
    return byValue;
}

QWidget* FilterDialogForm::buildRangePage()
{
    auto* byRange = new QWidget(pages_);
    auto* rv = new QVBoxLayout(byRange);
    from_ = lineEdit("edRangeFrom", byRange);
    to_ = lineEdit("edRangeTo", byRange);
    rv->addWidget(buddyLabel(QStringLiteral("&Starting Range"), from_, byRange));
    rv->addWidget(clearable(from_, QStringLiteral("Clear"), "btnClearFrom", byRange));
    rv->addWidget(buddyLabel(QStringLiteral("En&ding Range"), to_, byRange));
    rv->addWidget(clearable(to_, QStringLiteral("Clear"), "btnClearTo", byRange));
    rv->addStretch(1);
    return byRange;
}

QLayout* FilterDialogForm::buildCommands()
{
    auto* commands = new QHBoxLayout;
    newSearch_ = button(QStringLiteral("&New Search"), "btnNewSearch", this);
    QPushButton* summary = button(QStringLiteral("View Su&mmary"), "btnViewSummary", this);
    commands->addWidget(newSearch_);
    commands->addWidget(summary);
    commands->addStretch(1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    commands->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &FilterDialogForm::accept);
    connect(box, &QDialogButtonBox::rejected, this, &FilterDialogForm::reject);
    connect(newSearch_, &QPushButton::clicked, this, &FilterDialogForm::newSearch);
    connect(summary, &QPushButton::clicked, this, &FilterDialogForm::viewSummary);
    return commands;
}

int FilterDialogForm::entryOf(int field) const
{
    for (size_t i = 0; i < work_.size(); ++i)
        if (work_[i].field == field)
            return int(i);
    return -1;
}

void FilterDialogForm::fillList()
{
    if (loading_)
        return;
    takeEntries();
    std::vector<int> order;
    const bool searchedOnly = fieldSet_->currentIndex() == 1;
    for (int f = 0; f < table_.fieldCount(); ++f)
        if (!searchedOnly || entryOf(f) >= 0)
            order.push_back(f);
    if (rbAlphabetic_->isChecked())
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
            return QString::fromStdString(table_.displayLabel(a))
                       .compare(QString::fromStdString(table_.displayLabel(b)), Qt::CaseInsensitive)
                < 0;
        });
    const int keep = field_;
    {
        const QSignalBlocker block(fields_);
        fields_->clear();
        for (int f : order) {
            auto* item = new QListWidgetItem(QString::fromStdString(table_.displayLabel(f)), fields_);
            item->setData(Qt::UserRole, f);
        }
    }
    int row = 0;
    for (int i = 0; i < int(order.size()); ++i)
        if (order[size_t(i)] == keep)
            row = i;
    field_ = -1;
    if (order.empty())
        showField(-1);
    else {
        const QSignalBlocker block(fields_);
        fields_->setCurrentRow(row);
    }
    if (!order.empty())
        showField(order[size_t(row)]);
}

void FilterDialogForm::onFieldChanged()
{
    takeEntries();
    QListWidgetItem* item = fields_->currentItem();
    showField(item ? item->data(Qt::UserRole).toInt() : -1);
    // A field whose condition was just emptied leaves the list of searched fields.
    if (fieldSet_->currentIndex() == 1)
        fillList();
}

void FilterDialogForm::showDefaultMatch()
{
    if (QAbstractButton* b = match_->button(owner_.defaultMatchType))
        b->setChecked(true);
    else
        match_->button(fdMatchStart)->setChecked(true);
    case_->setChecked(owner_.defaultCaseSensitive);
}

void FilterDialogForm::showField(int field)
{
    field_ = field;
    const bool ok = field >= 0;
    pages_->setEnabled(ok);
    const int i = ok ? entryOf(field) : -1;
    value_->clear();
    from_->clear();
    to_->clear();
    if (ok) {
        const FieldKind kind = kindOf(table_.field(field).type);
        pages_->setTabEnabled(1, kind != FieldKind::Memo && kind != FieldKind::Blob);
    }
    if (i < 0) {
        // A field without a condition starts from the defaults, not from the field before.
        showDefaultMatch();
        if (!pages_->isTabEnabled(pages_->currentIndex()))
            pages_->setCurrentIndex(0);
        return;
    }
    const FieldCondition& c = work_[size_t(i)].cond;
    if (c.matchType == fdMatchRange) {
        from_->setText(QString::fromStdString(c.minimum));
        to_->setText(QString::fromStdString(c.maximum));
        pages_->setCurrentIndex(1);
    } else {
        value_->setText(QString::fromStdString(c.value));
        if (QAbstractButton* b = match_->button(c.matchType))
            b->setChecked(true);
        case_->setChecked(c.caseSensitive);
        pages_->setCurrentIndex(0);
    }
}

void FilterDialogForm::takeEntries()
{
    if (field_ < 0)
        return;
    FieldCondition c;
    c.fieldName = table_.field(field_).name;
    c.displayLabel = table_.displayLabel(field_);
    const bool rangeAllowed = pages_->isTabEnabled(1);
    const bool hasRange = rangeAllowed && (!from_->text().isEmpty() || !to_->text().isEmpty());
    const bool hasValue = !value_->text().isEmpty();
    bool range = false;
    switch (owner_.defaultFilterBy) {
    case fdSmartFilter: range = hasRange && (pages_->currentIndex() == 1 || !hasValue); break;
    case fdFilterByValue: range = false; break;
    case fdFilterByRange: range = rangeAllowed; break;
    }
    bool keep = true;
    if (range) {
        c.matchType = fdMatchRange;
        c.minimum = from_->text().toStdString();
        c.maximum = to_->text().toStdString();
        keep = hasRange;
    } else {
        c.matchType = FilterMatchType(match_->checkedId());
        c.value = value_->text().toStdString();
        c.caseSensitive = case_->isChecked();
        keep = hasValue;
    }
    const int i = entryOf(field_);
    if (!keep) {
        if (i >= 0)
            work_.erase(work_.begin() + i);
    } else if (i >= 0) {
        work_[size_t(i)].cond = c;
    } else {
        work_.push_back({c, field_});
    }
    updateButtons();
}

FilterConditions FilterDialogForm::collect() const
{
    FilterConditions out;
    for (const Entry& e : work_)
        out.push_back(e.cond);
    return out;
}

FilterConditions FilterDialogForm::conditions()
{
    takeEntries();
    return collect();
}

QString FilterDialogForm::checkRanges() const
{
    for (const Entry& e : work_) {
        if (e.field < 0 || e.cond.matchType != fdMatchRange)
            continue;
        for (const std::string& b : {e.cond.minimum, e.cond.maximum}) {
            const QString err = filterdlg::checkBound(table_, e.field, QString::fromStdString(b));
            if (!err.isEmpty())
                return err;
        }
    }
    return {};
}

void FilterDialogForm::updateButtons()
{
    newSearch_->setEnabled(!work_.empty());
}

bool FilterDialogForm::selectField(const QString& label)
{
    for (int r = 0; r < fields_->count(); ++r)
        if (fields_->item(r)->text() == label) {
            fields_->setCurrentRow(r);
            return true;
        }
    return false;
}

QString FilterDialogForm::selectedLabel() const
{
    return field_ >= 0 ? QString::fromStdString(table_.displayLabel(field_)) : QString();
}

QStringList FilterDialogForm::listedLabels() const
{
    QStringList out;
    for (int r = 0; r < fields_->count(); ++r)
        out << fields_->item(r)->text();
    return out;
}

void FilterDialogForm::newSearch()
{
    work_.clear();
    value_->clear();
    from_->clear();
    to_->clear();
    showDefaultMatch();
    updateButtons();
    loading_ = true;
    fieldSet_->setCurrentIndex(0);
    loading_ = false;
    fillList();   // every field again; the selected one stays selected
    pages_->setCurrentIndex(0);
    value_->setFocus();
}

void FilterDialogForm::viewSummary()
{
    takeEntries();
    if (work_.empty()) {
        msg::information(QStringLiteral("No search conditions have been entered."), this);
        return;
    }
    QDialog summary(this);
    summary.setObjectName(QStringLiteral("SearchSummary"));
    summary.setWindowTitle(QStringLiteral("Show Search Summary"));
    auto* v = new QVBoxLayout(&summary);
    auto* grid = new QTableWidget(int(work_.size()), 3, &summary);
    grid->setObjectName(QStringLiteral("grdSummary"));
    grid->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Search Type"), QStringLiteral("Value")});
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < int(work_.size()); ++r) {
        const FieldCondition& c = work_[size_t(r)].cond;
        const QString field = QString::fromStdString(c.displayLabel.empty() ? c.fieldName : c.displayLabel);
        grid->setItem(r, 0, new QTableWidgetItem(field));
        grid->setItem(r, 1, new QTableWidgetItem(filterdlg::matchWord(c.matchType)));
        grid->setItem(r, 2, new QTableWidgetItem(filterdlg::summaryValue(c)));
    }
    grid->resizeColumnsToContents();
    grid->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(grid);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Cancel, &summary);
    connect(box, &QDialogButtonBox::rejected, &summary, &QDialog::reject);
    v->addWidget(box);
    summary.resize(460, 200);
    summary.exec();
}

void FilterDialogForm::accept()
{
    takeEntries();
    if (const QString err = checkRanges(); !err.isEmpty()) {
        msg::error(err, this);
        return;
    }
    const FilterConditions now = collect();
    if (now != initial_) {
        const FilterConditions before = table_.filterConditions();
        try {
            table_.setFilter(now);
        } catch (const EngineError& e) {
            table_.filterConditions() = before;
            msg::error(QString::fromStdString(e.what()), this);
            return;
        }
    }
    QDialog::accept();
}

} // namespace tv
