#!/usr/bin/env bash
# build-windows.sh: cross-builds Kadrum for 64-bit Windows into build-windows/
# with MinGW-w64 (cmake/mingw-w64-x86_64.cmake), then packs the installer
# and the zip. Installs what it needs with apt-get. SQLite comes from
# Debian's own source package, made into the amalgamation once and kept in
# build-windows/sqlite/ for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
mkdir -p "$out"

scripts/install-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine64 wine \
  nsis zip googletest dpkg-dev tcl gcc make xvfb icoutils libsqliteodbc unixodbc

amalgamation=$out/sqlite/amalgamation
if [ ! -f "$amalgamation/sqlite3.c" ]; then
  # A private apt configuration with source entries copied from the
  # machine's own Debian entries: the machine's apt setup stays as it is.
  apt_dir=$out/sqlite/apt
  rm -rf "$out/sqlite"
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/source"
  found=0
  for entries in /etc/apt/sources.list.d/*.sources; do
    [ -f "$entries" ] || continue
    grep -q 'debian' "$entries" || continue
    sed -E 's/^Types:.*$/Types: deb-src/' "$entries" > "$apt_dir/parts/$(basename "$entries")"
    found=1
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$apt_dir/parts/sources.list" || true
    [ -s "$apt_dir/parts/sources.list" ] && found=1
  fi
  [ "$found" = 1 ] || { echo "build-windows.sh: no Debian entries in /etc/apt" >&2; exit 1; }
  apt_options=(-o "Dir::Etc::SourceParts=$apt_dir/parts" -o Dir::Etc::SourceList=/dev/null
               -o "Dir::State::Lists=$apt_dir/lists")
  # apt's download user cannot enter a folder of root's.
  [ "$(id -u)" -ne 0 ] || apt_options+=(-o APT::Sandbox::User=root)
  apt-get "${apt_options[@]}" -qq update
  (cd "$apt_dir/source" && apt-get "${apt_options[@]}" -qq source --download-only sqlite3 \
     && { dpkg-source -x ./*.dsc tree >dpkg-source.log 2>&1 || { cat dpkg-source.log >&2; exit 1; }; })
  # Debian builds its library without the amalgamation; the same tree makes
  # it with "make sqlite3.c" (tclsh joins the sources).
  mkdir -p "$apt_dir/make"
  (cd "$apt_dir/make" && "$apt_dir/source/tree/configure" --disable-tcl --disable-readline >/dev/null \
     && make -j2 sqlite3.c >/dev/null)
  mkdir -p "$amalgamation.new"
  cp "$apt_dir/make/sqlite3.c" "$apt_dir/make/sqlite3.h" "$amalgamation.new/"
  mv "$amalgamation.new" "$amalgamation"
  rm -rf "$apt_dir"
fi

cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKADRUM_SQLITE_AMALGAMATION="$amalgamation" >/dev/null
cmake --build "$out" -j2 --target all windows_packages
ls "$out"/kadrum-*-win64-setup.exe "$out"/kadrum-*-win64.zip
