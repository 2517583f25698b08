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

// Copies `from` to a new file `to` that only its owner can read or write, from its creation on.
bool copyPrivately(const QString& from, const QString& to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFile::NoError || out.write(bytes) != bytes.size() || !out.flush()) {
        out.close();
        QFile::remove(to);
        return false;
    }
    return true;
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
    // The user's notes are theirs alone: a folder made here is open to its owner only, and so
    // is every file copied into it.
    const QString parent = QFileInfo(QDir::cleanPath(to)).path();
    if (!QDir().mkpath(parent) || (!QFileInfo(to).isDir() && !QDir().mkdir(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
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
        if (!copyPrivately(QDir(from).filePath(name), part))
            return dest + QStringLiteral(": the private base cannot be copied there");
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
