// The order of the bases: the index chooser under "Select Index " (and "Sort"), ordering by a
// click on a grid's column title, and the yellow title that marks the column of the order.

#include "app/mainform.h"
#include "dbaware/engineguard.h"
#include "controls/dbindex.h"
#include "controls/explbtn.h"
#include "dbaware/dbgrid.h"
#include "platform/msg.h"

#include <QApplication>

#include <map>

namespace tv::app {

namespace {

QList<TIndexInfo> indexInfo(const Table& table)
{
    QList<TIndexInfo> list;
    for (const IndexDef& def : table.indexDefs())
        list.push_back({QString::fromStdString(def.name), QString::fromStdString(def.fieldList()), def.primary,
                        def.caseInsensitive, def.expression});
    return list;
}

// The chooser's view of one base's table. The table is looked up on every use, so the view
// stays right when the data module is made anew.
class BaseIndexSource final : public TdbIndexSource {
public:
    explicit BaseIndexSource(int base) : m_base(base) {}

    bool IsOpen() const override
    {
        const Table* t = baseTable(m_base);
        return t && t->isOpen();
    }
    QList<TIndexInfo> RefreshIndexDefs() override
    {
        Table* t = baseTable(m_base);
        if (!t || !t->isOpen())
            return {};
        t->refreshIndexDefs();
        return indexInfo(*t);
    }
    QString IndexName() const override
    {
        const Table* t = baseTable(m_base);
        return t ? QString::fromStdString(t->indexName()) : QString();
    }
    // The program orders only by index name, never by a list of fields.
    QString IndexFieldNames() const override { return {}; }
    void SwitchToIndex(const QString& name) override
    {
        Table* t = baseTable(m_base);
        // A new order posts a note being edited: its typed text goes first, as for a move.
        if (!t || !t->isOpen() || !readyToLeaveNote(t, QApplication::activeWindow()))
            return;
        guardedCommand(QApplication::activeWindow(), [&] { t->setIndexName(name.toStdString()); });
    }

private:
    int m_base;
};

TdbIndexSource* indexSource(int base)
{
    static std::map<int, BaseIndexSource> sources;
    return &sources.try_emplace(base, base).first->second;
}

// The base whose order a grid's titles act on, by the grid's tag; 0 for none. Page 4's grid
// shows base 4 or 40 by the forum choice; `forumBase` is the one meant there.
int gridBase(const DBGrid* grid, int forumBase)
{
    const int tag = grid ? grid->property("Tag").toInt() : 0;
    if (tag == kForumPage)
        return forumBase;
    return isBasePage(tag) ? kPages[static_cast<size_t>(tag)].base : 0;
}

} // namespace

void TMainForm::btnDBIndexClick()
{
    if (!m_indexChooser)
        return;
    const int tab = activePage();
    // Page 4 lists the indexes of the forum list on view (ordering base 4 while base 40 is
    // shown would reorder a list nobody sees); a page without a base keeps the binding of the
    // last base page.
    if (isBasePage(tab)) {
        if (heldElsewhere(baseTable(pageBase(tab))))
            return;   // busy, not a base without indexes
        m_indexChooser->setDataSource(indexSource(pageBase(tab)));
    }
    const QWidget* b = button(Tool::DBIndex);
    const QPoint corner(b->x(), b->y() + b->height());
    m_indexChooser->Popup(centralWidget()->mapToGlobal(corner));
}

void TMainForm::wwDBGrid1TitleButtonClick(DBGrid* grid, const QString& fieldName)
{
    Table* table = baseTable(gridBase(grid, pageBase(kForumPage)));
    if (!table || !table->isOpen())
        return;
    guardedCommand(this, [&] {
        if (table->indexDefs().empty())
            table->refreshIndexDefs();
        const int n = table->indexForField(fieldName.toStdString());
        if (n < 0 || n == table->currentIndex() || !readyToLeaveNote(table, this))
            return;
        table->setIndexName(table->indexDefs()[static_cast<size_t>(n)].name);
    });
}

void TMainForm::wwDBGrid1CalcTitleAttributes(DBGrid* grid, const QString& fieldName, QColor& background)
{
    // Page 4's titles mark the order of the forum list on view.
    const Table* table = baseTable(gridBase(grid, pageBase(kForumPage)));
    if (!table || !table->isOpen())
        return;
    const QString first =
        TdbIndex::OrderFirstField(indexInfo(*table), QString::fromStdString(table->indexName()), QString());
    if (!first.isEmpty() && fieldName.toUpper() == first.toUpper())
        background = QColor(255, 255, 0);
}

} // namespace tv::app
