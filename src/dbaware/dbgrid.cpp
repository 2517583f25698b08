#include "dbgrid.h"

#include "dbaware/dbcontrols.h"
#include "dbaware/engineguard.h"
#include "platform/msg.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <qdrawutil.h>

namespace tv {

namespace {

bool isNumericKind(FieldKind k) { return k == FieldKind::Integer || k == FieldKind::Float; }

// Grid cells show one line: a memo shows its first line only.
QString oneLine(const std::string& text)
{
    constexpr size_t kMax = 1024;
    size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos)
        end = text.size();
    return QString::fromUtf8(text.data(), qsizetype(std::min(end, kMax)));
}

} // namespace

// ---------------------------------------------------------------------------------------
// GridModel

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

void GridModel::setDataSource(DataSource* source)
{
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    source_ = source;
    if (source_) {
        connections_ << connect(source_, &DataSource::dataChanged, this, &GridModel::onDataChanged);
        connections_ << connect(source_, &DataSource::stateChanged, this,
                                [this](TableState) { onDataChanged(DataChange::Values); });
        connections_ << connect(source_, &QObject::destroyed, this, [this] { setDataSource(nullptr); });
    }
    rebuild();
}

void GridModel::setColumns(const QList<GridColumn>& columns)
{
    columns_ = columns;
    rebuild();
}

int GridModel::currentRowCount() const
{
    if (!source_ || !source_->active())
        return 0;
    const Table* t = source_->table();
    return t->recordCount() + (t->insertRow() >= 0 ? 1 : 0);
}

void GridModel::rebuild()
{
    beginResetModel();
    cols_.clear();
    if (source_ && source_->active()) {
        const Table* t = source_->table();
        if (columns_.isEmpty()) {
            for (int f = 0; f < t->fieldCount(); ++f)
                if (t->visible(f))
                    cols_.push_back({f, t->displayWidth(f), QString::fromStdString(t->displayLabel(f)),
                                     QString::fromStdString(t->field(f).name)});
        } else {
            for (const GridColumn& c : columns_) {
                const int f = t->fieldIndex(c.fieldName.toStdString());
                if (f < 0)
                    continue;
                cols_.push_back({f, c.width > 0 ? c.width : t->displayWidth(f),
                                 c.title.isEmpty() ? QString::fromStdString(t->displayLabel(f)) : c.title,
                                 QString::fromStdString(t->field(f).name)});
            }
        }
    }
    rows_ = currentRowCount();
    endResetModel();
}

void GridModel::onDataChanged(DataChange change)
{
    if (change == DataChange::Reset) {
        rebuild();
        return;
    }
    const int rows = currentRowCount();
    if (change == DataChange::Values && rows == rows_) {
        if (rows_ > 0 && !cols_.empty())
            emit dataChanged(index(0, 0), index(rows_ - 1, int(cols_.size()) - 1));
        return;
    }
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

int GridModel::fieldOf(int column) const
{
    return column >= 0 && column < int(cols_.size()) ? cols_[size_t(column)].field : -1;
}

QString GridModel::fieldNameOf(int column) const
{
    return column >= 0 && column < int(cols_.size()) ? cols_[size_t(column)].name : QString();
}

int GridModel::widthOf(int column) const
{
    return column >= 0 && column < int(cols_.size()) ? cols_[size_t(column)].width : 0;
}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(cols_.size()); }

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !source_ || !source_->active() || index.row() >= rows_)
        return {};
    const Table* t = source_->table();
    const int f = fieldOf(index.column());
    if (f < 0 || f >= t->fieldCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        try {
            return oneLine(t->displayTextAt(index.row(), f));
        } catch (const EngineError& e) {
            if (source_->readAgainLater())
                return QString();
            reportEngineError(e);
            return damagedMarker();
        }
    case Qt::TextAlignmentRole:
        return isNumericKind(kindOf(t->field(f).type)) ? int(Qt::AlignRight | Qt::AlignVCenter)
                                                       : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(cols_.size()))
        return cols_[size_t(section)].title;
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (readOnly_ || !source_ || !source_->writable())
        return fl;
    const int f = fieldOf(index.column());
    if (f < 0)
        return fl;
    const FieldType type = source_->table()->field(f).type;
    if (type != FieldType::AutoInc && kindOf(type) != FieldKind::Blob && kindOf(type) != FieldKind::Memo)
        fl |= Qt::ItemIsEditable;
    return fl;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    try {
        writeCell(index, value.toString());
        return true;
    } catch (const EngineError& e) {
        emit editFailed(QString::fromUtf8(e.what()));
        return false;
    }
}

