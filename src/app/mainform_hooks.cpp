// Small commands of the main window that belong to no other concern: the hidden file-open
// button and the memo panes switching the clipboard tools.

#include "app/mainform.h"

#include <QFileDialog>

namespace tv::app {

void TMainForm::btnOpenClick()
{
    QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("All Files (*.*)"));
}

void TMainForm::DBMemo1Enter() { SetClipboardTools(true); }
void TMainForm::DBMemo1Exit() { SetClipboardTools(false); }

} // namespace tv::app
