#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program as a user gets it: installed into a prefix, and packaged.
#
#   check.sh tree           install into $INSTALL_PREFIX (no build), every file there
#   check.sh programs       the installed kz and kz-sim: --help, --version with no
#                           display, man pages, the desktop entry's command
#   check.sh desktop-entry  the installed desktop entry
#   check.sh metainfo       the installed AppStream metainfo
#   check.sh package        the Debian packages cpack makes of the build, checked
#                           by lintian where it is installed
#   check.sh cleanup        removes $INSTALL_PREFIX
#
# tests/CMakeLists.txt passes the build's layout in INSTALL_* variables. Exit
# status 77 is a skip: a tool the check needs is not installed.
set -u

prefix=$INSTALL_PREFIX
entry=$prefix/$INSTALL_DATADIR/applications/$INSTALL_APP_ID.desktop
metainfo=$prefix/$INSTALL_DATADIR/metainfo/$INSTALL_APP_ID.metainfo.xml
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

finish() {
  [ "$failures" -eq 0 ] || exit 1
  echo "PASS: ${1:-}"
  exit 0
}

skip() {
  echo "SKIP: $*"
  exit 77
}

# What each package holds, relative to the prefix.
package_files() {
  echo "$INSTALL_DATADIR/doc/$1/copyright"
  echo "$INSTALL_DATADIR/doc/$1/changelog.Debian.gz"
  case $1 in
  kz)
    echo "$INSTALL_BINDIR/kz"
    echo "$INSTALL_DATADIR/applications/$INSTALL_APP_ID.desktop"
    echo "$INSTALL_DATADIR/metainfo/$INSTALL_APP_ID.metainfo.xml"
    echo "$INSTALL_DATADIR/icons/hicolor/scalable/apps/kz.svg"
    for size in 16 32 48 256; do
      echo "$INSTALL_DATADIR/icons/hicolor/${size}x$size/apps/kz.png"
    done
    echo "$INSTALL_MANDIR/man1/kz.1.gz"
    ;;
  kz-sim)
    echo "$INSTALL_BINDIR/kz-sim"
    echo "$INSTALL_MANDIR/man1/kz-sim.1.gz"
    ;;
  kz-browser)
    echo "$INSTALL_PLUGIN"
    ;;
  kz-readings)
    echo "$INSTALL_READINGS_PLUGIN"
    ;;
  esac
}

# Every long option and KZ_ variable that a program's --help names must be
# in its man page.
check_man_page() {
  local program=$1 help=$2 page=$prefix/$INSTALL_MANDIR/man1/$1.1.gz
  local text name
  text=$(gzip -dc "$page" | sed 's/\\-/-/g') || { fail "cannot read $page"; return; }
  for name in $(grep -oE -- '--[a-z][a-z-]*|KZ_[A-Z_]+' <<<"$help" | sort -u); do
    grep -qE -- "(^|[^A-Za-z_-])$name([^A-Za-z_-]|$)" <<<"$text" \
      || fail "$program --help names $name, its man page does not"
  done
  # The release's date, and the exit statuses that --help gives.
  grep -qE '^\.TH [^ ]+ 1 "[0-9]{4}-[0-9]{2}-[0-9]{2}"' <<<"$text" \
    || fail "$program's man page carries no date"
  grep -q '^Exit status:' <<<"$help" || fail "$program --help gives no exit status"
  for name in $(sed -n '/^Exit status:/,/^$/s/^  \([0-9]\)  .*/\1/p' <<<"$help"); do
    sed -n '/^\.SH EXIT STATUS/,/^\.SH [^E]/p' <<<"$text" | grep -qx "\.B $name" \
      || fail "$program --help gives exit status $name, its man page does not"
  done
}

case "${1:-}" in
tree)
  rm -rf "$prefix"
  # Component by component, as the packages have them: a file in none would
  # be missing here as from the packages. It also leaves the build's
  # install_manifest.txt to the user's own install.
  for component in $INSTALL_COMPONENTS; do
    if ! log=$("$INSTALL_CMAKE" --install "$INSTALL_BUILD_DIR" --prefix "$prefix" \
      --component "$component" 2>&1); then
      echo "$log"
      fail "cmake --install --component $component failed"
    fi
  done
  for package in $INSTALL_PACKAGES; do
    for file in $(package_files "$package"); do
      [ -f "$prefix/$file" ] || fail "not installed: $file"
    done
  done
  [ -x "$prefix/$INSTALL_BINDIR/kz" ] || fail "kz is not executable"
  finish "installed into $prefix"
  ;;

