#!/usr/bin/env bash
# Lays out demo/ with Varnel, its INI, an empty encrypted version-5 database
# and two version-4 archives (the real Access one and a generated SQLite
# one, both with the password "vup"), then starts Varnel there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DAGENCY_BUILD_TESTS=OFF >/dev/null
cmake --build build-demo --target Varnel -j2

rm -rf demo
mkdir -p demo/Dati
cp build-demo/migrate/Varnel demo/
cp samples/Varnel.ini demo/

# The empty version-5 database, encrypted with the password that
# Varnel.ini holds hex-encoded in DBPWD ("Agenzia5!").
{
  printf "PRAGMA key = 'Agenzia5!';\nPRAGMA cipher_compatibility = 3;\n"
  cat samples/schema/v5.sql
} | sqlcipher demo/Dati/agenzia5.db >/dev/null

# The version-4 archives.
if [ -f samples/v4/archivio4.mdb ]; then
  cp samples/v4/archivio4.mdb demo/
else
  echo "demo: samples/v4/archivio4.mdb is missing; only the SQLite archive is laid out" >&2
fi
python3 samples/v4gen/gen_v4.py --out demo/archivio4.sqlite

echo "demo laid out in $root/demo"
cd demo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: start it with  xvfb-run -a ./Varnel  or on a desktop session" >&2
  exit 0
fi
exec ./Varnel
