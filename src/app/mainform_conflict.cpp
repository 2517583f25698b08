// The question asked when a note is posted that another copy of the program saved since its
// editing began: nothing is overwritten without the user's word.

#include "app/mainform.h"
#include "platform/msg.h"

namespace tv::app {

void TMainForm::bindConflictQuestion()
{
    Table* t9 = baseTable(kPrivateBase);
    if (!t9)
        return;
    t9->setConflictHandler([this](const std::string&) {
        const int answer = msg::askOneOfThree(
            msg::Icon::Question, QStringLiteral("Confirm"),
            QStringLiteral("This note was changed by another copy of Tipvault since you began editing it.\n\n"
                           "Keep Mine: your edit replaces theirs.\n"
                           "Keep Theirs: your edit is dropped.\n"
                           "Keep Both: your edit is saved as a new note."),
            QStringLiteral("Keep Mine"), QStringLiteral("Keep Theirs"), QStringLiteral("Keep Both"), this);
        return answer == 0 ? PostConflict::KeepMine : answer == 1 ? PostConflict::KeepTheirs : PostConflict::KeepBoth;
    });
}

} // namespace tv::app