void GridModel::writeCell(const QModelIndex& index, const QString& value)
{
    if (!(flags(index) & Qt::ItemIsEditable))
        return;
    Table* t = source_->table();
    if (t->state() == TableState::Browse && t->recNo() != index.row())
        t->moveTo(index.row());
    const std::string text = value.toStdString();
    if (t->state() == TableState::Browse && t->displayText(fieldOf(index.column())) == text)
        return;  // nothing typed: no edit
    source_->edit();
    t->setText(fieldOf(index.column()), text);
}

// ---------------------------------------------------------------------------------------
// GridDelegate

GridDelegate::GridDelegate(GridModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line)
        connect(line, &QLineEdit::textEdited, this, [this, line, cell = QPersistentModelIndex(index)](const QString& text) {
            emit cellTextEdited(line, cell, text);
        });
    DataSource* source = model_->dataSource();
    const int f = model_->fieldOf(index.column());
    if (!line || !source || !source->active() || f < 0)
        return editor;
    const Table* t = source->table();
    if (kindOf(t->field(f).type) == FieldKind::Text && t->field(f).size > 0)
        line->setMaxLength(t->field(f).size);
    if (!t->picture(f).empty())
        line->setValidator(new PictureValidator(t->picture(f), line));
    return editor;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && line->isModified())
        return;
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // A cell that could not be read stands out from the data around it.
    if (option->text == damagedMarker()) {
        option->palette.setColor(QPalette::Text, Qt::red);
        option->palette.setColor(QPalette::HighlightedText, Qt::red);
    }
}

// ---------------------------------------------------------------------------------------
// GridHeader

GridHeader::GridHeader(DBGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    painter->fillRect(rect, grid_->titleBackground(logicalIndex));
    qDrawShadePanel(painter, rect, palette(), false, 1);
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setFont(font());
    const QRect textRect = rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

// ---------------------------------------------------------------------------------------
// DBGrid

// Hands the text of the cell editor to a post (DataSource::updateRecord).
class DBGrid::CellLink : public DataLink {
public:
    CellLink(DBGrid* grid, DataSource* source) : grid_(grid) { linkTo(source); }
    void flushPending() override { grid_->flushCell(); }
    bool heldBack(int& field, QString& text) const override
    {
        if (!grid_->hasCellPending_ || !grid_->cellIndex_.isValid())
            return false;
        field = grid_->model_->fieldOf(grid_->cellIndex_.column());
        text = grid_->cellPending_;
        return field >= 0;
    }

private:
    DBGrid* grid_;
};

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)), header_(new GridHeader(this))
{
    setHorizontalHeader(header_);
    setModel(model_);
    auto* delegate = new GridDelegate(model_, this);
    setItemDelegate(delegate);
    connect(delegate, &GridDelegate::cellTextEdited, this, &DBGrid::onCellTextEdited);
    // A title click orders the table (through titleButtonClick); it never selects a column.
    disconnect(header_, &QHeaderView::sectionPressed, this, &QTableView::selectColumn);
    disconnect(header_, &QHeaderView::sectionEntered, nullptr, nullptr);
    connect(header_, &QHeaderView::sectionClicked, this,
            [this](int logical) { emit titleButtonClick(model_->fieldNameOf(logical)); });

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setReadOnly(true);

    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::onModelReset);
    connect(model_, &GridModel::editFailed, this, [this](const QString& m) {
        // Text the record cannot take yet is kept for it and refused, once, by the post or
        // the move that asks for it (a click on another row would show it twice).
        if (!hasCellPending_)
            msg::error(m, this);
    });
    applyColumnWidths();
}

