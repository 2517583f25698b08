#include "dbaware/searchdialog.h"

#include "dbaware/datasource.h"
#include "dbaware/dbgrid.h"
#include "dbaware/engineguard.h"
#include "platform/msg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QVBoxLayout>

namespace tv {

namespace {

bool beginsWith(const std::string& text, const std::string& folded)
{
    return foldAsciiUpper(text).compare(0, folded.size(), folded) == 0;
}

// The indicator column: a small arrow on the row of the current record.
class IndicatorHeader : public QHeaderView {
public:
    IndicatorHeader(const Table& table, QWidget* parent) : QHeaderView(Qt::Vertical, parent), table_(table)
    {
        setSectionResizeMode(QHeaderView::Fixed);
    }

protected:
    QSize sizeHint() const override { return {14, QHeaderView::sizeHint().height()}; }
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override
    {
        p->save();
        p->fillRect(rect, palette().button());
        p->setPen(palette().mid().color());
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (logicalIndex == table_.recNo()) {
            const QPoint c = rect.center();
            const QPolygon arrow({QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)});
            p->setPen(Qt::NoPen);
            p->setBrush(palette().windowText());
            p->drawPolygon(arrow);
        }
        p->restore();
    }

private:
    const Table& table_;
};

} // namespace

int incrementalSearchRow(const Table& table, int field, const QString& text)
{
    const int n = table.recordCount();
    if (text.isEmpty() || field < 0 || field >= table.fieldCount() || n == 0)
        return -1;
    const std::string want = foldAsciiUpper(text.toStdString());
    // Ordered by this text field: the first key not below the text, if it begins with it.
    const std::string order = table.indexFieldNames();
    const std::string first = order.substr(0, order.find(';'));
    if (kindOf(table.field(field).type) == FieldKind::Text && !first.empty()
        && foldAsciiUpper(first) == foldAsciiUpper(table.field(field).name)) {
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (foldAsciiUpper(table.displayTextAt(mid, field)) < want)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo < n && beginsWith(table.displayTextAt(lo, field), want))
            return lo;
    }
    // Any other order (or a collation that differs from plain folding): look at every row.
    for (int r = 0; r < n; ++r)
        if (beginsWith(table.displayTextAt(r, field), want))
            return r;
    return -1;
}

SearchDialog::SearchDialog(QObject* parent) : QObject(parent) {}

bool SearchDialog::execute(QWidget* parent)
{
    if (!table_ || !table_->isOpen()) {
        msg::warning(notActiveText(), parent);
        return false;
    }
    SearchDialogForm form(*this, *table_, parent);
    return form.exec() == QDialog::Accepted;
}

// ---- The window ------------------------------------------------------------------------

