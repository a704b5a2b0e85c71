#!/usr/bin/env bash
# lumbrik-check.exe writing to a console, which a terminal is under Wine: the
# results go through the console in UTF-16 and come out in the terminal's
# UTF-8, Chinese included; progress is redrawn at most ten times a second on
# the console's error stream, and a summary follows.
#   console.sh EMULATOR CHECKER VOUCHER
set -euo pipefail
emulator=$1 checker=$2 voucher=$3
files=1000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/v"
# A few processes, each writing 250 copies.
seq -f "$work/v/%04g.png" 1 $files | xargs -n 250 sh -c 'tee "$@" <"$0" >/dev/null' "$voucher"

start=$(date +%s%N)
status=0
script -qec "$emulator $checker -j2 $work/v" "$work/typescript" >/dev/null || status=$?
seconds=$(( ($(date +%s%N) - start) / 1000000000 + 1 ))
fail() { echo "FAIL: $*"; tail -c 2000 "$work/typescript"; exit 1; }

[ $status -eq 0 ] || fail "exit status $status, not 0"
grep -q "“0001.png”没有被篡改。" "$work/typescript" || fail "no Chinese verdict in the terminal's UTF-8"
grep -q "$files checked: $files intact, 0 altered, 0 not vouchers, 0 unreadable, in " "$work/typescript" || fail "no summary"
redraws=$(grep -o "/$files checked, " "$work/typescript" | wc -l)
[ "$redraws" -ge 1 ] && [ "$redraws" -le $((10 * seconds + 2)) ] || fail "$redraws redraws in $seconds s"
echo "ok: $redraws redraws in at most $seconds s, then the summary"
