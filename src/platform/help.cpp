// Help commands: the help file opened with the desktop's handler.

#include "platform.h"
#include "platform/msg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tv::platform {

QString resolveHelpFile(const QString& helpFile)
{
    QFileInfo fi(helpFile);
    if (fi.isAbsolute())
        return fi.filePath();
    return QDir(QCoreApplication::applicationDirPath()).filePath(helpFile);
}

bool showHelp(QWidget* parent, const QString& helpFile, HelpCommand command)
{
    const QString path = resolveHelpFile(helpFile);
    QFileInfo fi(path);
    if (!fi.isFile() || !fi.isReadable()) {
        msg::notify(msg::Icon::Warning, QStringLiteral("Help"),
                    QStringLiteral("Cannot find the help file \"%1\".").arg(QDir::toNativeSeparators(path)), parent);
        return false;
    }
    // The desktop's handler opens the file; it has no separate topic finder, so both
    // commands open the same document.
    Q_UNUSED(command);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        msg::notify(msg::Icon::Warning, QStringLiteral("Help"),
                    QStringLiteral("No program is set up to open the help file \"%1\".")
                        .arg(QDir::toNativeSeparators(path)),
                    parent);
        return false;
    }
    return true;
}

} // namespace tv::platform
