#!/usr/bin/env bash
# kestrova.exe --simulate under Wine on the X display in DISPLAY (windows-tests.sh
# runs the Windows tests on Xvfb), driven by kestrova_drive_window.exe: the
# window opens, streams, closes on WM_CLOSE; the program ends with 0 and its
# settings are in the registry.
# Usage: window-under-wine.sh WINE KESTROVA.EXE DRIVE_WINDOW.EXE WINEPREFIX PICTURE.bmp
set -euo pipefail
wine=$1 program=$2 driver=$3 picture=$5
export WINEPREFIX=$4 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ]; then
  echo "window-under-wine: needs an X display (windows-tests.sh gives it Xvfb)" >&2
  exit 1
fi
key='HKCU\Software\Kestrova\Kestrova'
"$wine" reg delete "$key" /f > /dev/null 2>&1 || true

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$wine" "$program" --simulate -platform windows 2> "$log" &
program_pid=$!
status=0
"$wine" "$driver" "$picture" || status=$?
if [ "$status" -ne 0 ]; then
  kill "$program_pid" 2> /dev/null || true
  wait "$program_pid" || true
  echo "window-under-wine: the driver failed ($status); the program said:" >&2
  cat "$log" >&2
  exit 1
fi
program_status=0
wait "$program_pid" || program_status=$?
cat "$log"
if [ "$program_status" -ne 0 ]; then
  echo "window-under-wine: kestrova.exe ended with $program_status" >&2
  exit 1
fi
grep -q "kestrova: USB driver: the simulated unit" "$log"
settings=$("$wine" reg query "$key" /s 2> /dev/null | tr -d '\r')
for value in "Real Save File Path" "Time Index"; do
  if ! grep -qF "$value" <<< "$settings"; then
    echo "window-under-wine: no '$value' in the registry after the run; found:" >&2
    echo "$settings" >&2
    exit 1
  fi
done
echo "window-under-wine: streamed, closed on WM_CLOSE, exit 0, settings in $key"