DBGrid::~DBGrid() = default;

void DBGrid::setDataSource(DataSource* source)
{
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    dropCellEditor();
    cellLink_.reset();
    model_->setDataSource(source);
    if (source) {
        cellLink_ = std::make_unique<CellLink>(this, source);
        connections_ << connect(source, &DataSource::currentChanged, this, &DBGrid::followTable);
        connections_ << connect(source, &DataSource::stateChanged, this, [this](TableState state) {
            if (state != TableState::Edit && state != TableState::Insert)
                dropCellEditor();
            followTable();
        });
    }
    followTable();
}

void DBGrid::setColumns(const QList<GridColumn>& columns) { model_->setColumns(columns); }

void DBGrid::setReadOnly(bool readOnly)
{
    model_->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
}

void DBGrid::setTitleFont(const QFont& font)
{
    header_->setFont(font);
    header_->setMinimumHeight(QFontMetrics(font).height() + 6);
    applyColumnWidths();
}

void DBGrid::setTitleAttributesCallback(TitleAttributesFn fn)
{
    titleFn_ = std::move(fn);
    header_->viewport()->update();
}

QColor DBGrid::titleBackground(int column) const
{
    QColor bg = palette().color(QPalette::Button);
    if (titleFn_)
        titleFn_(const_cast<DBGrid*>(this), model_->fieldNameOf(column), bg);
    return bg;
}

void DBGrid::applyColumnWidths()
{
    // A column n characters wide shows n characters of its font.
    const QFontMetrics fm(font());
    const int perChar = columnCharWidth(fm);
    // Around the text: the margins the style gives a cell's text, and the grid line.
    const int cellPadding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1)
        + (showGrid() ? 1 : 0) + 1;
    // The title is never cut either (its margins as GridHeader draws them).
    const QFontMetrics titleFm(header_->font());
    for (int c = 0; c < model_->columnCount(); ++c) {
        const QString title = model_->headerData(c, Qt::Horizontal).toString();
        setColumnWidth(c, std::max(model_->widthOf(c) * perChar + cellPadding,
                                   titleFm.horizontalAdvance(title) + 2 * GridHeader::kTextMargin + 1));
    }
    verticalHeader()->setDefaultSectionSize(fm.height() + 4);
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit gridDoubleClicked();
}

void DBGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyColumnWidths();
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid())
        return;
    DataSource* source = model_->dataSource();
    if (!source || !source->active())
        return;
    Table* t = source->table();
    if (current.row() == t->recNo())
        return;
    bool moved = false;
    try {
        if (t->state() == TableState::Insert && current.row() == t->insertRow())
            return;
        if (source->readyToLeave()) {
            t->moveTo(current.row());
            moved = true;
        }
    } catch (const EngineError& e) {
        msg::error(QString::fromUtf8(e.what()), this);
    }
    followTable();
    // Refused (said above): once the click or key that asked for the row is over, the row of
    // the note being edited is the one shown selected, its typed cell open again.
    if (!moved)
        QTimer::singleShot(0, this, &DBGrid::showEditedRow);
}

void DBGrid::showEditedRow()
{
    followTable();
    const QModelIndex current = currentIndex();
    if (current.isValid())
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    reopenCell();
    if (cellEditor_ && isVisible())
        cellEditor_->setFocus(Qt::OtherFocusReason);
}

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool wanted = trigger == QAbstractItemView::AllEditTriggers || (editTriggers() & trigger);
    if (!wanted || !(model_->flags(index) & Qt::ItemIsEditable))
        return QTableView::edit(index, trigger, event);
    try {
        model_->dataSource()->edit();
    } catch (const EngineError& e) {
        msg::error(QString::fromUtf8(e.what()), this);
        return false;
    }
    return QTableView::edit(index, trigger, event);
}

void DBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor && editor == cellEditor_) {
        // Another window took the keyboard while the cell holds text the record cannot take
        // yet (the box saying why a post or a move was refused, say): the cell stays open with
        // that text, and the keyboard is back in it when this window is active again.
        if (hint == QAbstractItemDelegate::NoHint && hasCellPending_ && !editor->isActiveWindow()) {
            QTimer::singleShot(0, editor, [editor] { editor->setFocus(Qt::OtherFocusReason); });
            return;
        }
        cellEditor_ = nullptr;
        if (hint == QAbstractItemDelegate::RevertModelCache) {
            hasCellPending_ = false;
            try {
                model_->writeCell(cellIndex_, cellBefore_);
            } catch (const EngineError& e) {
                msg::error(QString::fromUtf8(e.what()), this);
            }
        }
    }
    QTableView::closeEditor(editor, hint);
}

void DBGrid::onCellTextEdited(QWidget* editor, const QModelIndex& index, const QString& text)
{
    if (editor != cellEditor_) {
        cellEditor_ = editor;
        cellIndex_ = index;
        cellBefore_ = model_->data(index, Qt::EditRole).toString();
    }
    try {
        model_->writeCell(index, text);
        hasCellPending_ = false;
    } catch (const EngineError&) {
        cellPending_ = text;
        hasCellPending_ = true;
    }
}

void DBGrid::flushCell()
{
    if (!hasCellPending_)
        return;
    try {
        if (cellIndex_.isValid())
            model_->writeCell(cellIndex_, cellPending_);
    } catch (const EngineError&) {
        // Refused (what refused it is being said now): the cell is to show what was typed.
        QTimer::singleShot(0, this, &DBGrid::reopenCell);
        throw;
    }
    hasCellPending_ = false;
}

void DBGrid::reopenCell()
{
    // A cell closed when the keyboard left it, its text kept for the record: it opens again
    // with that text, while the record it belongs to is still the one being edited.
    DataSource* source = model_->dataSource();
    if (cellEditor_ || !hasCellPending_ || !cellIndex_.isValid() || !isVisible() || !source || !source->active())
        return;
    const Table* t = source->table();
    if ((t->state() != TableState::Edit && t->state() != TableState::Insert) || t->recNo() != cellIndex_.row())
        return;
    const QString text = cellPending_;
    if (!QTableView::edit(cellIndex_, QAbstractItemView::AllEditTriggers, nullptr))
        return;
    auto* line = qobject_cast<QLineEdit*>(indexWidget(cellIndex_));
    if (!line)
        return;
    line->setText(text);
    line->setModified(true);
    line->setFocus(Qt::OtherFocusReason);
    cellEditor_ = line;
}

void DBGrid::dropCellEditor()
{
    hasCellPending_ = false;
    if (QWidget* editor = cellEditor_) {
        cellEditor_ = nullptr;
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void DBGrid::followTable()
{
    DataSource* source = model_->dataSource();
    const int row = source && source->active() ? source->table()->recNo() : -1;
    syncing_ = true;
    if (row < 0 || row >= model_->rowCount()) {
        if (row < 0)
            selectionModel()->clearCurrentIndex();
    } else {
        const int col = std::max(0, currentIndex().column());
        const QModelIndex idx = model_->index(row, std::min(col, std::max(0, model_->columnCount() - 1)));
        if (idx != currentIndex())
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (idx.isValid())
            scrollTo(idx);
    }
    syncing_ = false;
}

void DBGrid::onModelReset()
{
    applyColumnWidths();
    followTable();
}

} // namespace tv