programs)
  kz=$prefix/$INSTALL_BINDIR/kz
  sim=$prefix/$INSTALL_BINDIR/kz-sim
  # As over ssh: no display of any kind, and no platform chosen for Qt.
  nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u KZ_PLUGIN_DIR)
  for program in "$kz" "$sim"; do
    name=$(basename "$program")
    version=$("${nodisplay[@]}" "$program" --version 2>/dev/null)
    status=$?
    [ "$status" -eq 0 ] || fail "$name --version ended with status $status"
    [ "$version" = "$name $INSTALL_VERSION" ] \
      || fail "$name --version printed '$version', not '$name $INSTALL_VERSION'"
    help=$("${nodisplay[@]}" "$program" --help 2>/dev/null)
    status=$?
    [ "$status" -eq 0 ] || fail "$name --help ended with status $status"
    grep -q -- '--version' <<<"$help" || fail "$name --help printed no options: $help"
    check_man_page "$name" "$help"
  done

  # The desktop entry's command, found on the PATH as the desktop finds it,
  # is the installed kz, which finds the plugin installed with it.
  command=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ *%[A-Za-z]//g')
  [ -n "$command" ] || fail "no Exec line in $entry"
  found=$(PATH="$prefix/$INSTALL_BINDIR:$PATH" command -v "${command%% *}")
  [ "$found" = "$kz" ] || fail "the desktop entry's command '$command' is '$found', not $kz"
  report=$(cd "$prefix" && PATH="$prefix/$INSTALL_BINDIR:$PATH" \
    env -u KZ_PLUGIN_DIR -u KZ_NO_WEBENGINE QT_QPA_PLATFORM=offscreen \
    timeout 60 $command --startup-report 2>/dev/null)
  status=$?
  [ "$status" -eq 0 ] || fail "'$command --startup-report' ended with status $status"
  grep -q '^kz: first paint;' <<<"$report" || fail "no first paint: $report"
  if [ -n "${INSTALL_PLUGIN:-}" ]; then
    # The program names its files by their real paths.
    plugin="kz: browser plugin $(realpath "$prefix")/$INSTALL_PLUGIN"
    grep -qxF "$plugin" <<<"$report" || fail "expected '$plugin' in: $report"
  fi

  # Unattended, as tools/pagepictures.sh runs it: a search that finds no KZ
  # waits for no click and saves the start screen all the same, and an
  # unknown page ends the program before any search, naming the pages.
  ports=$(mktemp -d "$INSTALL_BUILD_DIR/no-kz.XXXXXX")
  offscreen=(env KZ_PORT_DIR="$ports" QT_QPA_PLATFORM=offscreen "$kz" --screenshot "$ports/start.png")
  (cd "$ports" && "${offscreen[@]}" >/dev/null 2>&1)
  status=$?
  [ "$status" -eq 1 ] && [ -s "$ports/start.png" ] \
    || fail "kz --screenshot with no KZ: status $status, not 1 with the start screen saved"
  message=$(cd "$ports" && "${offscreen[@]}" --page "no such page" 2>&1 >/dev/null)
  status=$?
  [ "$status" -eq 2 ] && grep -qF '"SET UP", "Word List"' <<<"$message" \
    || fail "kz --page 'no such page': status $status, not 2 with the pages listed: $message"
  rm -rf "$ports"
  finish "kz and kz-sim as installed"
  ;;

desktop-entry)
  [ -f "$entry" ] || { fail "no $entry"; finish; }
  for line in "Name=KZ" "Categories=Utility;Electronics;" "Terminal=false"; do
    grep -qxF "$line" "$entry" || fail "no line '$line' in $entry"
  done
  grep -q '^Comment=.' "$entry" || fail "no comment in $entry"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -f "$prefix/$INSTALL_DATADIR/icons/hicolor/scalable/apps/$icon.svg" ] \
    || fail "the icon '$icon' is not installed"
  [ "$failures" -eq 0 ] || exit 1
  command -v desktop-file-validate >/dev/null \
    || skip "desktop-file-validate is not installed (Debian: desktop-file-utils)"
  desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
  finish "$entry"
  ;;

metainfo)
  [ -f "$metainfo" ] || { fail "no $metainfo"; finish; }
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$prefix/$INSTALL_DATADIR/applications/$launchable" ] \
    || fail "the metainfo launches '$launchable', which is not installed"
  grep -q '<screenshot type="default">' "$metainfo" || fail "no screenshot in $metainfo"
  [ "$failures" -eq 0 ] || exit 1
  command -v appstreamcli >/dev/null || skip "appstreamcli is not installed (Debian: appstream)"
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
  finish "$metainfo"
  ;;

