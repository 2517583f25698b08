#include "data/datafolders.h"

#include "data/catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tv::data {

namespace {

QString fileNameOf(const BaseDecl& decl)
{
    return QString::fromLatin1(decl.fileName.data(), qsizetype(decl.fileName.size()));
}

bool holdsAnyBase(const QDir& dir)
{
    for (const BaseDecl& decl : bases())
        if (QFileInfo(dir.filePath(fileNameOf(decl))).isFile())
            return true;
    return false;
}

} // namespace

QString userDataFolder()
{
    QString root = qEnvironmentVariable("XDG_DATA_HOME");
    if (root.isEmpty() || QDir::isRelativePath(root))
        root = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(root + QStringLiteral("/tipvault"));
}

QString providePrivateBase(const QString& from, const QString& to)
{
    const QString privateFile = fileNameOf(*baseByNumber(kPrivateBase));
    const QDir target(to);
    if (QFileInfo::exists(target.filePath(privateFile)))
        return {};
    if (!QDir().mkpath(to))
        return to + QStringLiteral(": the folder for the private base cannot be made");

    // The table file goes last: until it is there, the copy counts as not made and the next
    // start makes it again. Each file is written aside first and then renamed into place.
    const QString stem = QFileInfo(privateFile).completeBaseName();
    QStringList files;
    for (const QFileInfo& f : QDir(from).entryInfoList(QDir::Files, QDir::Name))
        if (f.completeBaseName().compare(stem, Qt::CaseInsensitive) == 0 && f.fileName() != privateFile)
            files << f.fileName();
    files << privateFile;
    for (const QString& name : files) {
        const QString dest = target.filePath(name);
        const QString part = dest + QStringLiteral(".part");
        QFile::remove(part);
        if (!QFile::copy(QDir(from).filePath(name), part))
            return dest + QStringLiteral(": the private base cannot be copied there");
        QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        // A companion file left without its table belongs to no base: it is replaced. The table
        // itself is never replaced (another copy of the program may just have put it there).
        if (name != privateFile)
            QFile::remove(dest);
        if (!QFile::rename(part, dest)) {
            QFile::remove(part);
            if (!QFileInfo::exists(dest))
                return dest + QStringLiteral(": the private base cannot be copied there");
        }
    }
    return {};
}

DataFolders locateDataFolders(const QString& programDir)
{
    const QDir own(programDir);
    const QString shared = QDir::cleanPath(own.filePath(QStringLiteral(TV_DATA_FROM_BIN)));
    if (holdsAnyBase(own) || !QFileInfo(shared).isDir())
        return {programDir, programDir, {}};
    DataFolders folders{shared, userDataFolder(), {}};
    folders.problem = providePrivateBase(shared, folders.privateBase);
    return folders;
}

} // namespace tv::data
