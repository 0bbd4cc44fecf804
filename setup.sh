#!/usr/bin/env bash
# Installs what Kadrum needs to build and test on Debian 12, then builds it
# into build/. Packages already installed are not installed again.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev sqlite3      # the embedded engine, and its shell to look at results
  libgtest-dev                # unit tests
  qt6-base-dev                # the window and its tests (Qt Test)
  locales                     # localedef, for the tests with a German locale
  fonts-wine                  # a Tahoma for the window
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
