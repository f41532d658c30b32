#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the README's pictures of the window, offscreen: the start screen as a
# search that finds no KZ leaves it (docs/start.png), the window as it first
# shows connected to the simulated KZ (docs/kz-connected.png, also the
# metainfo's screenshot), and each of its seven pages into docs/pages/. Run
# from the top of the source tree after a build (./kz.sh installs the fonts
# used).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p docs/pages
log=$(mktemp)
ports=$(mktemp -d)
trap 'rm -rf "$log" "$ports"' EXIT

# draw FILE EXPECTED-STATUS [kz options]
draw() {
  local file=$1 expected=$2 status=0
  rm -f "$file"
  QT_QPA_PLATFORM=offscreen ./build/kz --screenshot "$file" "${@:3}" >/dev/null 2>"$log" || status=$?
  [ "$status" -eq "$expected" ] && [ -s "$file" ] || { cat "$log" >&2; exit 1; }
  echo "$file"
}

KZ_PORT_DIR=$ports draw docs/start.png 1
draw docs/kz-connected.png 0 --simulate
while IFS='|' read -r caption file; do
  draw "docs/pages/$file.png" 0 --simulate --page "$caption"
done <<'PAGES'
COM|com
KZ|kz
SET UP|setup
Word List|wordlist
PK|pk
About The KZ|about
Log File|logfile
PAGES
