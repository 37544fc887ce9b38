#!/usr/bin/env bash
# What the Debian package holds: its name and version, the declared dependencies (each
# one to be had on this Debian), the files and where they go, the desktop entry as
# desktop-file-validate reads it, the icon it names, and the server files as in the source.
set -uo pipefail
DEB=$1 SOURCE=$2 VERSION=$3
source "$(dirname "$0")/lib.sh"
WORK=$(mktemp -d /tmp/tabel-deploy-contents.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

check "the package is named tabel_${VERSION}_amd64.deb" [ "$(basename "$DEB")" = "tabel_${VERSION}_amd64.deb" ] 
[ -f "$DEB" ] || { echo "no package at $DEB"; exit 1; }
field() { dpkg-deb -f "$DEB" "$1"; }
check "Package: tabel" [ "$(field Package)" = tabel ]
check "Version: $VERSION, the project's version" [ "$(field Version)" = "$VERSION" ]
check "Architecture: amd64" [ "$(field Architecture)" = amd64 ]
check "a maintainer is named" [ -n "$(field Maintainer)" ]
check "the description starts with the program's name" grep -q '^Табель' <<<"$(field Description)"

# Depends as a list of names (versions and alternatives apart).
DEPENDS=$(field Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | grep -v '^$' | sort -u)
echo "Depends: $(field Depends)"
for needed in libqt6sql6-odbc odbc-postgresql unixodbc qt6-translations-l10n qt6-qpa-plugins libqt6svg6 libxlsxwriter4 libqpdf29 \
              libqt6widgets6 libqt6sql6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
  check "depends on $needed" grep -qx "$needed" <<<"$DEPENDS"
done
# Every alternative group must be met by some package this Debian has (installed here by
# scripts/setup, or known to apt): a misspelt name would make apt refuse the package.
while IFS= read -r group; do
  met=no
  for alt in $(tr '|' ' ' <<<"$group" | sed 's/([^)]*)//g'); do
    if dpkg-query -W -f='${Status}' "$alt" 2>/dev/null | grep -q 'install ok installed' ||
       apt-cache show "$alt" >/dev/null 2>&1; then met=yes; fi
  done
  check "dependency '$group' exists in Debian" [ "$met" = yes ]
done < <(field Depends | sed 's/([^)]*)//g' | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$')

dpkg-deb -c "$DEB" | sed -E 's/^(\S+)\s+\S+\s+\S+\s+\S+\s+\S+\s+/\1 /' >"$WORK/list"
has() { grep -q "^$1 \\./$2\$" "$WORK/list"; }
check "/usr/bin/tabel, executable" has '-rwxr-xr-x' usr/bin/tabel
check "the desktop entry in the applications folder" has '-rw-r--r--' usr/share/applications/tabel.desktop
check "the icon in the hicolor theme" has '-rw-r--r--' usr/share/icons/hicolor/scalable/apps/tabel.svg
check "the setting file" has '-rw-r--r--' etc/tabel/tabel.conf
check "schema.sql" has '-rw-r--r--' usr/share/tabel/schema.sql
check "demo.sql" has '-rw-r--r--' usr/share/tabel/demo.sql
check "the server set-up script, executable" has '-rwxr-xr-x' usr/share/tabel/tabel-setup-server
check "the set-up script's backup part beside it" has '-rw-r--r--' usr/share/tabel/tabel-backup.sh
check "the standby's steps beside the set-up script" has '-rw-r--r--' usr/share/tabel/tabel-standby.sh
check "the set-up script on the administrator's path" has 'lrwxrwxrwx' 'usr/sbin/tabel-setup-server -> ../share/tabel/tabel-setup-server'
check "the README" has '-rw-r--r--' usr/share/doc/tabel/README.md
check "the user's guide as HTML" has '-rw-r--r--' usr/share/doc/tabel/user/index.html
check "the administrator's guide as HTML" has '-rw-r--r--' usr/share/doc/tabel/admin/index.html
check "the copyright file" has '-rw-r--r--' usr/share/doc/tabel/copyright
check "the changelog, compressed" has '-rw-r--r--' usr/share/doc/tabel/changelog.gz
check "the client's manual page, compressed" has '-rw-r--r--' usr/share/man/man1/tabel.1.gz
check "the set-up script's manual page, compressed" has '-rw-r--r--' usr/share/man/man8/tabel-setup-server.8.gz
for file in "$SOURCE"/sql/migrations/*.sql; do
  check "schema change $(basename "$file")" has '-rw-r--r--' "usr/share/tabel/migrations/$(basename "$file")"
done
check "nothing of the build or the tests is packaged" \
  [ -z "$(grep -E 'tst_|\.a$|/include/|CMake|\.h$' "$WORK/list")" ]

dpkg-deb --ctrl-tarfile "$DEB" | tar -x -C "$WORK" ./conffiles 2>/dev/null
check "the setting file is a conffile (an upgrade keeps the administrator's edits)" grep -qx /etc/tabel/tabel.conf "$WORK/conffiles"

ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT"
ENTRY=$ROOT/usr/share/applications/tabel.desktop
desktop-file-validate "$ENTRY" >"$WORK/validate" 2>&1
check "desktop-file-validate finds nothing" [ "$?" = 0 ] 
check "desktop-file-validate has no warning" [ ! -s "$WORK/validate" ]
cat "$WORK/validate"
key() { sed -n "s/^$1=//p" "$ENTRY"; }
check "the entry is named Табель" [ "$(key Name)" = "Табель" ]
check "the entry is in the office menu" grep -q '^Office;' <<<"$(key Categories)"
check "the entry starts the packaged program" [ -x "$ROOT/usr/bin/$(key Exec | cut -d' ' -f1)" ]
check "the entry's icon is the packaged one" [ -f "$ROOT/usr/share/icons/hicolor/scalable/apps/$(key Icon).svg" ]
rsvg-convert -w 48 -h 48 "$ROOT/usr/share/icons/hicolor/scalable/apps/tabel.svg" -o "$WORK/icon.png"
check "the icon renders" [ "$(file -b "$WORK/icon.png" | cut -d, -f1-2)" = "PNG image data, 48 x 48" ]

check "the packaged schema is the source's" cmp -s "$SOURCE/sql/schema.sql" "$ROOT/usr/share/tabel/schema.sql"
check "the packaged demo is the source's" cmp -s "$SOURCE/sql/demo.sql" "$ROOT/usr/share/tabel/demo.sql"
check "the packaged set-up script is the source's" cmp -s "$SOURCE/scripts/tabel-setup-server" "$ROOT/usr/share/tabel/tabel-setup-server"
check "the packaged backup part is the source's" cmp -s "$SOURCE/scripts/tabel-backup.sh" "$ROOT/usr/share/tabel/tabel-backup.sh"
SUGGESTS=$(field Suggests | tr ',' '\n' | sed 's/ //g')
for suggested in pgbackrest jq; do
  check "suggests $suggested for the server's backups" grep -qx "$suggested" <<<"$SUGGESTS"
done
check "the packaged standby's steps are the source's" cmp -s "$SOURCE/scripts/tabel-standby.sh" "$ROOT/usr/share/tabel/tabel-standby.sh"
check "the set-up script's manual page tells of --standby-of" grep -q 'standby' <<<"$(zcat "$ROOT/usr/share/man/man8/tabel-setup-server.8.gz")"
check "the changelog names this version" grep -q "^tabel ($VERSION)" <<<"$(zcat "$ROOT/usr/share/doc/tabel/changelog.gz")"
check "the set-up script's manual page tells of --upgrade" grep -q 'upgrade' <<<"$(zcat "$ROOT/usr/share/man/man8/tabel-setup-server.8.gz")"
check "the packaged setting file sets nothing until edited" [ -z "$(grep -v -e '^#' -e '^ *$' "$ROOT/etc/tabel/tabel.conf")" ]
check "the program is stripped" grep -q 'stripped' <<<"$(file -b "$ROOT/usr/bin/tabel" | grep -v 'not stripped')"
check "the program has no run path into the build folder" [ -z "$(readelf -d "$ROOT/usr/bin/tabel" | grep -E 'RPATH|RUNPATH')" ]
check "the program reads /etc/tabel/tabel.conf" grep -q /etc/tabel/tabel.conf <<<"$(strings -e l "$ROOT/usr/bin/tabel")"
# Whatever the program holds before a code is typed opens the sign-in and nothing more:
# the password of the account the workstations once shared is not in it.
check "the program holds no full-rights password" \
  [ -z "$( { strings -e l "$ROOT/usr/bin/tabel"; strings "$ROOT/usr/bin/tabel"; } | grep -e plomvux -e 'UID=sys')" ]
check "only the sign-in account's" grep -q 'tabel_signin' <<<"$(strings -e l "$ROOT/usr/bin/tabel")"

finish
