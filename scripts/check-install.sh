#!/usr/bin/env bash
# Checks what installing and packaging Kadrum produce, from a finished build:
#  - `cmake --install` into a temporary DESTDIR, under two prefixes: exactly
#    the expected files, all below the prefix; the desktop entry passes
#    desktop-file-validate, the AppStream metainfo `appstreamcli validate
#    --pedantic`; every manual page renders with `groff -man -ww` without a
#    warning; the installed programs print the project version;
#  - `cpack -G DEB`: two packages, kadrum-cli and kadrum; each one's Depends
#    (from dpkg-shlibdeps; no Qt for kadrum-cli), Recommends and file list;
#    lintian --pedantic shows no tag that is not overridden (an error or a
#    warning, above all); the programs unpacked from them run; both install
#    side by side into a throwaway dpkg root;
#  - a window-less build (-DKADRUM_BUILD_WINDOW=OFF) makes the same
#    kadrum-cli package;
#  - the systemd units of kadrum-cli pass `systemd-analyze verify`, start
#    the program installed below the prefix, and the package enables and
#    starts nothing (no maintainer scripts, nothing below /etc).
# Usage: scripts/check-install.sh [build folder, default build/]
# Installs the Debian packages the checks need (not needed to build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")

"$root/scripts/install-packages.sh" desktop-file-utils groff-base dpkg-dev file lintian appstream \
  systemd

work=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-check-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME COMMAND...: runs the command, counts and reports it
  local name=$1
  shift
  if "$@" > "$work/out" 2>&1; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
    sed 's/^/     /' "$work/out"
  fi
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
window=no
[ -x "$build/src/window/qt/kadrum" ] && window=yes

# The files of a package below the prefix, one per line.
package_files() {  # package_files kadrum-cli|kadrum
  local program=$1
  echo "bin/$program"
  echo "share/man/de/man1/$program.1.gz"
  echo "share/man/man1/$program.1.gz"
  echo "share/bash-completion/completions/$program"
  echo "share/doc/$program/copyright"
  echo "share/doc/$program/changelog.gz"
  echo "share/lintian/overrides/$program"
  if [ "$program" = kadrum-cli ]; then
    echo "lib/systemd/system/kadrum-follow@.service"
    echo "lib/systemd/system/kadrum-load@.service"
    echo "lib/systemd/system/kadrum-load@.timer"
  fi
  [ "$program" = kadrum ] || return 0
  echo share/applications/org.kadrum.Kadrum.desktop
  echo share/metainfo/org.kadrum.Kadrum.metainfo.xml
  for size in 16 22 24 32 48 64 128 256; do
    echo "share/icons/hicolor/${size}x${size}/apps/org.kadrum.Kadrum.png"
  done
  echo share/icons/hicolor/scalable/apps/org.kadrum.Kadrum.svg
}

# The files an installation holds: kadrum-cli's, and with the window kadrum's.
expected_files() {  # expected_files WINDOW
  package_files kadrum-cli
  [ "$1" = no ] || package_files kadrum
}

same_files() {  # same_files WINDOW|PACKAGE LISTFILE: the list is exactly the expected one
  local want
  case $1 in
    yes | no) want=$(expected_files "$1") ;;
    *) want=$(package_files "$1") ;;
  esac
  diff <(echo "$want" | LC_ALL=C sort) <(LC_ALL=C sort "$2")
}

installed_below() {  # installed_below DESTDIR PREFIX LISTFILE
  local outside
  outside=$(cd "$1" && find . ! -type d | sed 's|^\./|/|' | grep -v "^$2/" || true)
  [ -z "$outside" ] || { echo "outside $2:"; echo "$outside"; return 1; }
  (cd "$1$2" && find . ! -type d | sed 's|^\./||') > "$3"
}

# The check functions run inside `if`, where `set -e` does not act: each
# failing step returns by itself.
validate_desktop_entry() {
  local entry=$1
  desktop-file-validate "$entry" || return 1
  grep -qx 'Exec=kadrum' "$entry" || { echo "no Exec=kadrum"; return 1; }
  grep -qx 'Icon=org.kadrum.Kadrum' "$entry" || { echo "another Icon"; return 1; }
  for key in Name Comment; do
    grep -q "^$key=" "$entry" && grep -q "^$key\[de\]=" "$entry" \
      || { echo "$key or $key[de] missing"; return 1; }
  done
}

