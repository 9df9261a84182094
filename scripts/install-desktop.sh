#!/usr/bin/env bash
# Adds the console to the desktop's menu of the current user: writes
# KorConsole.desktop into ~/.local/share/applications (or $XDG_DATA_HOME)
# with the real paths of the installation folder, wherever it now lies.
#   scripts/install-desktop.sh [installation folder]   (default: build/dist)
#   scripts/install-desktop.sh --remove                 takes it out of the menu again
set -euo pipefail
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
target="$applications/KorConsole.desktop"
if [ "${1:-}" = "--remove" ]; then
  rm -f "$target"
  echo "removed $target"
  exit 0
fi
folder=$(realpath -e "${1:-$(dirname "$0")/../build/dist}") || {
  echo "install-desktop.sh: no installation folder ${1:-build/dist}" >&2; exit 1; }
entry="$folder/KorConsole.desktop"
for file in "$folder/KorConsole" "$entry"; do
  [ -e "$file" ] || { echo "install-desktop.sh: $file is missing: is $folder an installation folder?" >&2; exit 1; }
done
mkdir -p "$applications"
# The entry names the folder it was built in: every path key gets this folder.
sed -e "s|^TryExec=.*|TryExec=$folder/KorConsole|" \
    -e "s|^Exec=.*|Exec=$folder/KorConsole|" \
    -e "s|^Path=.*|Path=$folder|" \
    -e "s|^Icon=.*|Icon=$folder/KorConsole.png|" "$entry" > "$target.tmp"
mv "$target.tmp" "$target"
chmod 644 "$target"
if command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database -q "$applications" || true
fi
echo "$target"
