#include "maintips.h"

namespace tv {

QStringList mainWindowTipLines()
{
    return {
        QStringLiteral("Delphi Tip - To SET time/date in Delphi, try to use the SetTime and SetDate provided in \"\\delphi\\source\\rtl70\\windows\"."),
        QStringLiteral("Delphi Tip - To make more than one icon available for a program in the Program Manager's change icon dialog box, create the icons and include them in your Delphi source code with: {$R MYICONS.RES}"),
        QStringLiteral("TPV Tip - You can drill down your searches by repeating Filter function - it will combine the previous criteria with the new"),
        QStringLiteral("TPV Tip - if you used Filter, but want to see all records in the database again, use the Cancel Filter icon"),
        QStringLiteral("TPV Tip - want to change the order of the database, while in Grid view - click on the column title. If it is indexed, it will re-sort."),
        QStringLiteral("TPV Tip - if you want to switch from Grid view to Record View - double click on the Grid"),
        QStringLiteral("TPV Tip - if you want to mark a record in tyhe Grid, use the \"Set Bookmark\" icon, and then to return, click on \"Go to Bookmark\""),
        QStringLiteral("Delphi Tip - by right-hand clicking on the Delphi Toolbar, and selecting Properties, you can change your Speedbar icons"),
        QStringLiteral("Delphi Tip - to cast a floating point number (e.g. real) to an integer, use the trunc() or round() function"),
        QStringLiteral("Delphi Tip - Looking for an exponetial function? For ExpXY(X, Y) (i.e. Y^X), try: ExpXY := Exp(Y * Ln(X)) "),
    };
}

TTips* createTips1(QObject* owner)
{
    auto* tips = new TTips(owner);
    tips->setObjectName(QStringLiteral("Tips1"));
    tips->setTitle(QStringLiteral("Tip of the Day"));
    tips->setHeader(QStringLiteral("Tipvault"));
    tips->setTipHelp(QString());
    tips->setShowAtStart(true);
    tips->setTips(mainWindowTipLines());
    return tips;
}

} // namespace tv