render_without_warning() {  # the page, as man would render it, warnings as errors
  local warnings
  warnings=$(zcat "$1" | groff -man -ww -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || { echo "$warnings"; return 1; }
}

# lintian, every tag shown (infos and pedantic ones too): what is not fixed
# must be overridden in the package, with a comment saying why.
lintian_clean() {
  local tags
  tags=$(lintian --display-info --pedantic --fail-on error,warning "$1" 2> "$work/lintian.err") \
    || { echo "$tags"; cat "$work/lintian.err"; return 1; }
  [ -z "$tags" ] || { echo "$tags"; return 1; }
}

prints_version() {  # prints_version PROGRAM NAME
  local shown
  shown=$("$1" --version)
  [ "$shown" = "$2 $version" ] || { echo "got '$shown', want '$2 $version'"; return 1; }
}

for prefix in /usr /opt/kadrum; do
  dest="$work/install$(echo "$prefix" | tr / _)"
  DESTDIR="$dest" cmake --install "$build" --prefix "$prefix" > /dev/null
  check "install $prefix: files below the prefix" installed_below "$dest" "$prefix" "$work/list"
  check "install $prefix: expected files" same_files "$window" "$work/list"
done
dest="$work/install_usr/usr"
if [ "$window" = yes ]; then
  check "desktop entry" validate_desktop_entry "$dest/share/applications/org.kadrum.Kadrum.desktop"
  check "AppStream metainfo" appstreamcli validate --no-net --pedantic \
    "$dest/share/metainfo/org.kadrum.Kadrum.metainfo.xml"
fi
for page in "$dest"/share/man/man1/*.gz "$dest"/share/man/de/man1/*.gz; do
  check "man page ${page#"$dest"/share/man/}" render_without_warning "$page"
done

# options_described PAGE: every option --help names has its entry under
# OPTIONS (OPTIONEN) of the page.
options_described() {
  local options section missing=""
  options=$("$build/src/cli/kadrum-cli" --help | sed -nE 's/^  (-[a-z], )?(--[a-z][a-z-]*).*/\2/p')
  section=$(zcat "$1" | awk '/^\.SH/ { inside = ($2 == "OPTIONS" || $2 == "OPTIONEN") } inside' \
    | sed 's/\\-/-/g')
  for option in $options; do
    grep -qF -- "$option" <<< "$section" || missing="$missing $option"
  done
  [ -z "$missing" ] || { echo "not under OPTIONS:$missing"; return 1; }
}
for page in "$dest"/share/man/man1/kadrum-cli.1.gz "$dest"/share/man/de/man1/kadrum-cli.1.gz; do
  check "man page ${page#"$dest"/share/man/}: every option of --help" options_described "$page"
done

