#pragma once
// DBGrid: the record grid. One row per record of the data source's visible set, read
// directly by row (scrolling never walks the table), columns from a column list with
// widths in characters, clickable titles ("title buttons") that report the column's field,
// a callback that may recolour each title, and a current row that follows the table's
// current record and moves it when the user picks a row. Read-only unless told otherwise.

#include "dbaware/datasource.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QColor>
#include <QHeaderView>
#include <QList>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

namespace tv {

struct GridColumn {
    QString fieldName;   // matched without regard to letter case; unknown names give no column
    int width = 0;       // characters; 0: the field's display width
    QString title;       // empty: the field's display label
};

// The model behind the grid: rows of the visible set (plus the row being inserted).
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    // The column list; empty: every visible field with its display attributes.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return columns_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool readOnly() const { return readOnly_; }

    // Field position in the table of a model column, -1 when out of range.
    int fieldOf(int column) const;
    // Field name of a model column, empty when out of range.
    QString fieldNameOf(int column) const;
    // Width in characters of a model column.
    int widthOf(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Writes text typed into a cell into the record: starts the edit (on the cell's row) when
    // the table is browsing. Throws EngineError when the table refuses the text.
    void writeCell(const QModelIndex& index, const QString& text);

signals:
    // A value typed into a cell was refused by the table.
    void editFailed(const QString& message);

private:
    struct Col {
        int field;
        int width;
        QString title;
        QString name;
    };
    void rebuild();                  // columns and rows from scratch (model reset)
    void onDataChanged(DataChange change);
    int currentRowCount() const;

    QPointer<DataSource> source_;
    QList<GridColumn> columns_;
    std::vector<Col> cols_;
    int rows_ = 0;
    bool readOnly_ = true;
    QList<QMetaObject::Connection> connections_;
};

class DBGrid;

// Cell editors of a writable grid: one-line boxes held to the field's size and picture.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(GridModel* model, QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Once typed into, an editor keeps its text while the record changes under it (its own
    // text going into the record, or refused for now).
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

signals:
    // The user changed the text of a cell editor (every key, as a bound box reports it).
    void cellTextEdited(QWidget* editor, const QModelIndex& index, const QString& text) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    GridModel* model_;
};

// The grid's title row: clickable titles drawn on a background the grid's callback may
// recolour, left-justified, one line.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(DBGrid* grid);
    // Space between a title's text and the edges of its section.
    static constexpr int kTextMargin = 3;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    DBGrid* grid_;
};

class DBGrid : public QTableView {
    Q_OBJECT
public:
    // Receives the grid, the column's field name and the title's background, which it may
    // change; runs for every title as it is painted.
    using TitleAttributesFn = std::function<void(DBGrid* grid, const QString& fieldName, QColor& background)>;

    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return model_->dataSource(); }
    void setColumns(const QList<GridColumn>& columns);
    GridModel* gridModel() const { return model_; }

    // Read-only by default; a writable grid lets the user type into cells of a writable table.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return model_->readOnly(); }

    void setTitleFont(const QFont& font);
    void setTitleAttributesCallback(TitleAttributesFn fn);
    // The title's background after the callback (the button face colour when it changes nothing).
    QColor titleBackground(int column) const;

    // Column widths follow the width in characters of each column and the grid's font.
    void applyColumnWidths();

signals:
    // A title was clicked: the column's field name.
    void titleButtonClick(const QString& fieldName);
    // Anywhere in the grid.
    void gridDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Opening a cell editor puts the table into editing at once.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // Escape takes back what the cell editor wrote into the record.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    class CellLink;
    void followTable();      // current row := the table's current record
    void onModelReset();
    // The text of the open cell editor goes into the record as it is typed, like a bound
    // box's: a post or a move then stores it whatever button or key caused it. Text the table
    // refuses for now (a date half typed) stays pending until the post asks for it.
    void onCellTextEdited(QWidget* editor, const QModelIndex& index, const QString& text);
    void flushCell();
    void reopenCell();
    void showEditedRow();   // after a refused change of row
    // The edit ended without the editor (posted, cancelled): the editor closes, unwritten.
    void dropCellEditor();

    GridModel* model_;
    GridHeader* header_;
    TitleAttributesFn titleFn_;
    bool syncing_ = false;
    QList<QMetaObject::Connection> connections_;
    std::unique_ptr<CellLink> cellLink_;
    QPointer<QWidget> cellEditor_;      // the open cell editor that was typed into
    QPersistentModelIndex cellIndex_;
    QString cellBefore_;                // the cell's text when typing began (for Escape)
    QString cellPending_;
    bool hasCellPending_ = false;
};

} // namespace tv