SearchDialogForm::SearchDialogForm(const SearchDialog& owner, Table& table, QWidget* parent)
    : QDialog(parent), table_(table), source_(new DataSource(&table, this))
{
    setObjectName(QStringLiteral("SearchDialogForm"));
    setWindowTitle(owner.caption);
    oldIndex_ = table.indexName();
    try {
        if (table.currentId())
            oldRecord_ = table.getBookmark();
    } catch (const EngineError&) {
    }

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 4, 6, 4);
    v->setSpacing(3);
    auto* top = new QHBoxLayout;
    auto* group = new QGroupBox(this);
    auto* g = new QGridLayout(group);
    g->setContentsMargins(6, 2, 6, 2);
    edit_ = new QLineEdit(group);
    edit_->setObjectName(QStringLiteral("edSearch"));
    auto* editLabel = new QLabel(QStringLiteral("Search &for:"), group);
    editLabel->setBuddy(edit_);
    indexes_ = new QComboBox(group);
    indexes_->setObjectName(QStringLiteral("cbxIndex"));
    auto* indexLabel = new QLabel(QStringLiteral("&Index:"), group);
    indexLabel->setBuddy(indexes_);
    g->addWidget(editLabel, 0, 0);
    g->addWidget(edit_, 0, 1);
    g->addWidget(indexLabel, 0, 2);
    g->addWidget(indexes_, 0, 3);
    g->setColumnStretch(1, 1);
    top->addWidget(group, 1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    top->addWidget(box);
    v->addLayout(top);

    grid_ = new DBGrid(this);
    grid_->setObjectName(QStringLiteral("grdSearch"));
    grid_->setDataSource(source_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setShowGrid(true);
    grid_->setStyleSheet(QStringLiteral("QTableView { background: white; }"));
    {
        const int rowHeight = grid_->verticalHeader()->defaultSectionSize();
        grid_->setVerticalHeader(new IndicatorHeader(table, grid_));
        grid_->verticalHeader()->setDefaultSectionSize(rowHeight);
        grid_->verticalHeader()->setVisible(true);
    }
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->applyColumnWidths();
    v->addWidget(grid_, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblStatus"));
    status_->setFrameShape(QFrame::Panel);
    status_->setFrameShadow(QFrame::Sunken);
    v->addWidget(status_);

    fillIndexes();
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &SearchDialogForm::reject);
    connect(edit_, &QLineEdit::textChanged, this, &SearchDialogForm::searchFor);
    connect(indexes_, &QComboBox::activated, this, [this] { indexChosen(); });
    connect(source_, &DataSource::currentChanged, this, &SearchDialogForm::updateStatus);
    connect(source_, &DataSource::currentChanged, grid_->verticalHeader()->viewport(), qOverload<>(&QWidget::update));
    connect(source_, &DataSource::dataChanged, this, &SearchDialogForm::updateStatus);
    edit_->installEventFilter(this);
    edit_->setFocus();
    updateStatus();
    resize(560, owner.maxHeight > 0 ? owner.maxHeight : 300);
    if (owner.maxHeight > 0)
        setMaximumHeight(owner.maxHeight);
}

SearchDialogForm::~SearchDialogForm()
{
    if (oldRecord_ && table_.isOpen())
        table_.freeBookmark(oldRecord_);
}

void SearchDialogForm::fillIndexes()
{
    const auto& defs = table_.indexDefs();
    for (const IndexDef& d : defs)
        if (!d.expression && !d.fields.empty())
            indexes_->addItem(QString::fromStdString(d.fieldList()), QString::fromStdString(d.name));
    if (indexes_->count() == 0) {
        // No index to search by: search any field in the table's order.
        for (int f = 0; f < table_.fieldCount(); ++f)
            indexes_->addItem(QString::fromStdString(table_.field(f).name), QVariant());
        return;
    }
    const int cur = indexes_->findData(QString::fromStdString(table_.indexName()));
    indexes_->setCurrentIndex(cur >= 0 ? cur : 0);
}

void SearchDialogForm::indexChosen()
{
    const QVariant name = indexes_->currentData();
    if (name.isValid()) {
        try {
            table_.setIndexName(name.toString().toStdString());
        } catch (const EngineError& e) {
            msg::error(QString::fromStdString(e.what()), this);
        }
    }
    searchFor(edit_->text());
    edit_->setFocus();
}

int SearchDialogForm::searchField() const
{
    const QVariant name = indexes_->currentData();
    if (!name.isValid())
        return table_.fieldIndex(indexes_->currentText().toStdString());
    const QString fields = indexes_->currentText();
    return table_.fieldIndex(fields.section(QLatin1Char(';'), 0, 0).toStdString());
}

void SearchDialogForm::searchFor(const QString& text)
{
    int row = -1;
    guarded([&] { row = incrementalSearchRow(table_, searchField(), text); });
    if (row < 0)
        return;
    try {
        table_.moveTo(row);
    } catch (const EngineError& e) {
        msg::error(QString::fromStdString(e.what()), this);
    }
}

void SearchDialogForm::updateStatus()
{
    const int n = table_.recordCount();
    status_->setText(n == 0 ? QStringLiteral("No records")
                            : QStringLiteral("Record %1 of %2").arg(table_.recNo() + 1).arg(n));
}

bool SearchDialogForm::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow and page keys in the search box move through the grid.
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(grid_, &copy);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SearchDialogForm::reject()
{
    // Cancel leaves the table as the window found it.
    try {
        if (table_.indexName() != oldIndex_)
            table_.setIndexName(oldIndex_);
        if (oldRecord_ && table_.bookmarkValid(oldRecord_))
            table_.gotoBookmark(oldRecord_);
    } catch (const EngineError& e) {
        msg::error(QString::fromStdString(e.what()), this);
    }
    QDialog::reject();
}

} // namespace tv
