#!/usr/bin/env bash
# check-install.sh BUILD_DIR INSTALLED_TEST: installs the build into a scratch folder, checks
# that every file is in its standard place and that the desktop entry and AppStream data
# validate, starts the installed program offscreen, then runs INSTALLED_TEST from beside it.
set -euo pipefail
build=$1; probe=$2
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
id=org.tipvault.Tipvault
usr=$work/root/usr

DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
for f in bin/tipvault bin/tvdump share/tipvault/DTOPICS.DB share/tipvault/DELPNEWS.DBF share/tipvault/private.db \
         share/doc/tipvault/tipvault.html share/doc/tipvault/tipvault-index.html share/man/man1/tipvault.1 \
         share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml; do
  [ -f "$usr/$f" ] || { echo "FAIL: $f is not installed"; exit 1; }
done
desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate-tree --no-net "$work/root"

# The installed program starts, and its first start copies the private base to the user's
# folder (~/.local/share/tipvault when XDG_DATA_HOME is unset).
mine=$work/home/.local/share/tipvault
HOME=$work/home XDG_DATA_HOME= "$usr/bin/tipvault" & pid=$!
for _ in $(seq 600); do
  [ -f "$mine/private.db" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: the installed program ended"; exit 1; }
  sleep 0.1
done
[ -f "$mine/private.db" ] || { echo "FAIL: no private base in $mine"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the installed program ended"; exit 1; }
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
cmp -s "$mine/private.db" "$usr/share/tipvault/private.db" || { echo "FAIL: the private base is not the shipped one"; exit 1; }

# The notes are the user's alone: the folder 0700, every file in it 0600, also after a post.
private_modes() {
  [ "$(stat -c %a "$1")" = 700 ] || { echo "FAIL: $1 is $(stat -c %a "$1"), not 700"; exit 1; }
  for f in "$1"/*; do
    [ "$(stat -c %a "$f")" = 600 ] || { echo "FAIL: $f is $(stat -c %a "$f"), not 600"; exit 1; }
  done
}
private_modes "$mine"

# Posting a note, from beside the installed program, with the user's folder elsewhere.
cp "$probe" "$usr/bin/"
XDG_DATA_HOME=$work/data "$usr/bin/$(basename "$probe")"
private_modes "$work/data/tipvault"
