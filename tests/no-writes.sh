#!/usr/bin/env bash
# Runs the command-line checker and the window through open and check under
# strace, and fails if either opens a file for writing, creates, renames or
# removes one. Qt's file-dialog history (QtProject.conf) is the toolkit's own.
#   no-writes.sh CHECKER WALKTHROUGH VOUCHER...
set -euo pipefail
checker=$1 walkthrough=$2
shift 2
command -v strace >/dev/null || { echo "strace is missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# One run first, so that caches the toolkit and fontconfig build once exist.
"$walkthrough" "$1" >/dev/null 2>&1 || true

writes='O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|^[0-9]+ +(creat|rename|renameat2?|unlink|unlinkat|rmdir|mkdir|mkdirat|link|linkat|symlink|symlinkat|truncate|ftruncate)\('
status=0
for prog in checker walkthrough; do
  for voucher in "$@"; do
    if [ $prog = checker ]; then cmd=("$checker" "$voucher"); else cmd=("$walkthrough" "$voucher"); fi
    strace -f -qq -o "$work/trace" -e trace=%file,ftruncate "${cmd[@]}" >/dev/null 2>&1 || true
    # The dialog history is saved through an unnamed file in ~/.config, then linked into place.
    found=$(grep -E "$writes" "$work/trace" \
      | grep -vE "QtProject\.conf|\"$HOME/\.config\", O_RDWR\|O_CLOEXEC\|O_TMPFILE|/dev/(null|tty|shm/)|= -1 E" || true)
    if [ -n "$found" ]; then
      echo "FAIL: $prog wrote while checking $voucher:"
      echo "$found"
      status=1
    else
      echo "ok: $prog checked $(basename "$voucher") without writing"
    fi
  done
done
exit $status
