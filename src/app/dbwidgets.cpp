#include "app/dbwidgets.h"

#include "app/datamodule.h"
#include "app/widgets.h"
#include "data/catalogue.h"
#include "controls/winsplit.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"

namespace tv::app {

namespace {

QString latin1(std::string_view s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

template <class Control>
Control* bound(QWidget* parent, const char* objectName, int base, const char* field)
{
    auto* c = new Control(parent);
    name(c, objectName);
    c->setProperty("DataBase", base);
    if (field)
        c->setDataField(QString::fromLatin1(field));
    c->setDataSource(baseDataSource(base));
    return c;
}

void bind(QWidget* w, DataSource* source)
{
    if (auto* g = qobject_cast<DBGrid*>(w))
        g->setDataSource(source);
    else if (auto* e = qobject_cast<DBEdit*>(w))
        e->setDataSource(source);
    else if (auto* m = qobject_cast<DBMemo*>(w))
        m->setDataSource(source);
    else if (auto* c = qobject_cast<DBComboBox*>(w))
        c->setDataSource(source);
    else if (auto* t = qobject_cast<DBText*>(w))
        t->setDataSource(source);
    else if (auto* i = qobject_cast<DBImage*>(w))
        i->setDataSource(source);
}

} // namespace

DBGrid* makeGrid(QWidget* parent, const char* objectName, int base, bool readOnly)
{
    auto* g = new DBGrid(parent);
    name(g, objectName, base);
    g->setProperty("DataBase", base);
    QList<GridColumn> cols;
    // The list stays when a page rebinds the grid to another base (the forum page).
    if (const data::BaseDecl* decl = data::baseByNumber(base))
        for (const data::FieldDecl& f : decl->fields)
            if (f.visible)
                cols.push_back({latin1(f.name), f.displayWidth, latin1(data::displayLabel(f))});
    g->setColumns(cols);
    g->setReadOnly(readOnly);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    g->setDataSource(baseDataSource(base));
    return g;
}

DBEdit* makeDbEdit(QWidget* parent, const char* objectName, int base, const char* field, int width, bool readOnly,
                    int maxLength)
{
    auto* e = bound<DBEdit>(parent, objectName, base, field);
    e->setReadOnly(readOnly);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->resize(width, 21);
    return e;
}

DBMemo* makeDbMemo(QWidget* parent, const char* objectName, int base, const char* field, bool readOnly)
{
    auto* m = bound<DBMemo>(parent, objectName, base, field);
    m->setReadOnly(readOnly);
    return m;
}

QWidget* makeDbCombo(QWidget* parent, const char* objectName, int base, const char* field, int width, int maxLength,
                     const QStringList& items)
{
    auto* c = bound<DBComboBox>(parent, objectName, base, field);
    c->addItems(items);
    c->setMaxVisibleItems(8);
    c->setMaxLength(maxLength);
    c->resize(width, 21);
    return c;
}

DBComboDlg* makeDbDateEdit(QWidget* parent, const char* objectName, int base, const char* field, QSize size)
{
    auto* d = bound<DBComboDlg>(parent, objectName, base, field);
    d->resize(size);
    return d;
}

QWidget* makeDbText(QWidget* parent, const char* objectName, int base, const char* field)
{
    return bound<DBText>(parent, objectName, base, field);
}

QWidget* makeDbImage(QWidget* parent, const char* objectName, int base, const char* field)
{
    auto* i = bound<DBImage>(parent, objectName, base, field);
    i->setStretch(true);
    return i;
}

QWidget* makeSplitter(QWidget* parent, const char* objectName, QWidget* target)
{
    auto* s = new TWinSplit(parent);
    name(s, objectName);
    s->setBevelOuter(bvNone);
    s->setTargetControl(target);
    if (s->Vertical())
        s->resize(3, s->height());
    else
        s->resize(s->width(), 3);
    return s;
}

void rebindControls(QWidget* root, int fromBase, int toBase)
{
    DataSource* source = baseDataSource(toBase);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->property("DataBase").toInt() != fromBase)
            continue;
        w->setProperty("DataBase", toBase);
        bind(w, source);
    }
}

} // namespace tv::app
