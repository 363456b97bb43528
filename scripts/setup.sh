#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need.
# Idempotent: packages already present are left alone. Run as root.
#
# SQLCipher comes from the release's backports suite (4.6): the release's own
# 3.4.1 carries an SQLite of 2016. The backports entry is pinned so that only
# the SQLCipher packages are taken from it.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  googletest libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libsqlcipher-dev sqlcipher
  mdbtools mdbtools-dev
  unixodbc unixodbc-dev odbc-postgresql postgresql
  libfreexl-dev libcsv-dev
  libshp-dev  # the tests' dBASE fixtures only
  xvfb xauth openbox x11-apps imagemagick
  locales fonts-dejavu-core
  python3 xdotool
)
# The libFuzzer targets (bench/fuzz.sh) need clang; tests and demo do not.
if [ "${AGENCY_SETUP_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-dev)
fi

sqlcipher_min=4.6

as_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: $1; run this script as root" >&2
    exit 1
  fi
}

# apt with a few retries: a slow mirror must not fail a whole CI run.
apt_retry() {
  local try
  for try in 1 2 3 4; do
    if apt-get -o Acquire::Retries=3 -o Acquire::http::Timeout=60 "$@"; then
      return 0
    fi
    echo "setup: apt-get $1 failed (try $try), retrying" >&2
    sleep $((try * 10))
  done
  return 1
}

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
backports_list=/etc/apt/sources.list.d/agency-backports.sources
backports_pin=/etc/apt/preferences.d/agency-sqlcipher
need_update=0
if [ "$codename" = bookworm ] && [ ! -f "$backports_list" ]; then
  as_root "the backports suite for SQLCipher $sqlcipher_min is not configured"
  cat > "$backports_list" <<EOF
Types: deb
URIs: http://deb.debian.org/debian
Suites: ${codename}-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  cat > "$backports_pin" <<EOF
Package: sqlcipher libsqlcipher-dev libsqlcipher1
Pin: release n=${codename}-backports
Pin-Priority: 990

Package: *
Pin: release n=${codename}-backports
Pin-Priority: 100
EOF
  need_update=1
fi

sqlcipher_version() {
  dpkg-query -W -f='${Version}' libsqlcipher-dev 2>/dev/null || true
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ! dpkg --compare-versions "$(sqlcipher_version)" ge "$sqlcipher_min" 2>/dev/null; then
  missing+=(libsqlcipher-dev sqlcipher)
fi

if [ "${#missing[@]}" -gt 0 ]; then
  as_root "missing packages (${missing[*]})"
  export DEBIAN_FRONTEND=noninteractive
  apt_retry update -qq
  need_update=0
  apt_retry install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ "$need_update" = 1 ]; then
  apt_retry update -qq
fi

if ! dpkg --compare-versions "$(sqlcipher_version)" ge "$sqlcipher_min" 2>/dev/null; then
  echo "setup: SQLCipher $sqlcipher_min or later is needed, found '$(sqlcipher_version)'" >&2
  exit 1
fi

# Italian locale for the date label and Qt's Italian translation.
if ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    sed -i 's/^# *it_IT.UTF-8 UTF-8/it_IT.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^it_IT.UTF-8 UTF-8' /etc/locale.gen || echo 'it_IT.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  fi
fi
