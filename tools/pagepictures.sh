#!/usr/bin/env bash
# Draws a picture of each of the window's seven pages into docs/pages/, as
# the program shows them against the simulated KZ, offscreen. Run from the
# top of the source tree after a build (./kz.sh installs the fonts used).
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/pages
mkdir -p "$out"
while IFS='|' read -r caption file; do
  QT_QPA_PLATFORM=offscreen ./build/kz --simulate --screenshot "$out/$file.png" --page "$caption" \
    >/dev/null 2>"$out/.log" || { cat "$out/.log" >&2; exit 1; }
  rm -f "$out/.log"
  echo "$out/$file.png: $caption"
done <<'PAGES'
COM|com
KZ|kz
SET UP|setup
Word List|wordlist
PK|pk
About The KZ|about
Log File|logfile
PAGES
