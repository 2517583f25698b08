#pragma once
// TdbIndex: the index chooser. A pop-up menu listing the indexes of a table, with a check mark
// on the current one; picking an entry switches the table to that index, keeping the current
// record. The chooser knows no table engine: it talks to a TdbIndexSource, which the data layer
// implements over its data source.
//
// Also here, for the grids' title ordering: FindIndexForField (which index a title click
// chooses) and OrderFirstField (which column title marks the current order).

#include <QFlags>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <QMenu>
class QWidget;

namespace tv {

// One index definition as the table reports it.
struct TIndexInfo {
    QString Name;    // empty for a Paradox table's primary index
    QString Fields;  // field names joined by ";"; empty for an expression index
    bool Primary = false;
    bool CaseInsensitive = false;
    bool Expression = false;
};

// What the chooser needs of a bound data source and its table.
class TdbIndexSource {
public:
    virtual ~TdbIndexSource() = default;
    // The data set is a table (not a query or other data set).
    virtual bool IsTable() const { return true; }
    virtual bool IsOpen() const = 0;
    // Still being loaded with its window: the menu is not built then.
    virtual bool IsLoading() const { return false; }
    // Refreshes the table's index definitions and returns them in the table's order.
    virtual QList<TIndexInfo> RefreshIndexDefs() = 0;
    // The table's current index name and current index field names (either may be empty).
    virtual QString IndexName() const = 0;
    virtual QString IndexFieldNames() const = 0;
    // Switches the table to the named index, keeping the current record current.
    virtual void SwitchToIndex(const QString& name) = 0;
};

class TdbIndex : public QObject {
    Q_OBJECT
public:
    enum TnavIndexOption { ioShowFields = 0x1, ioPrimaryIndex = 0x2, ioShowIndexInfo = 0x4 };
    Q_ENUM(TnavIndexOption)
    Q_DECLARE_FLAGS(TnavIndexOptions, TnavIndexOption)
    Q_FLAG(TnavIndexOptions)

    // The menu is created with `owner` as its owner; the chooser frees it.
    explicit TdbIndex(QWidget* owner);
    ~TdbIndex() override;

    // The bound data source (not owned). Setting it rebuilds the menu.
    TdbIndexSource* DataSource() const { return m_source; }
    void setDataSource(TdbIndexSource* source);
    TnavIndexOptions Options() const { return m_options; }
    void setOptions(TnavIndexOptions v) { m_options = v; }
    // Copies the other chooser's Options.
    void Assign(const TdbIndex& other);

    // Builds the menu and shows it with its top left corner at `screenPos`.
    void Popup(const QPoint& screenPos);

    QMenu* Menu() const { return m_menu; }
    QWidget* Owner() const { return m_owner; }
    // Rebuilds the entries from the bound table (only when bound to an open table).
    void BuildMenu();
    // Whether index n (of the definitions last listed) is the table's current index.
    bool IsCurrentIndex(int n) const;
    // Switches the bound table to index n unless it is current already.
    void ChooseIndex(int n);
    // The caption an entry gets for a definition under the given options.
    static QString EntryCaption(const TIndexInfo& def, TnavIndexOptions options);

    // Whether `def` is the current index for the table's current index name and field names.
    static bool IsCurrent(const TIndexInfo& def, const QString& indexName, const QString& indexFieldNames);
    // The index a title click on `field` chooses: first among case-insensitive indexes, then
    // among all, the first whose field list (letter case ignored) is the field or starts with
    // it followed by ";". -1 when none.
    static int FindIndexForField(const QList<TIndexInfo>& defs, const QString& field);
    // The first field of the current order: the current index field names when set, otherwise
    // the fields of the index named by indexName (empty name: the first unnamed index or
    // "PrimaryKey"); the part before the first ";".
    static QString OrderFirstField(const QList<TIndexInfo>& defs, const QString& indexName,
                                   const QString& indexFieldNames);

private:
    QWidget* m_owner = nullptr;
    QPointer<QMenu> m_menu;
    TdbIndexSource* m_source = nullptr;
    TnavIndexOptions m_options;
    QList<TIndexInfo> m_defs;  // the definitions the entries were built from
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TdbIndex::TnavIndexOptions)

} // namespace tv
