#!/usr/bin/env bash
# Screenshots of the three programs as a user sees them: during a run (the
# text beside the bar), after "Interrompi" and, for Varnel and Tessily,
# after "Ripristina". Each program runs in a folder laid out from the
# samples, under Xvfb with openbox, driven with xdotool; the whole screen
# is taken with ImageMagick's import into docs/screenshots/.
#
#   scripts/screenshots.sh [build-dir]     (default: build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/docs/screenshots"
work="$(mktemp -d)"
mkdir -p "$out"

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

# The whole screen, trimmed to the windows on it.
shot() {
  import -window root "$out/$1.png"
  convert "$out/$1.png" -trim +repage "$out/$1.png"
  echo "docs/screenshots/$1.png"
}
# The program's window, once it is mapped.
window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
start() {
  (cd "$1" && exec "./$2") &
  program=$!
}
stop_program() {
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  program=""
}
v5() {  # a version-5 database encrypted with $2
  { printf "PRAGMA key = '%s';\nPRAGMA cipher_compatibility = 3;\n" "$2"; cat "$root/samples/schema/v5.sql"; } |
    sqlcipher "$1" >/dev/null
}

# --- Varnel: a large version-4 archive into an empty version-5 database.
dir="$work/varnel"
mkdir -p "$dir/Dati"
cp "$build/migrate/Varnel" "$root/samples/Varnel.ini" "$dir/"
v5 "$dir/Dati/agenzia5.db" 'Agenzia5!'
# Named like PREFILE, so that its password is known; the header says SQLite.
python3 "$root/samples/v4gen/gen_v4.py" --out "$dir/archivio4.mdb" --size bench >/dev/null
start "$dir" Varnel
w="$(window '^Varnel - ')"
click "$w" 422 66                          # ".." beside "File Origine"
sleep 1.5
xdotool type --delay 5 "$dir/archivio4.mdb"
xdotool key Return
sleep 1.5
click "$w" 308 184                         # Avvia
sleep 1
xdotool key Return                         # Sì
sleep 4
shot varnel-run
click "$w" 308 184                         # Interrompi
sleep 2
shot varnel-stop
xdotool key alt+r                          # Ripristina
sleep 4
shot varnel-restored
xdotool key Return
sleep 1
shot varnel-after
stop_program

# --- Tessily: 3,000,000 customers from a SQLite file into tblAnClienti.
dir="$work/tessily"
mkdir -p "$dir/Dati"
cp "$build/import/Tessily" "$root/samples/Tessily.ini" "$dir/"
cp -r "$root/samples/Tpl" "$dir/"
v5 "$dir/Dati/archivio.db" 'tessily'
sqlcipher "$dir/clienti.sqlite" >/dev/null <<'SQL'
CREATE TABLE Anagrafe (Codice TEXT, Cognome TEXT, Nome TEXT);
WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 3000000)
INSERT INTO Anagrafe SELECT 'C' || i, 'Cognome ' || i, 'Nome ' || i FROM k;
SQL
start "$dir" Tessily
w="$(window '^Tessily - ')"
click "$w" 636 75                          # ".." beside "File Origine"
sleep 1.5
xdotool type --delay 5 "$dir/clienti.sqlite"
xdotool key Return
sleep 1.5
click "$w" 88 198; sleep 0.5; xdotool key Down Return          # slot 1: Codice
click "$w" 249 198; sleep 0.5; xdotool key Down Down Return     # slot 2: Cognome
click "$w" 410 198; sleep 0.5; xdotool key Down Down Down Return  # slot 3: Nome
click "$w" 500 532                         # Avvia
sleep 1
xdotool key Return                         # Sì
sleep 2.5
shot tessily-run
click "$w" 500 532                         # Interrompi
sleep 2
shot tessily-stop
xdotool key alt+r                          # Ripristina
sleep 4
shot tessily-restored
xdotool key Return
stop_program

# --- Quillon: the sample archive with 800,000 more customers.
dir="$work/quillon"
bash "$root/samples/upgrade/make_samples.sh" "$dir" >/dev/null
cp "$build/upgrade/Quillon" "$dir/"
sqlcipher "$dir/Dati/archivio.db" >/dev/null <<'SQL'
PRAGMA key = 'quillon';
PRAGMA cipher_compatibility = 3;
WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 800000)
INSERT INTO tblAnClienti (sCodice, sDenominazione) SELECT 'Q' || i, 'Cliente ' || i FROM k;
SQL
start "$dir" Quillon
w="$(window '^Quillon - ')"
click "$w" 308 148                         # Avvia
sleep 1
xdotool key Return                         # Sì
sleep 2
shot quillon-run
click "$w" 308 148                         # Interrompi
sleep 2
shot quillon-stop
xdotool key Return
sleep 1
shot quillon-after
stop_program
