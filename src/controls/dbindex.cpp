#include "controls/dbindex.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace tv {

TdbIndex::TdbIndex(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
    , m_menu(new QMenu(owner))
{
}

TdbIndex::~TdbIndex()
{
    delete m_menu;
}

void TdbIndex::setDataSource(TdbIndexSource* source)
{
    m_source = source;
    if (m_source && !m_source->IsLoading())
        BuildMenu();
}

void TdbIndex::Assign(const TdbIndex& other)
{
    m_options = other.m_options;
}

QString TdbIndex::EntryCaption(const TIndexInfo& def, TnavIndexOptions options)
{
    if (options.testFlag(ioShowFields))
        return def.Fields;
    if (!def.Name.isEmpty())
        return def.Name;
    if (options.testFlag(ioPrimaryIndex))
        return QStringLiteral("Primary Index");
    return def.Fields;
}

bool TdbIndex::IsCurrent(const TIndexInfo& def, const QString& indexName, const QString& indexFieldNames)
{
    if (!indexName.isEmpty())
        return def.Name == indexName;
    if (!indexFieldNames.isEmpty())
        return def.Fields == indexFieldNames;
    return def.Primary;
}

void TdbIndex::BuildMenu()
{
    if (!m_source || !m_source->IsTable() || !m_source->IsOpen() || !m_menu)
        return;
    m_menu->clear();
    m_defs = m_source->RefreshIndexDefs();
    for (int n = 0; n < m_defs.size(); ++n) {
        QAction* entry = m_menu->addAction(EntryCaption(m_defs.at(n), m_options));
        // Only the current index carries a mark; the others show no empty box beside them.
        entry->setCheckable(IsCurrentIndex(n));
        entry->setChecked(IsCurrentIndex(n));
        entry->setData(n);  // the entry's tag
        connect(entry, &QAction::triggered, this, [this, n] { ChooseIndex(n); });
    }
}

bool TdbIndex::IsCurrentIndex(int n) const
{
    if (!m_source || n < 0 || n >= m_defs.size())
        return false;
    return IsCurrent(m_defs.at(n), m_source->IndexName(), m_source->IndexFieldNames());
}

void TdbIndex::ChooseIndex(int n)
{
    if (!m_source || n < 0 || n >= m_defs.size() || IsCurrentIndex(n))
        return;
    m_source->SwitchToIndex(m_defs.at(n).Name);
}

void TdbIndex::Popup(const QPoint& screenPos)
{
    BuildMenu();
    if (!m_menu)
        return;
    // An empty menu is never shown: there is nothing to choose, and an empty pop-up would
    // only hold on to the mouse.
    if (!m_menu->isEmpty())
        m_menu->popup(screenPos);
}

int TdbIndex::FindIndexForField(const QList<TIndexInfo>& defs, const QString& field)
{
    auto qualifies = [&](const TIndexInfo& def) {
        return def.Fields.compare(field, Qt::CaseInsensitive) == 0
            || def.Fields.startsWith(field + QLatin1Char(';'), Qt::CaseInsensitive);
    };
    if (field.isEmpty())
        return -1;
    for (int n = 0; n < defs.size(); ++n)
        if (defs.at(n).CaseInsensitive && qualifies(defs.at(n)))
            return n;
    for (int n = 0; n < defs.size(); ++n)
        if (qualifies(defs.at(n)))
            return n;
    return -1;
}

QString TdbIndex::OrderFirstField(const QList<TIndexInfo>& defs, const QString& indexName,
                                  const QString& indexFieldNames)
{
    QString fields = indexFieldNames;
    if (fields.isEmpty()) {
        for (const TIndexInfo& def : defs) {
            const bool match = indexName.isEmpty()
                ? (def.Name.isEmpty() || def.Name == QLatin1String("PrimaryKey"))
                : def.Name == indexName;
            if (match) {
                fields = def.Fields;
                break;
            }
        }
    }
    return fields.section(QLatin1Char(';'), 0, 0);
}

} // namespace tv
