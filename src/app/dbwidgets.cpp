#include "app/dbwidgets.h"

#include "app/widgets.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableWidget>

namespace tv::app {

namespace {

void tagData(QWidget* w, const char* objectName, int base, const char* field)
{
    name(w, objectName);
    w->setProperty("DataBase", base);
    if (field)
        w->setProperty("DataField", QString::fromLatin1(field));
}

// Width of n average characters of the widget's font, as the column widths are given.
int charsWidth(const QWidget* w, int n)
{
    return QFontMetrics(w->font()).averageCharWidth() * n + 4;
}

} // namespace

QWidget* makeGrid(QWidget* parent, const char* objectName, int base, const GridColumn* begin, const GridColumn* end,
                  bool readOnly)
{
    auto* g = new QTableWidget(parent);
    tagData(g, objectName, base, nullptr);
    g->setProperty("Tag", base);
    g->setColumnCount(static_cast<int>(end - begin));
    QStringList titles, fields;
    for (const GridColumn* c = begin; c != end; ++c) {
        titles << QString::fromLatin1(c->title);
        fields << QString::fromLatin1(c->field);
    }
    g->setHorizontalHeaderLabels(titles);
    g->setProperty("Columns", fields);
    g->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    g->verticalHeader()->setDefaultSectionSize(QFontMetrics(g->font()).height() + 4);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    int i = 0;
    for (const GridColumn* c = begin; c != end; ++c, ++i)
        g->setColumnWidth(i, charsWidth(g, c->widthChars));
    if (readOnly)
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return g;
}

QWidget* makeDbEdit(QWidget* parent, const char* objectName, int base, const char* field, int width, bool readOnly,
                    int maxLength)
{
    auto* e = new QLineEdit(parent);
    tagData(e, objectName, base, field);
    e->setReadOnly(readOnly);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->resize(width, 21);
    return e;
}

QWidget* makeDbMemo(QWidget* parent, const char* objectName, int base, const char* field, bool readOnly)
{
    auto* m = new QPlainTextEdit(parent);
    tagData(m, objectName, base, field);
    m->setReadOnly(readOnly);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return m;
}

QWidget* makeDbCombo(QWidget* parent, const char* objectName, int base, const char* field, int width, int maxLength,
                     const QStringList& items)
{
    auto* c = new QComboBox(parent);
    tagData(c, objectName, base, field);
    c->setEditable(true);
    c->addItems(items);
    c->setMaxVisibleItems(8);
    c->setInsertPolicy(QComboBox::NoInsert);
    if (c->lineEdit())
        c->lineEdit()->setMaxLength(maxLength);
    c->setCurrentIndex(-1);
    c->resize(width, 21);
    return c;
}

QWidget* makeDbText(QWidget* parent, const char* objectName, int base, const char* field)
{
    auto* l = new QLabel(parent);
    tagData(l, objectName, base, field);
    return l;
}

QWidget* makeDbImage(QWidget* parent, const char* objectName, int base, const char* field)
{
    auto* l = new QLabel(parent);
    tagData(l, objectName, base, field);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setScaledContents(true);
    return l;
}

namespace {

class Splitter : public QFrame {
public:
    Splitter(QWidget* parent, QWidget* target) : QFrame(parent), m_target(target)
    {
        const bool vertical = alignOf(target) == Align::Left || alignOf(target) == Align::Right;
        m_vertical = vertical;
        setAlign(this, alignOf(target));
        resize(3, 3);
        setCursor(vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override { m_start = e->globalPosition().toPoint(); m_drag = true; }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (!m_drag || !m_target)
            return;
        m_drag = false;
        const QPoint d = e->globalPosition().toPoint() - m_start;
        if (m_vertical)
            m_target->resize(std::max(0, m_target->width() + d.x()), m_target->height());
        else
            m_target->resize(m_target->width(), std::max(0, m_target->height() + d.y()));
    }

private:
    QWidget* m_target;
    bool m_vertical = true;
    bool m_drag = false;
    QPoint m_start;
};

} // namespace

QWidget* makeSplitter(QWidget* parent, const char* objectName, QWidget* target)
{
    auto* s = new Splitter(parent, target);
    name(s, objectName);
    return s;
}

void rebindControls(QWidget* root, int fromBase, int toBase)
{
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->property("DataBase").toInt() == fromBase)
            w->setProperty("DataBase", toBase);
    }
}

void bindControls(QWidget*) {}

} // namespace tv::app
