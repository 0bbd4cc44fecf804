#!/usr/bin/env bash
# Checks what installing and packaging Kadrum produce, from a finished build:
#  - `cmake --install` into a temporary DESTDIR, under two prefixes: exactly
#    the expected files, all below the prefix; the desktop entry passes
#    desktop-file-validate; every manual page renders with `groff -man -ww`
#    without a warning; the installed programs print the project version;
#  - `cpack -G DEB`: the package's Depends (from dpkg-shlibdeps) and its file
#    list; the programs unpacked from it run;
#  - a window-less build (-DKADRUM_BUILD_WINDOW=OFF) packages kadrum-cli alone.
# Usage: scripts/check-install.sh [build folder, default build/]
# Installs the Debian packages the checks need (not needed to build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")

"$root/scripts/install-packages.sh" desktop-file-utils groff-base dpkg-dev file

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
[ -x "$build/src/app/kadrum" ] && window=yes

# The files below the prefix, one per line, sorted.
expected_files() {  # expected_files WINDOW
  echo bin/kadrum-cli
  echo share/man/de/man1/kadrum-cli.1.gz
  echo share/man/man1/kadrum-cli.1.gz
  [ "$1" = yes ] || return 0
  echo bin/kadrum
  echo share/applications/org.kadrum.Kadrum.desktop
  for size in 16 22 24 32 48 64 128 256; do
    echo "share/icons/hicolor/${size}x${size}/apps/org.kadrum.Kadrum.png"
  done
  echo share/icons/hicolor/scalable/apps/org.kadrum.Kadrum.svg
  echo share/man/de/man1/kadrum.1.gz
  echo share/man/man1/kadrum.1.gz
}

same_files() {  # same_files WINDOW LISTFILE: the list is exactly the expected one
  diff <(expected_files "$1" | LC_ALL=C sort) <(LC_ALL=C sort "$2")
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
fi
for page in "$dest"/share/man/man1/*.gz "$dest"/share/man/de/man1/*.gz; do
  check "man page ${page#"$dest"/share/man/}" render_without_warning "$page"
done

# package_checks BUILD NAME WINDOW: cpack there; package name, Depends, files,
# and the programs unpacked from it.
package_checks() {
  local build=$1 name=$2 window=$3 out="$work/deb-$2"
  (cd "$build" && cpack -G DEB -B "$out" > "$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log"; failed=$((failed + 1)); return; }
  local deb
  deb=$(echo "$out/${name}_${version}_"*.deb)
  check "$name: package file" test -f "$deb"
  [ -f "$deb" ] || return 0
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "     Depends: $depends"
  check "$name: Depends has libc6, libstdc++6, libsqlite3-0" \
    bash -c '[[ $0 == *"libc6 ("* && $0 == *"libstdc++6 ("* && $0 == *"libsqlite3-0 ("* ]]' "$depends"
  check "$name: Depends has no development package" bash -c '[[ $0 != *-dev* ]]' "$depends"
  if [ "$window" = yes ]; then
    check "$name: Depends has Qt's widgets" bash -c '[[ $0 == *"libqt6widgets6 ("* ]]' "$depends"
  else
    check "$name: Depends has no Qt" bash -c '[[ $0 != *libqt6* ]]' "$depends"
  fi
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' > "$work/deb-list"
  check "$name: package files" same_files "$window" "$work/deb-list"
  dpkg-deb -x "$deb" "$work/unpacked-$name"
  check "$name: kadrum-cli --version" prints_version "$work/unpacked-$name/usr/bin/kadrum-cli" kadrum-cli
  if [ "$window" = yes ]; then
    check "$name: kadrum --version" prints_version "$work/unpacked-$name/usr/bin/kadrum" kadrum
  fi
}

package_checks "$build" "$([ "$window" = yes ] && echo kadrum || echo kadrum-cli)" "$window"

if [ "$window" = yes ]; then
  # The same sources without the window: a package of kadrum-cli alone.
  cmake -S "$root" -B "$work/cli-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKADRUM_BUILD_WINDOW=OFF -DKADRUM_BUILD_TESTS=OFF > /dev/null
  cmake --build "$work/cli-build" -j2 > "$work/cli-build.log" 2>&1 \
    || { cat "$work/cli-build.log"; exit 1; }
  package_checks "$work/cli-build" kadrum-cli no
fi

echo "check-install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
