#!/usr/bin/env bash
# The package installed into a throwaway root: its own set-up script makes the plant's
# database on the test server, the administrator's edit of its setting file names that
# server, and the installed client, started without parameters as the menu starts it,
# opens its login window "Авторизация" on a virtual display.
set -uo pipefail
DEB=$1
source "$(dirname "$0")/lib.sh"
need_test_server
WORK=$(mktemp -d /tmp/tabel-deploy-client.XXXXXX)
CLIENT= XVFB=
cleanup() {
  [ -n "$CLIENT" ] && kill "$CLIENT" 2>/dev/null
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT" || { echo "the package does not unpack"; exit 1; }

DB=deploy_client
drop_db $DB
"$ROOT/usr/share/tabel/tabel-setup-server" --database $DB --demo --server-name 127.0.0.1 >"$WORK/setup" 2>&1
check "the packaged set-up script makes the database from the packaged files" [ "$?" = 0 ]
cat "$WORK/setup"

# The administrator's edit: the commented lines of the shipped file get values.
CONF=$ROOT/etc/tabel/tabel.conf
sed -i -e "s/^# *server *=.*/server = 127.0.0.1/" -e "s/^# *database *=.*/database = $DB/" \
       -e "s/^# *port *=.*/port = $TABEL_TEST_PORT/" "$CONF"
check "the shipped setting file has a line for each of server, database, port" \
  [ "$(grep -cE '^(server = 127.0.0.1|database = '$DB'|port = '$TABEL_TEST_PORT')$' "$CONF")" = 3 ]

start_display 1280x800x24 || exit 1

# Started as the menu starts it: no parameters; the setting file found where the package
# put it (TABEL_CONFIG stands in for the root this test installed into).
TABEL_CONFIG=$CONF LANG=ru_RU.UTF-8 QT_QPA_PLATFORM=xcb "$ROOT/usr/bin/tabel" >"$WORK/client.log" 2>&1 &
CLIENT=$!

# Wait, within a generous bound, for the login window or a sign that it will not come.
# No window manager runs here, so the test gives the window the input focus a desktop
# would give it; its activation runs the version gate, which puts the build into its title.
TITLE=
for _ in $(seq 600); do
  TITLE=$(xwininfo -root -tree 2>/dev/null | grep -o '"Авторизация[^"]*"\|"Ошибка[^"]*"' | head -n 1)
  case "$TITLE" in
    '"Авторизация (build:'*|'"Ошибка'*) break ;;
    '"Авторизация"') xdotool search --name '^Авторизация$' windowfocus >/dev/null 2>&1 ;;
  esac
  kill -0 "$CLIENT" 2>/dev/null || break
  sleep 0.1
done
echo "window seen: ${TITLE:-none}"
check "the installed client shows its login window" grep -q '^"Авторизация (build: [0-9]*\.[0-9]*)"$' <<<"$TITLE"
check "xdotool finds it by its title" [ -n "$(xdotool search --name '^Авторизация' 2>/dev/null)" ]
WINDOW=$(xdotool search --name '^Авторизация' 2>/dev/null | head -n 1)
check "the window carries the program's icon" grep -q 'Icon (64 x 64)' <<<"$(xprop -id "${WINDOW:-0}" _NET_WM_ICON 2>/dev/null)"
# The version gate of the login window writes the build stamp into the database it reached.
STAMP=0
for _ in $(seq 100); do
  STAMP=$(sql $DB "select coalesce(max(d), 0) from accounts_dep.ver")
  [ "$STAMP" != 0 ] && break
  sleep 0.1
done
check "it reached the database named in the setting file" [ "$STAMP" -gt 20000000 ]
cat "$WORK/client.log"

finish
