#!/usr/bin/env bash
# Installs what Kadrum needs to build on Debian 12, then builds it into
# build/. With --tests it also installs what only the tests need: the
# PostgreSQL server programs, without the default cluster Debian would
# otherwise create and start (the tests run a throwaway server of their own).
# Packages already installed are not installed again.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  cmake ninja-build g++ pkg-config
  dpkg-dev                    # dpkg-buildflags: Debian's hardening flags for Release builds
  libsqlite3-dev sqlite3      # the embedded engine, and its shell to look at results
  libpq-dev                   # the PostgreSQL engine's client library
  libgtest-dev                # unit tests
  qt6-base-dev                # the window and its tests (Qt Test)
  locales                     # localedef, for the tests with a German locale
  fonts-wine                  # a Tahoma for the window
)
scripts/install-packages.sh "${packages[@]}"
if [ "${1:-}" = "--tests" ]; then
  # postgresql-common first, so that its setting can forbid the main cluster
  # before a server package would create one.
  scripts/install-packages.sh postgresql-common
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo sed -ri 's/^#?[[:space:]]*create_main_cluster[[:space:]]*=.*/create_main_cluster = false/' \
    /etc/postgresql-common/createcluster.conf
  scripts/install-packages.sh postgresql
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
