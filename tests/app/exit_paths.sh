#!/usr/bin/env bash
# The real program, on a virtual desktop with a window manager, ends with exit code 0
# every way a user ends it: "Отмена" at the login, "Выход" in the journal's menu, Esc in
# the journal, closing the journal's window, and the end the version gate gives a build
# older than the database's.
set -uo pipefail
TABEL=$1
source "$(dirname "$0")/../deploy/lib.sh"
need_test_server
WORK=$(mktemp -d /tmp/tabel-exit.XXXXXX)
CLIENT= XVFB= WM=
cleanup() {
  [ -n "$CLIENT" ] && kill -9 "$CLIENT" 2>/dev/null
  [ -n "$WM" ] && kill "$WM" 2>/dev/null
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null
  wait 2>/dev/null
  drop_db exit_paths
  rm -rf "$WORK"
}
trap cleanup EXIT

drop_db exit_paths
psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "create database exit_paths template $TABEL_TEST_TEMPLATE" || exit 1
printf 'server = 127.0.0.1\ndatabase = exit_paths\nport = %s\n' "$TABEL_TEST_PORT" >"$WORK/tabel.conf"

start_display 1400x900x24 || exit 1
# A Russian keyboard, as the plant's desktops have: the journal's Alt+В is typed on it.
setxkbmap -layout us,ru >/dev/null 2>&1
openbox >/dev/null 2>&1 &
WM=$!
sleep 0.5

start_client() {
  TABEL_CONFIG=$WORK/tabel.conf LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 QT_QPA_PLATFORM=xcb "$TABEL" \
    >"$WORK/client.log" 2>&1 &
  CLIENT=$!
}

# Waits for a window whose title matches, and gives it the focus; false when none came.
window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      xdotool windowactivate --sync "$id" >/dev/null 2>&1 || xdotool windowfocus "$id" >/dev/null 2>&1
      sleep 0.3
      return 0
    fi
    kill -0 "$CLIENT" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Sets CODE to the client's exit code once it has ended (within the seconds given); 255
# when it did not end.
exit_code() {
  CODE=255
  for _ in $(seq $(( $1 * 10 ))); do
    if ! kill -0 "$CLIENT" 2>/dev/null; then
      wait "$CLIENT" 2>/dev/null
      CODE=$?
      CLIENT=
      return
    fi
    sleep 0.1
  done
  kill -9 "$CLIENT" 2>/dev/null
  wait "$CLIENT" 2>/dev/null
  CLIENT=
}

log_in() {
  window '^Авторизация' || return 1
  xdotool type --delay 30 0583
  xdotool key Return
  window '^Табель$'
}

# Sends keys until the client ends (a window just shown may not take the first press).
press_until_gone() {
  for _ in 1 2 3 4 5; do
    xdotool key "$@"
    for _ in $(seq 20); do kill -0 "$CLIENT" 2>/dev/null || return 0; sleep 0.1; done
  done
}

ends_cleanly() {   # ends_cleanly DESCRIPTION: the client has ended with exit code 0
  exit_code 20
  check "$1 (exit code $CODE)" [ "$CODE" = 0 ]
  [ "$CODE" = 0 ] || cat "$WORK/client.log"
}

start_client
window '^Авторизация \(build' && press_until_gone Escape
ends_cleanly "Отмена at the login ends the program"

start_client
log_in && press_until_gone alt+Cyrillic_ve
ends_cleanly "Выход in the journal's menu ends the program"

start_client
log_in && press_until_gone Escape
ends_cleanly "Esc in the journal ends the program"

start_client
log_in && wmctrl -c 'Табель'
ends_cleanly "closing the journal's window ends the program"

# A newer build has run against the database: this one is told so and ends by itself.
sql exit_paths "delete from accounts_dep.ver; insert into accounts_dep.ver(d, t) values (99991231, 235959)" >/dev/null
start_client
window '^Ошибка' >/dev/null
ends_cleanly "the version gate's end for an outdated build ends the program"

finish