# units_verified PREFIX DESTDIR: systemd-analyze verify accepts each unit (as
# an instance "lab", the way an administrator enables it), and ExecStart
# names the kadrum-cli installed below the prefix. The check runs the built
# program in its place, since verify looks for it on this system.
units_verified() {
  local prefix=$1 dest=$2 units=$work/units unit name
  rm -rf "$units" && mkdir "$units"
  for unit in "$dest$prefix"/lib/systemd/system/kadrum-*; do
    name=$(basename "$unit")
    grep -q '^ExecStart=' "$unit" || [[ $name == *.timer ]] || { echo "$name: no ExecStart"; return 1; }
    if grep '^ExecStart=' "$unit" | grep -vq "^ExecStart=$prefix/bin/kadrum-cli "; then
      echo "$name does not start $prefix/bin/kadrum-cli"
      return 1
    fi
    sed "s|^ExecStart=$prefix/bin/kadrum-cli|ExecStart=$build/src/cli/kadrum-cli|" "$unit" \
      > "$units/${name/@./@lab.}"
  done
  systemd-analyze verify --man=no "$units"/*
}
for prefix in /usr /opt/kadrum; do
  check "systemd units below $prefix: systemd-analyze verify" units_verified "$prefix" \
    "$work/install$(echo "$prefix" | tr / _)"
done

# enables_nothing DEB: no maintainer script (which could enable or start a
# unit) and no file below /etc (where an enabled unit's link lives).
enables_nothing() {
  local scripts
  scripts=$(dpkg-deb --ctrl-tarfile "$1" | tar -t | grep -E 'preinst|postinst|prerm|postrm' || true)
  [ -z "$scripts" ] || { echo "maintainer scripts: $scripts"; return 1; }
  if dpkg-deb -c "$1" | awk '{ print $6 }' | grep -q '^\./etc/'; then
    echo "files below /etc"
    return 1
  fi
}

# cpack_in BUILD OUT: both packages (or kadrum-cli alone) into OUT.
cpack_in() {
  (cd "$1" && cpack -G DEB -B "$2" > "$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log"; failed=$((failed + 1)); return 1; }
}

# package_checks FOLDER NAME: Depends, Recommends, files, lintian, and the
# program unpacked from it.
package_checks() {
  local name=$2 deb
  deb=$(echo "$1/${name}_${version}_"*.deb)
  check "$name: package file" test -f "$deb"
  [ -f "$deb" ] || return 0
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "     $name Depends: $depends"
  check "$name: Depends has libc6, libstdc++6, libsqlite3-0" \
    bash -c '[[ $0 == *"libc6 ("* && $0 == *"libstdc++6 ("* && $0 == *"libsqlite3-0 ("* ]]' "$depends"
  check "$name: Depends has no development package" bash -c '[[ $0 != *-dev* ]]' "$depends"
  if [ "$name" = kadrum ]; then
    check "$name: Depends has Qt's widgets" bash -c '[[ $0 == *"libqt6widgets6 ("* ]]' "$depends"
    check "$name: Recommends kadrum-cli, fonts-wine" \
      test "$(dpkg-deb -f "$deb" Recommends)" = "kadrum-cli, fonts-wine"
  else
    check "$name: Depends has no Qt" bash -c '[[ $0 != *libqt6* ]]' "$depends"
  fi
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' > "$work/deb-list"
  check "$name: package files" same_files "$name" "$work/deb-list"
  check "$name: lintian" lintian_clean "$deb"
  check "$name: enables and starts nothing" enables_nothing "$deb"
  dpkg-deb -x "$deb" "$work/unpacked-$name"
  check "$name: $name --version" prints_version "$work/unpacked-$name/usr/bin/$name" "$name"
}

# Both packages into an empty dpkg database: no file in both, and each one's
# files as expected. Dependencies are not there, hence --force-depends.
install_side_by_side() {
  local root=$work/dpkg-root package
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  dpkg --root="$root" --force-depends -i "$@" || return 1
  for package in kadrum-cli kadrum; do
    dpkg --root="$root" -L "$package" | while read -r path; do
      [ -d "$root$path" ] || echo "${path#/usr/}"
    done > "$work/root-list" || return 1
    same_files "$package" "$work/root-list" || return 1
  done
}

if [ "$window" = yes ]; then
  cpack_in "$build" "$work/deb" || true
  package_checks "$work/deb" kadrum-cli
  package_checks "$work/deb" kadrum
  check "both packages install side by side" install_side_by_side \
    "$work/deb/kadrum-cli_${version}_"*.deb "$work/deb/kadrum_${version}_"*.deb
  # The same sources without the window: the same kadrum-cli package.
  cmake -S "$root" -B "$work/cli-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKADRUM_BUILD_WINDOW=OFF -DKADRUM_BUILD_TESTS=OFF > /dev/null
  cmake --build "$work/cli-build" -j2 > "$work/cli-build.log" 2>&1 \
    || { cat "$work/cli-build.log"; exit 1; }
  cpack_in "$work/cli-build" "$work/deb-cli" || true
  package_checks "$work/deb-cli" kadrum-cli
  same_control() {  # the control fields that make it the same package
    local field
    for field in Package Version Architecture Depends Section Description; do
      [ "$(dpkg-deb -f "$1" "$field")" = "$(dpkg-deb -f "$2" "$field")" ] \
        || { echo "$field differs"; return 1; }
    done
  }
  check "window-less build: the same kadrum-cli package" same_control \
    "$work/deb/kadrum-cli_${version}_"*.deb "$work/deb-cli/kadrum-cli_${version}_"*.deb
else
  cpack_in "$build" "$work/deb" || true
  package_checks "$work/deb" kadrum-cli
fi

echo "check-install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
