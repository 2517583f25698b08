// Commands whose work is done by the modules beside the main window (reports, ordering,
// the cross-base search). Each handler hands over to the hook that
// module installs; without a hook the command does nothing.

#include "app/mainform.h"

#include <QFileDialog>

namespace tv::app {

namespace {

template <typename Fn, typename... Args>
void call(const Fn& fn, Args&&... args)
{
    if (fn)
        fn(std::forward<Args>(args)...);
}

} // namespace

void TMainForm::btnDBIndexClick() { call(hooks().dbIndex, *this); }
void TMainForm::btnGOClick() { call(hooks().sweep, *this); }

void TMainForm::wwDBGrid1TitleButtonClick(DBGrid* grid, const QString& fieldName)
{
    call(hooks().titleButtonClick, *this, grid, fieldName);
}

void TMainForm::wwDBGrid1CalcTitleAttributes(DBGrid* grid, const QString& fieldName, QColor& background)
{
    if (hooks().calcTitleAttributes)
        hooks().calcTitleAttributes(*this, grid, fieldName, background);
}

void TMainForm::btnOpenClick()
{
    QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("All Files (*.*)"));
}

void TMainForm::DBMemo1Enter() { SetClipboardTools(true); }
void TMainForm::DBMemo1Exit() { SetClipboardTools(false); }

} // namespace tv::app
