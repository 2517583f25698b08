# Shared by the scripts (sourced): running a command as root, and build folders made by root.

# Prints how to run the command "$*" as root: with sudo where it is there, else through su.
as_root_line() {
  if command -v sudo >/dev/null 2>&1; then
    echo "sudo $*"
  else
    echo "su -c \"$*\""
  fi
}

# Stops with the one command that gives the folders back to the user, when an earlier run as
# root left any of them (or anything in them) owned by root. Root itself is never stopped.
check_build_dirs() {
  [ "$(id -u)" -eq 0 ] && return 0
  local d
  for d in "$@"; do
    if [ -e "$d" ] && [ -n "$(find "$d" ! -user "$(id -u)" -print -quit 2>/dev/null)" ]; then
      echo "The build folder $PWD/$d was made by another user (an earlier run as root?)." >&2
      echo "Give it back to yourself with:" >&2
      echo "  $(as_root_line "chown -R $(id -un):$(id -gn) '$PWD/$d'")" >&2
      exit 1
    fi
  done
}
