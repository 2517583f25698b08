// The search of the "Sweep" page: one word looked for in a chosen field of several bases at
// once. The search keeps no list of its own; it replaces the base filter of every chosen base
// by one condition and applies it, so each base's page then shows only its hits.

#include "app/mainform.h"
#include "app/sweeptable.h"
#include "platform/msg.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QStringList>

#include <array>

namespace tv::app {

namespace {

// Items of "Search Type": "Exact Match", "Partial match at Beginning", "Partial match Anywhere".
constexpr FilterMatchType kSearchTypes[] = {fdMatchExact, fdMatchStart, fdMatchAny};

const QString kDone = QStringLiteral("             I am done               ");

// The field a group's chosen item searches, or nullptr for "Nothing" (or no valid choice).
const char* chosenField(const SweepBase& b, const QButtonGroup* items)
{
    const int item = items ? items->checkedId() : 0;
    if (item < 1 || item > static_cast<int>(b.fields.size()))
        return nullptr;
    return b.fields[static_cast<size_t>(item - 1)];
}

} // namespace

void TMainForm::btnGOClick()
{
    const int type = m_searchType->checkedId();
    const FilterMatchType match = kSearchTypes[type >= 0 && type < 3 ? type : 2];
    const std::string value = m_sweepWord->text().toStdString();
    QStringList unsearched;

    // A search in the private base filters it, which posts a note being edited there: its
    // typed text goes first, as for a move, before any base is searched.
    for (size_t i = 0; i < kSweepBases.size(); ++i) {
        const Table* t = baseTable(kSweepBases[i].base);
        if (kSweepBases[i].base == kPrivateBase && chosenField(kSweepBases[i], m_sweepChoices[i]) && t && t->isOpen()
            && !readyToLeaveNote(t, this))
            return;
    }

    for (size_t i = 0; i < kSweepBases.size(); ++i) {
        const SweepBase& b = kSweepBases[i];
        const char* field = chosenField(b, m_sweepChoices[i]);
        if (!field || !basePresent(b.base))
            continue;
        Table* table = baseTable(b.base);
        if (!table)
            continue;
        FieldCondition condition;
        condition.fieldName = field;
        condition.matchType = match;
        condition.value = value;
        // The earlier conditions go, whoever set them: searches never narrow each other.
        try {
            table->setFilterPastDamage({condition});
        } catch (const EngineError& err) {
            if (table->state() == TableState::Edit || table->state() == TableState::Insert) {
                // A pending change of the private base that cannot be posted: the base keeps
                // its filter and the edit, and the search stops here.
                markFoundWords();
                msg::error(QString::fromUtf8(err.what()), this);
                return;
            }
            // A base that cannot be read at all keeps the filter it had; the other bases are
            // searched all the same, and the closing message names it.
            unsearched << QStringLiteral("%1 could not be searched: %2").arg(QLatin1String(b.caption), QString::fromUtf8(err.what()));
            continue;
        }
        // Records whose memo cannot be read are no hits; the closing message says how many.
        if (const FilterDamage& damage = table->filterDamage(); damage.records > 0)
            unsearched << QStringLiteral("%1: %2 could not be searched: %3")
                              .arg(QLatin1String(b.caption),
                                   damage.records == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(damage.records),
                                   QString::fromStdString(damage.first));
        m_locateWords.erase(table);   // the word searched for now is the one to mark
    }
    markFoundWords();
    if (unsearched.isEmpty())
        msg::information(kDone, this);
    else
        msg::warning(kDone + QStringLiteral("\n\n") + unsearched.join(QLatin1Char('\n')), this);
}

} // namespace tv::app
