#!/usr/bin/env bash
# Shows Pelmora.exe at work: builds everything, makes a sample rename session on the Wine
# prefix's drive C: (a folder of photos that the multi-rename tool renamed, its rename log in
# the tool's own form with an older session before the last one, Pelmora.ini beside the
# program), runs the program under Wine on its own Xvfb display, saves a screenshot of the
# result list, prints the list's lines and the folder before and after, and closes the list.
#   tools/run-pelmora.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

. "$root/tools/build-tree.sh"
build_tree_ready run-pelmora "$build"

. "$root/tools/wine-env.sh"
wine_env_enter run-pelmora "$build"

probe() { wine "$build/bin/winprobe.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" | head -n1; }

# ---------------------------------------------------------------- the sample session
demo=$WINEPREFIX/drive_c/PelmoraDemo
rm -rf "$demo"
mkdir -p "$demo/Pelmora" "$demo/Holiday Photos" "$demo/Documents" "$demo/Rename Logs"
cp "$build/bin/Pelmora.exe" "$demo/Pelmora/"

photos='C:\PelmoraDemo\Holiday Photos'
docs='C:\PelmoraDemo\Documents'
log='C:\PelmoraDemo\Rename Logs\multirename.log'
# Old names and the names the last session gave them; the older session renamed documents.
renames=("IMG_0412.jpg|Lisbon 01 - Tram.jpg" "IMG_0413.jpg|Lisbon 02 - Alfama (Αλφάμα).jpg"
         "IMG_0415.jpg|Lisbon 03 - Belém Tower.jpg" "IMG_0419.jpg|Lisbon 04 - Pôr do sol.jpg")
older=("notes.txt|2024-04 Σημειώσεις.txt" "budget.csv|2024-04 予算.csv")

# The log as the tool writes it: UTF-8 without a byte-order mark, CR LF line ends, a header
# line before each session, and "OK      ", "FAILED  " or "SKIPPED " before each rename.
line() { printf '%-8s%s\\%s -> %s\r\n' "$1" "$2" "$3" "$4"; }
{
  printf ';28.04.2024 09:12:03 - Multi-Rename\r\n'
  for pair in "${older[@]}"; do
    line OK "$docs" "${pair%%|*}" "${pair#*|}"
    printf 'kept by an older session\r\n' >"$demo/Documents/${pair#*|}"
  done
  printf ';01.05.2024 13:45:10 - Multi-Rename\r\n'
  for pair in "${renames[@]}"; do
    line OK "$photos" "${pair%%|*}" "${pair#*|}"
    printf 'photo %s\r\n' "${pair%%|*}" >"$demo/Holiday Photos/${pair#*|}"
  done
  # A rename that failed (the name was taken): the photo kept its old name.
  line FAILED "$photos" "IMG_0420.jpg" "Lisbon 04 - Pôr do sol.jpg"
  printf 'photo IMG_0420.jpg\r\n' >"$demo/Holiday Photos/IMG_0420.jpg"
  # Two photos that swapped names, through a temporary name.
  line OK "$photos" "Sintra A.jpg" "~MR0001.tmp"
  line OK "$photos" "Sintra B.jpg" "Sintra A.jpg"
  line OK "$photos" "~MR0001.tmp" "Sintra B.jpg"
  printf 'photo Sintra A.jpg\r\n' >"$demo/Holiday Photos/Sintra B.jpg"
  printf 'photo Sintra B.jpg\r\n' >"$demo/Holiday Photos/Sintra A.jpg"
} >"$demo/Rename Logs/multirename.log"
printf '[Settings]\r\nTextFile=%s\r\nMoveLogFile=True\r\n' "$log" >"$demo/Pelmora/Pelmora.ini"

show_folders() {
  local folder
  for folder in "Holiday Photos" "Documents" "Rename Logs"; do
    echo "  C:\\PelmoraDemo\\$folder"
    (cd "$demo/$folder" && find . -mindepth 1 | sed 's|^\./|      |' | sort)
  done
}

echo
echo "Rename log C:\\PelmoraDemo\\Rename Logs\\multirename.log:"
sed 's/\r$//; s/^/  /' "$demo/Rename Logs/multirename.log"
echo
echo "Before:"
show_folders

# ---------------------------------------------------------------- the run
wine "$demo/Pelmora/Pelmora.exe" </dev/null >/dev/null 2>&1 &
program=$!
stop_program() { kill "$program" 2>/dev/null || true; }

main=$(probe wait --class Kelv6oran4 --title-exact "KVT - Pelmora.exe" --hidden --timeout 60000) || true
pid=$(field pid <<<"$main")
box=
if [ -n "$pid" ]; then
  box=$(probe wait --class "#32770" --pid "$pid" --timeout 60000) || true
fi
hwnd=$(field hwnd <<<"$box")
if [ -z "$hwnd" ]; then
  echo "run-pelmora: the result list did not appear" >&2
  stop_program
  exit 1
fi
sleep 0.5                                        # let the list paint before the picture
shot=$build/pelmora-result.png
import -window root "$shot"

echo
echo "Result list: $(sed 's/.* text=//' <<<"$box")"
if ! items=$(probe items --hwnd "$hwnd" --id 101); then
  echo "run-pelmora: Pelmora.exe showed another box instead of the result list:" >&2
  probe dump --hwnd "$hwnd" | sed 's/.* text=/  /' >&2
  stop_program
  exit 1
fi
sed 's/.* text=//; s/\\\\/\\/g; s/^/  /' <<<"$items"

probe click --hwnd "$hwnd" --button OK >/dev/null
set +e
wait "$program"
status=$?
set -e

echo
echo "After:"
show_folders
echo
echo "Screenshot of the result list: $shot"
echo "Pelmora.exe ended with exit code $status"
exit "$status"
