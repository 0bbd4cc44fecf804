#!/usr/bin/env bash
# Installs what Kadrum needs to build on Debian 12, then builds it into
# build/. With --tests it also installs what only the tests need: the
# PostgreSQL server programs, without the default cluster Debian would
# otherwise create and start, the ODBC driver manager and the MariaDB,
# PostgreSQL and SQLite ODBC drivers, and the MariaDB server programs,
# neither started nor enabled (the tests run throwaway servers of their own).
# Packages already installed are not installed again.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  cmake ninja-build g++ pkg-config
  dpkg-dev                    # dpkg-buildflags: Debian's hardening flags for Release builds
  libsqlite3-dev sqlite3      # the embedded engine, and its shell to look at results
  libpq-dev                   # the PostgreSQL engine's client library
  unixodbc-dev                # the ODBC engine's driver manager
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
  # Debian starts a server package's service unless policy-rc.d forbids it:
  # a temporary one forbids it for this install only, then the service is
  # disabled so that no boot starts it either.
  odbc=(unixodbc odbc-mariadb odbc-postgresql libsqliteodbc mariadb-server mariadb-client)
  if ! dpkg-query -W -f='${Status}' mariadb-server 2>/dev/null | grep -q "install ok installed"; then
    policy=/usr/sbin/policy-rc.d
    if [ ! -e "$policy" ]; then
      trap '$sudo rm -f "$policy"' EXIT
      printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
      $sudo chmod 755 "$policy"
    fi
    scripts/install-packages.sh "${odbc[@]}"
    if [ "$(trap -p EXIT)" ]; then $sudo rm -f "$policy"; trap - EXIT; fi
    if command -v systemctl >/dev/null; then $sudo systemctl disable mariadb >/dev/null 2>&1 || true; fi
  fi
  scripts/install-packages.sh "${odbc[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
