// Help commands: the user guide opened with the desktop's handler.

#include "platform.h"
#include "platform/msg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tv::platform {

QString resolveHelpFile(const QString& helpFile, HelpCommand command)
{
    const QFileInfo named(helpFile);
    QString page = named.completeBaseName().toLower();
    if (command == HelpCommand::Finder)
        page += QStringLiteral("-index");
    page += QStringLiteral(".html");
    if (named.isAbsolute())
        return named.dir().filePath(page);
    // Beside the program (a build, a portable copy), else in the installation's documentation
    // folder; when it is in neither, the place where an installation would have it.
    const QDir own(QCoreApplication::applicationDirPath());
    if (QFileInfo(own.filePath(page)).isFile())
        return own.filePath(page);
    const QString installed = QDir::cleanPath(own.filePath(QStringLiteral(TV_DOC_FROM_BIN "/") + page));
    return QFileInfo(QFileInfo(installed).path()).isDir() ? installed : own.filePath(page);
}

bool showHelp(QWidget* parent, const QString& helpFile, HelpCommand command)
{
    const QString path = resolveHelpFile(helpFile, command);
    const QFileInfo fi(path);
    if (!fi.isFile() || !fi.isReadable()) {
        msg::notify(msg::Icon::Warning, QStringLiteral("Help"),
                    QStringLiteral("Cannot find the help file \"%1\".").arg(QDir::toNativeSeparators(path)), parent);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        msg::notify(msg::Icon::Warning, QStringLiteral("Help"),
                    QStringLiteral("No program is set up to open the help file. Open \"%1\" in a web browser.")
                        .arg(QDir::toNativeSeparators(path)),
                    parent);
        return false;
    }
    return true;
}

} // namespace tv::platform