package)
  for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (Debian: dpkg-dev)"
  done
  out=$(mktemp -d "$INSTALL_BUILD_DIR/package-check.XXXXXX")
  trap 'rm -rf "$out"' EXIT
  if ! log=$("$INSTALL_CPACK" -G DEB --config "$INSTALL_BUILD_DIR/CPackConfig.cmake" -B "$out" 2>&1); then
    echo "$log"
    fail "cpack failed"
    finish
  fi
  arch=$(dpkg --print-architecture)
  for package in $INSTALL_PACKAGES; do
    deb=$out/${package}_${INSTALL_PACKAGE_VERSION}_$arch.deb
    [ -f "$deb" ] || { fail "no $(basename "$deb") in: $(ls "$out")"; continue; }
    contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
    for file in $(package_files "$package"); do
      grep -qxF "./usr/$file" <<<"$contents" || fail "$package lacks /usr/$file"
    done
  done
  deb=$out/kz_${INSTALL_PACKAGE_VERSION}_$arch.deb
  depends=$(dpkg-deb -f "$deb" Depends)
  # The font by name; the Qt libraries only through dpkg-shlibdeps. Speech
  # and the browser's libraries come with their own packages, not with kz.
  grep -qF "fonts-liberation (>= 1:2) | fonts-liberation2" <<<"$depends" \
    || fail "kz does not depend on Liberation 2 under either of its names: $depends"
  for package in libqt6widgets6 libqt6serialport6; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "kz does not depend on $package: $depends"
  done
  for package in libespeak-ng1 libqt6multimedia6 libqt6webenginewidgets6 libqcustomplot2.1-qt6; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" && fail "kz depends on $package: $depends"
  done
  # Each dependency names a package of the system that built it (the Qt
  # libraries' names differ between releases): one of each alternative is
  # installed here.
  for deb in "$out"/*.deb; do
    while IFS= read -r alternatives; do
      found=
      for name in $(sed -E 's/\([^)]*\)//g; s/[|:]/ /g' <<<"$alternatives"); do
        if [ "$name" = kz ] || dpkg-query -W -f='${Status}' "$name" 2>/dev/null \
          | grep -q "install ok installed"; then
          found=1
        fi
      done
      [ -n "$found" ] || fail "$(basename "$deb") depends on $alternatives, not installed here"
    done < <(dpkg-deb -f "$deb" Depends | sed 's/, /\n/g')
  done
  deb=$out/kz_${INSTALL_PACKAGE_VERSION}_$arch.deb
  recommends=$(dpkg-deb -f "$deb" Recommends)
  for package in $INSTALL_PACKAGES; do
    [ "$package" = kz ] || grep -qF "$package (= $INSTALL_PACKAGE_VERSION)" <<<"$recommends" \
      || fail "kz does not recommend $package $INSTALL_PACKAGE_VERSION: $recommends"
  done
  # A plugin's package depends on kz and on the libraries named.
  plugin_depends() {
    local name=$1 dependency
    shift
    depends=$(dpkg-deb -f "$out/${name}_${INSTALL_PACKAGE_VERSION}_$arch.deb" Depends)
    for dependency in "kz (= $INSTALL_PACKAGE_VERSION)" "$@"; do
      grep -qF "$dependency" <<<"$depends" || fail "$name does not depend on $dependency: $depends"
    done
  }
  if [ -n "${INSTALL_PLUGIN:-}" ]; then
    plugin_depends kz-browser libqt6webenginewidgets6
  fi
  if [ -n "${INSTALL_READINGS_PLUGIN:-}" ]; then
    plugin_depends kz-readings libqcustomplot2.1-qt6 libqt6svg6
  fi
  # Debian's package checker, informational tags shown too; any error or
  # warning fails.
  if command -v lintian >/dev/null; then
    report=$(lintian --pedantic --display-info --fail-on error,warning "$out"/*.deb 2>&1) \
      || fail "lintian --pedantic reports errors or warnings"
    # Run as root, it says that it would rather not be, and goes on.
    report=$(grep -v '^running with root privileges' <<<"$report")
    echo "lintian: ${report:-no tags}"
  else
    echo "lintian is not installed (Debian: lintian): the packages were not checked by it"
  fi
  finish "$(cd "$out" && echo *.deb)"
  ;;

cleanup)
  rm -rf "$prefix"
  ;;

*)
  echo "usage: $0 tree|programs|desktop-entry|metainfo|package|cleanup" >&2
  exit 2
  ;;
esac
