#!/usr/bin/env bash
# tst_InstallDesktop: install-desktop.sh writes the entry for an installation
# folder that has moved, with its real paths, and refuses a folder without the program.
set -euo pipefail
script=$1 dist=$2
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$work/moved dir"
cp "$dist/KorConsole" "$dist/KorConsole.desktop" "$dist/KorConsole.png" "$work/moved dir/"
ln -s "$work/moved dir" "$work/link"
XDG_DATA_HOME="$work/data" bash "$script" "$work/link" >/dev/null
entry="$work/data/applications/KorConsole.desktop"
[ -f "$entry" ] || fail "no entry written"
real=$(realpath "$work/moved dir")
for line in "Exec=$real/KorConsole" "TryExec=$real/KorConsole" "Path=$real" "Icon=$real/KorConsole.png"; do
  grep -qxF "$line" "$entry" || fail "missing $line"
done
for key in 'Name\[ru\]=' 'Comment\[ru\]=' 'Keywords=' 'Keywords\[ru\]='; do
  grep -q "^$key" "$entry" || fail "missing $key"
done
# The Russian name and comment are Russian (Cyrillic letters begin with the byte D0 or D1 in UTF-8).
cyrillic=$'[\xd0\xd1]'
LC_ALL=C grep -q "^Name\[ru\]=.*$cyrillic" "$entry" || fail "Name[ru] is not Russian"
LC_ALL=C grep -q "^Comment\[ru\]=.*$cyrillic" "$entry" || fail "Comment[ru] is not Russian"
if XDG_DATA_HOME="$work/data" bash "$script" "$work" 2>/dev/null; then fail "a folder without the program was accepted"; fi
XDG_DATA_HOME="$work/data" bash "$script" --remove >/dev/null
[ ! -e "$entry" ] || fail "--remove left the entry"
echo "PASS"
