#!/usr/bin/env bash
# Makes the sample files of Quillon in OUTDIR (default: the current folder):
#   OUTDIR/Quillon.ini            the configuration (from samples/Quillon.ini)
#   OUTDIR/Dati/archivio.db       a version-5 archive, encrypted with the
#                                 configured password, with rows in it
#   OUTDIR/Dati/archivio.db.upg   the upgrade template: the new structure,
#                                 delivered plain (unencrypted)
# Files of an earlier sample run in OUTDIR/Dati (archive, template, backup)
# are replaced. Needs the sqlcipher shell.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
samples="$(cd "$here/.." && pwd)"
out="${1:-.}"
password="quillon"   # DBPWD of Quillon.ini, decoded

mkdir -p "$out/Dati"
cp "$samples/Quillon.ini" "$out/Quillon.ini"
archive="$out/Dati/archivio.db"
rm -f "$archive" "$archive"-journal "$archive.upg" "$archive.upg"-journal "$archive.bak" "$archive.upg.tmp"

# Cipher settings of the engine (SQLCipher 3 compatible), stated rather than
# left to the shell's defaults.
{
  echo "PRAGMA key = '$password';"
  echo "PRAGMA cipher_compatibility = 3;"
  echo "BEGIN;"
  cat "$samples/schema/v5.sql" "$here/archive_data.sql"
  echo "COMMIT;"
} | sqlcipher -bail "$archive" >/dev/null

# The new structure drops the principals' fax number.
{
  echo "BEGIN;"
  awk '/^CREATE TABLE "tblAnMandanti"/ { t = 1 }
       t && /"sFax"/ { next }
       /^\);/ { t = 0 }
       { print }' "$samples/schema/v5.sql"
  cat "$here/template_changes.sql"
  echo "COMMIT;"
} | sqlcipher -bail "$archive.upg" >/dev/null

echo "Quillon samples in $out: Quillon.ini, Dati/archivio.db, Dati/archivio.db.upg"
