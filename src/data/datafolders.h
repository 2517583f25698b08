#pragma once
// Where the program finds its bases.
//
// - A program whose own folder holds any of the bases (the build tree, a portable copy) reads
//   and writes them all there.
// - An installed program (bin/tipvault beside share/tipvault) reads the read-only bases from
//   its data folder, share/tipvault, and keeps the private base in the user's data folder,
//   $XDG_DATA_HOME/tipvault (by default ~/.local/share/tipvault). The first start copies the
//   private base shipped in share/tipvault there (three example notes), into a folder open to
//   the user alone (0700, files 0600); a private base already there is never replaced.
// - Otherwise the program's own folder, where the start-up then finds nothing.

#include <QString>

namespace tv::data {

struct DataFolders {
    QString bases;        // the read-only bases
    QString privateBase;  // the folder of "private.db"
    QString problem;      // why the private base could not be put in place (empty: no problem)
};

// The folders for a program that lives in `programDir`; puts the private base in place when an
// installed program starts for the first time.
DataFolders locateDataFolders(const QString& programDir);

// The user's data folder of the program: $XDG_DATA_HOME/tipvault, ~/.local/share/tipvault when
// XDG_DATA_HOME is unset or not an absolute path.
QString userDataFolder();

// Copies the private base (private.db and its companion files) from `from` into `to` unless
// `to` already holds a private.db. A folder made for it is 0700, the copies are 0600. Returns what went wrong, empty on success.
QString providePrivateBase(const QString& from, const QString& to);

} // namespace tv::data
