# Continuous backups of the plant's cluster with pgBackRest, sourced by tabel-setup-server
# (which has parsed the options and defined fail, admin_psql and query):
#   --backup DIR      the stanza with its repository in DIR, WAL archiving, the first full
#                     backup, systemd timers (weekly full, nightly differential);
#   --restore DIR     the latest backup, or with --to the one before that minute, and the
#                     archived WAL replayed to the end or to that minute;
#   --backup-status   the newest backups, the archive, and a non-zero exit when they are
#                     too old or archiving fails.
# What --backup chose is kept in the setting file (TABEL_BACKUP_CONF, by default
# /etc/tabel/backup.conf); a second run reads it back, so edits made there stay.
# The cluster is the one on PORT: its data folder is asked from the server, or taken from
# PGDATA, the setting file, or Debian's layout when the server is down; the socket folder
# is PGHOST when that is a folder; the server's programs come from TABEL_PG_BIN or the
# cluster's version. So a test points it at a throwaway cluster of its own.

BACKUP_CONF=${TABEL_BACKUP_CONF:-/etc/tabel/backup.conf}
PGBR_CONF=$(dirname "$BACKUP_CONF")/pgbackrest.conf
# Newest backup older than this is a failure for --backup-status.
BACKUP_MAX_AGE_DAYS=8

# A command as the cluster's owner, who alone reads its data folder and writes the archive.
as_postgres() {
  if [ "$(id -un)" = postgres ]; then "$@"
  elif [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"
  else sudo -u postgres "$@"
  fi
}

# The value of a key of the setting file ("key = value"), or the default.
setting() {
  local value=
  [ -f "$BACKUP_CONF" ] && value=$(sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*//p" "$BACKUP_CONF" | tail -n 1 | sed 's/[[:space:]]*$//')
  echo "${value:-$2}"
}

when() { date -d "@$1" '+%d.%m.%Y %H:%M'; }   # when EPOCH: as the plant reads a time
age() {   # age EPOCH: how long ago, in days or hours
  local seconds=$(( $(date +%s) - $1 ))
  if [ "$seconds" -ge 86400 ]; then echo "$(( seconds / 86400 )) дн. $(( seconds % 86400 / 3600 )) ч. назад"
  else echo "$(( seconds / 3600 )) ч. $(( seconds % 3600 / 60 )) мин. назад"; fi
}

# The settings of the stanza: the cluster (PGDATA_DIR, SOCKET_DIR, PG_BIN) and the choices
# of the setting file.
read_settings() {
  STANZA=$(setting stanza tabel)
  FULL_AT=$(setting full_backup 'Sun *-*-* 01:30')
  DIFF_AT=$(setting differential_backup 'Mon..Sat *-*-* 01:30')
  KEEP_WEEKS=$(setting keep_weeks 4)
  [[ "$STANZA" =~ ^[A-Za-z0-9_-]{1,60}$ ]] || fail "в $BACKUP_CONF имя stanza «$STANZA» недопустимо: латинские буквы, цифры, «_» и «-»."
  [[ "$KEEP_WEEKS" =~ ^[0-9]{1,3}$ ]] && [ "$KEEP_WEEKS" -ge 1 ] ||
    fail "в $BACKUP_CONF keep_weeks = «$KEEP_WEEKS»: нужно число недель от 1."
  local at
  for at in "$FULL_AT" "$DIFF_AT"; do
    [[ "$at" =~ ^[A-Za-z0-9\ ,.:*/~-]+$ ]] || fail "в $BACKUP_CONF время копии «$at» недопустимо (запись OnCalendar systemd, например «Sun *-*-* 01:30»)."
  done
  SOCKET_DIR=
  case "${PGHOST:-}" in /*) SOCKET_DIR=$PGHOST ;; esac
}

# The cluster's data folder while the server is down: PGDATA, the setting file, or the
# only cluster of Debian's layout.
offline_pgdata() {
  local dir=${PGDATA:-$(setting pgdata '')}
  if [ -z "$dir" ]; then
    dir=$(ls -d /var/lib/postgresql/*/main 2>/dev/null | sort -V | tail -n 1)
  fi
  [ -n "$dir" ] || fail "не известна папка данных кластера: укажите ее в PGDATA."
  echo "$dir"
}

# The server's programs of the cluster's (or the backup's) version.
pg_bin_of() {
  if [ -n "${TABEL_PG_BIN:-}" ]; then echo "$TABEL_PG_BIN"; else echo "/usr/lib/postgresql/$1/bin"; fi
}

# Debian's name of the cluster in that data folder ("15 main"), when it is one of them.
debian_cluster() {
  command -v pg_lsclusters >/dev/null || return 0
  pg_lsclusters -h 2>/dev/null | awk -v dir="$1" '$6 == dir { print $1, $2; exit }'
}

cluster_running() { as_postgres "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" status >/dev/null 2>&1; }
cluster_stop() {
  local debian
  debian=$(debian_cluster "$PGDATA_DIR")
  if [ -n "$debian" ]; then pg_ctlcluster $debian stop -m fast
  else as_postgres "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" -m fast -w stop >/dev/null; fi
}
cluster_restart() {
  local debian
  debian=$(debian_cluster "$PGDATA_DIR")
  if [ -n "$debian" ]; then pg_ctlcluster $debian restart -m fast
  else as_postgres "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" -m fast -w restart >/dev/null; fi
}
# A cluster outside Debian's layout is started with options on its command line (a port,
# a socket folder, max_connections, which a recovering server must match): pg_ctl keeps
# them in postmaster.opts, which --backup copies beside the setting file, since a backup
# leaves it out. Started after a restore with the same options, or the port and socket.
SAVED_OPTS=$(dirname "$BACKUP_CONF")/postmaster.opts
save_server_options() {
  [ -n "$(debian_cluster "$PGDATA_DIR")" ] && return 0
  as_postgres cat "$PGDATA_DIR/postmaster.opts" >"$SAVED_OPTS.new" 2>/dev/null && mv "$SAVED_OPTS.new" "$SAVED_OPTS" ||
    rm -f "$SAVED_OPTS.new"
}
server_options() {   # server_options FOLDER...: the options of the first postmaster.opts found
  local opts
  for opts in "$@"; do
    # The program's path first, then its arguments, each in double quotes.
    if [ -f "$opts" ] && [[ "$(cat "$opts")" =~ ^[^\ ]+\ (\".*)$ ]]; then echo "${BASH_REMATCH[1]}"; return; fi
  done
  echo "-p $PORT${SOCKET_DIR:+ -k $SOCKET_DIR}"
}
cluster_start() {   # cluster_start [KEPT DATA FOLDER]
  local debian
  debian=$(debian_cluster "$PGDATA_DIR")
  if [ -n "$debian" ]; then
    START_LOG=/var/log/postgresql/postgresql-${debian/ /-}.log
    pg_ctlcluster $debian start
  else
    START_LOG=$PGDATA_DIR/log/tabel-restore.log
    as_postgres mkdir -p "$PGDATA_DIR/log"
    as_postgres "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" -l "$START_LOG" -w -t 3600 \
      -o "$(server_options "${1:-}/postmaster.opts" "$SAVED_OPTS")" start >/dev/null
  fi
}

# pgBackRest's own settings for the stanza, its repository in $1 (written to $2).
write_pgbackrest_conf() {
  local tmp
  tmp=$(mktemp "$2.XXXXXX")
  { echo "# Written by tabel-setup-server from $BACKUP_CONF; it is written again on each run."
    echo "[global]"
    echo "repo1-path=$1"
    echo "repo1-retention-full-type=time"
    echo "repo1-retention-full=$(( KEEP_WEEKS * 7 ))"
    echo "compress-type=lz4"
    echo "start-fast=y"
    echo "log-level-console=warn"
    echo "log-level-stderr=off"
    echo
    echo "[$STANZA]"
    echo "pg1-path=$PGDATA_DIR"
    echo "pg1-port=$PORT"
    [ -z "$SOCKET_DIR" ] || echo "pg1-socket-path=$SOCKET_DIR"
    [ -z "${PGUSER:-}" ] || echo "pg1-user=$PGUSER"
  } >"$tmp"
  chmod 644 "$tmp"
  mv "$tmp" "$2"
}
pgbr() { as_postgres pgbackrest --config="$PGBR_CONF" --stanza="$STANZA" "$@"; }

# The repository's view of the stanza (pgbackrest info as JSON) in INFO; the system
# identifier is read from the text, since jq keeps only a double's digits.
read_info() {
  INFO=$(pgbr info --output=json 2>/dev/null) && jq -e . >/dev/null 2>&1 <<<"$INFO" ||
    fail "pgBackRest не прочитал хранилище (pgbackrest --config=$PGBR_CONF --stanza=$STANZA info); ничего не изменено."
  INFO_CODE=$(jq -r '.[0].status.code' <<<"$INFO")
  INFO_MESSAGE=$(jq -r '.[0].repo[0].status.message // .[0].status.message' <<<"$INFO")
  BACKUPS=$(jq -r '.[0].backup | length' <<<"$INFO")
  REPO_SYSTEM_ID=$(grep -o '"system-id":[0-9]*' <<<"$INFO" | tail -n 1 | cut -d: -f2 || true)
}

# The repository's folder: absolute, as the cluster's owner reads it.
check_repository() {
  REPOSITORY=$(readlink -m "$1")
  plain_path "$REPOSITORY"
  [ -d "$REPOSITORY" ] || fail "хранилище резервных копий «$1» не найдено (смонтирован ли диск?); ничего не изменено."
  as_postgres test -r "$REPOSITORY" -a -x "$REPOSITORY" ||
    fail "хранилище резервных копий «$REPOSITORY» недоступно для чтения пользователю postgres; ничего не изменено."
}

# A folder's name goes into pgBackRest's settings and the server's archive_command.
plain_path() {
  [[ "$1" = /* && "$1" != *[$'\n\r\t'\'\"\\\$\`%]* ]] ||
    fail "путь «$1» недопустим: нужен полный путь без кавычек, «\\», «\$», «%» и «\`»."
}

# The server's archiving settings (the command travels as a psql variable).
set_archiving() {   # set_archiving COMMAND
  admin_psql -d postgres -v command="$1" >/dev/null <<'SQL'
alter system set archive_mode = on;
alter system set archive_command = :'command';
alter system set archive_timeout = '5min';
SQL
}

need_pgbackrest() {
  command -v pgbackrest >/dev/null || fail "нет программы pgbackrest: установите пакет pgbackrest."
  command -v jq >/dev/null || fail "нет программы jq: установите пакет jq."
}

# ---------------------------------------------------------------- --backup DIR
backup_setup() {
  need_pgbackrest
  read_settings
  local reply
  reply=$(query postgres "select 1" 2>&1) ||
    fail "сервер PostgreSQL на порту $PORT недоступен (запущен ли он? запуск от имени root или postgres?):
  $reply"
  [ "$(query postgres "select rolsuper from pg_roles where rolname = current_user")" = t ] ||
    fail "подключение к серверу выполнено не суперпользователем: нужен postgres или другой суперпользователь."
  PGDATA_DIR=$(query postgres "show data_directory")
  [ -z "${PGDATA:-}" ] || [ "$(readlink -m "$PGDATA")" = "$PGDATA_DIR" ] ||
    fail "PGDATA ($PGDATA) не папка данных сервера на порту $PORT ($PGDATA_DIR); ничего не изменено."
  PG_BIN=$(pg_bin_of "$(cat "$PGDATA_DIR/PG_VERSION" 2>/dev/null || query postgres "show server_version_num" | cut -c1-2)")

  # The repository: made when missing (its parent must be there), never inside the data.
  REPOSITORY=$(readlink -m "$BACKUP_DIR")
  plain_path "$REPOSITORY"
  plain_path "$PGBR_CONF"
  [ "$(query postgres "select pg_is_in_recovery()")" = f ] ||
    fail "этот сервер резервный (standby): копии настраиваются на основном сервере; ничего не изменено."
  case "$REPOSITORY/" in "$PGDATA_DIR"/*) fail "хранилище «$REPOSITORY» внутри папки данных сервера: нужен другой диск или общая папка." ;; esac
  if [ ! -d "$REPOSITORY" ]; then
    [ -d "$(dirname "$REPOSITORY")" ] || fail "папки «$(dirname "$REPOSITORY")» нет (смонтирован ли диск?); ничего не изменено."
    mkdir -m 750 "$REPOSITORY" || fail "не удалось создать папку хранилища «$REPOSITORY»."
    [ "$(id -u)" -ne 0 ] || chown postgres: "$REPOSITORY"
  fi
  as_postgres test -w "$REPOSITORY" -a -x "$REPOSITORY" ||
    fail "в хранилище «$REPOSITORY» пользователь postgres не может писать; ничего не изменено."

  # Archiving by another command is someone else's arrangement: it is not replaced.
  local mode command ours auto_before
  mode=$(query postgres "show archive_mode")
  command=$(query postgres "show archive_command")
  ours="pgbackrest --config=$PGBR_CONF --stanza=$STANZA archive-push %p"
  if [ "$mode" != off ] && [ -n "$command" ] && [ "$command" != "$ours" ]; then
    fail "на сервере уже настроено архивирование WAL другой командой:
  archive_command = '$command'
  Оно не изменено. Отключите его (archive_mode = off) и запустите tabel-setup-server --backup снова."
  fi
  # What ALTER SYSTEM had set, put back as it was if pgBackRest then fails.
  auto_before=$(as_postgres cat "$PGDATA_DIR/postgresql.auto.conf")
  [ "$(query postgres "show wal_level")" != minimal ] ||
    fail "на сервере wal_level = minimal: с ним WAL не архивируется. Задайте wal_level = replica и перезапустите PostgreSQL."

  # A repository holding another cluster's backups under this name is not mixed with ours.
  local previous real_conf=$PGBR_CONF
  PGBR_CONF=$(mktemp /tmp/tabel-pgbackrest.XXXXXX)
  write_pgbackrest_conf "$REPOSITORY" "$PGBR_CONF"
  read_info
  rm -f "$PGBR_CONF"
  PGBR_CONF=$real_conf
  [ -z "$REPO_SYSTEM_ID" ] || [ "$REPO_SYSTEM_ID" = "$(query postgres "select system_identifier from pg_control_system()")" ] ||
    fail "в хранилище «$REPOSITORY» набор «$STANZA» с копиями другого кластера PostgreSQL; ничего не изменено."
  previous=$(setting repository '')
  # The setting file: what this run chose; edits made by hand are read back above.
  mkdir -p "$(dirname "$BACKUP_CONF")"
  local tmp
  tmp=$(mktemp "$BACKUP_CONF.XXXXXX")
  cat >"$tmp" <<EOF
# Резервные копии базы «Табель» (pgBackRest). Файл пишет tabel-setup-server --backup;
# при повторном запуске значения, измененные здесь, сохраняются.
# Хранилище копий и архива WAL:
repository = $REPOSITORY
# Кластер PostgreSQL, его порт и имя набора копий в хранилище:
pgdata = $PGDATA_DIR
port = $PORT
stanza = $STANZA
# Когда делать полную копию (раз в неделю) и разностную (каждую ночь), в записи
# OnCalendar systemd; после изменения запустите tabel-setup-server --backup снова.
full_backup = $FULL_AT
differential_backup = $DIFF_AT
# Сколько недель хранить копии и WAL для восстановления:
keep_weeks = $KEEP_WEEKS
EOF
  chmod 644 "$tmp"
  mv "$tmp" "$BACKUP_CONF"
  write_pgbackrest_conf "$REPOSITORY" "$PGBR_CONF"
  if [ -n "$previous" ] && [ "$previous" != "$REPOSITORY" ]; then
    echo "Хранилище изменено: было $previous, теперь $REPOSITORY (прежние копии остались там)."
  fi

  # WAL archiving; archive_mode takes effect on a restart only.
  set_archiving "$ours"
  if [ "$mode" = off ]; then
    echo "Включается архивирование WAL: сервер PostgreSQL перезапускается (рабочие места переподключатся сами)."
    cluster_restart || fail "сервер не перезапустился: смотрите журнал PostgreSQL."
    local i
    for i in $(seq 60); do query postgres "select 1" >/dev/null 2>&1 && break; sleep 1; done
  else
    query postgres "select pg_reload_conf()" >/dev/null
  fi

  local out
  if ! out=$(pgbr stanza-create 2>&1) || ! out=$(pgbr check 2>&1); then
    # Archiving that fails keeps every WAL file on the server's disk: it is taken back.
    as_postgres tee "$PGDATA_DIR/postgresql.auto.conf" >/dev/null <<<"$auto_before"
    if [ "$mode" = off ]; then cluster_restart || true; else query postgres "select pg_reload_conf()" >/dev/null || true; fi
    fail "pgBackRest не смог работать с хранилищем «$REPOSITORY»; архивирование WAL возвращено как было:
  $out"
  fi
  echo "Архивирование WAL включено: каждый заполненный файл WAL (и не реже чем раз в 5 минут) уходит в $REPOSITORY."

  read_info
  if [ "$BACKUPS" = 0 ]; then
    echo "Делается первая полная резервная копия..."
    out=$(pgbr --type=full backup 2>&1) || fail "полная копия не сделана:
  $out"
    read_info
    echo "Полная копия сделана: $(jq -r '.[0].backup[-1].label' <<<"$INFO")."
  else
    echo "В хранилище уже есть копии ($BACKUPS); новая полная копия сейчас не делается."
  fi

  save_server_options
  install_timers
  echo
  echo "Копии хранятся $KEEP_WEEKS нед. (keep_weeks в $BACKUP_CONF)."
  echo "Состояние копий: tabel-setup-server --backup-status"
  echo "Восстановить последнее состояние: tabel-setup-server --restore $REPOSITORY"
  echo "Восстановить на минуту:           tabel-setup-server --restore $REPOSITORY --to \"ДД.ММ.ГГГГ ЧЧ:ММ\""
}

# The weekly full and nightly differential backups as systemd timers; without systemd the
# commands are named for whatever schedules jobs there.
install_timers() {
  local full="pgbackrest --config=$PGBR_CONF --stanza=$STANZA --type=full backup"
  local diff="pgbackrest --config=$PGBR_CONF --stanza=$STANZA --type=diff backup"
  # TABEL_SYSTEMD_RUN: where a running systemd shows itself; tests name a missing folder.
  if [ ! -d "${TABEL_SYSTEMD_RUN:-/run/systemd/system}" ] || ! command -v systemctl >/dev/null; then
    echo
    echo "Таймеры systemd не установлены: systemd на этом компьютере не запущен."
    echo "  Запускайте от имени postgres по расписанию (например, cron):"
    echo "    раз в неделю: $full"
    echo "    каждую ночь:  $diff"
    return 0
  fi
  local units=/etc/systemd/system kind what at command
  for kind in full diff; do
    if [ "$kind" = full ]; then what="полная резервная копия (раз в неделю)"; at=$FULL_AT; command=$full
    else what="разностная резервная копия (каждую ночь)"; at=$DIFF_AT; command=$diff; fi
    systemd-analyze calendar "$at" >/dev/null 2>&1 || fail "время «$at» в $BACKUP_CONF не понятно systemd (OnCalendar)."
    cat >"$units/tabel-backup-$kind.service" <<EOF
[Unit]
Description=Табель: $what
After=postgresql.service

[Service]
Type=oneshot
User=postgres
ExecStart=/usr/bin/$command
EOF
    cat >"$units/tabel-backup-$kind.timer" <<EOF
[Unit]
Description=Табель: $what по расписанию

[Timer]
OnCalendar=$at
Persistent=true

[Install]
WantedBy=timers.target
EOF
  done
  systemctl daemon-reload
  systemctl enable --now tabel-backup-full.timer tabel-backup-diff.timer >/dev/null 2>&1 ||
    fail "таймеры systemd не включены: systemctl enable tabel-backup-full.timer tabel-backup-diff.timer"
  echo
  echo "Таймеры systemd включены: полная копия — $FULL_AT, разностная — $DIFF_AT."
}

# ---------------------------------------------------------------- --backup-status
backup_status() {
  need_pgbackrest
  [ -f "$BACKUP_CONF" ] || fail "резервные копии не настроены (нет $BACKUP_CONF): tabel-setup-server --backup ПАПКА"
  read_settings
  local repository bad=0
  repository=$(setting repository '')
  echo "Хранилище: $repository"
  read_info
  local full diff newest=0 stop label
  if [ "$INFO_CODE" != 0 ] && [ "$INFO_CODE" != 2 ]; then
    echo "ОШИБКА: хранилище недоступно или в нем нет набора «$STANZA» ($INFO_MESSAGE)."
    bad=1
  fi
  full=$(jq -r '[.[0].backup[] | select(.type == "full")] | last | "\(.timestamp.stop) \(.label)"' <<<"$INFO" 2>/dev/null)
  diff=$(jq -r '[.[0].backup[] | select(.type != "full")] | last | "\(.timestamp.stop) \(.label)"' <<<"$INFO" 2>/dev/null)
  for line in "Последняя полная копия:     |$full" "Последняя разностная копия: |$diff"; do
    stop=${line#*|}; stop=${stop%% *}; label=${line#*|}; label=${label#* }
    if [ "$stop" = null ] || [ -z "$stop" ]; then
      echo "${line%%|*}нет"
    else
      echo "${line%%|*}$(when "$stop") ($(age "$stop")), $label"
      [ "$stop" -le "$newest" ] || newest=$stop
    fi
  done
  if [ "$newest" = 0 ]; then
    [ "$bad" = 1 ] || echo "ОШИБКА: в хранилище нет ни одной копии."
    bad=1
  elif [ $(( $(date +%s) - newest )) -gt $(( BACKUP_MAX_AGE_DAYS * 86400 )) ]; then
    echo "ОШИБКА: новейшая копия старше $BACKUP_MAX_AGE_DAYS дней: копии по расписанию не делаются."
    bad=1
  fi
  echo "Новейший файл WAL в архиве:  $(jq -r '.[0].archive[-1].max // "нет"' <<<"$INFO")"
  # Whether archiving works is the server's knowledge.
  local archiver
  if archiver=$(query postgres "select coalesce(to_char(last_archived_time, 'DD.MM.YYYY HH24:MI'), '') || '|' || failed_count || '|'
         || coalesce(to_char(last_failed_time, 'DD.MM.YYYY HH24:MI'), '') || '|'
         || (last_failed_time is not null and (last_archived_time is null or last_failed_time > last_archived_time))::text
         || '|' || current_setting('archive_mode') from pg_stat_archiver" 2>/dev/null); then
    IFS='|' read -r archived failed failed_at failing mode <<<"$archiver"
    echo "Последняя передача WAL:      ${archived:-не было}"
    if [ "$mode" = off ]; then
      echo "ОШИБКА: архивирование WAL на сервере выключено (archive_mode = off)."
      bad=1
    elif [ "$failing" = true ]; then
      echo "ОШИБКА: архивирование WAL не удается (последняя неудача $failed_at, всего неудач $failed): смотрите журнал PostgreSQL."
      bad=1
    else
      echo "Архивирование WAL работает."
    fi
  else
    echo "ОШИБКА: сервер PostgreSQL на порту $PORT не отвечает: состояние архивирования неизвестно."
    bad=1
  fi
  exit "$bad"
}

# ---------------------------------------------------------------- --restore DIR [--to]
backup_restore() {
  need_pgbackrest
  read_settings
  local target= target_epoch=
  if [ -n "$RESTORE_TO" ]; then
    [[ "$RESTORE_TO" =~ ^([0-9]{2})\.([0-9]{2})\.([0-9]{4})\ ([0-9]{2}):([0-9]{2})$ ]] &&
      target_epoch=$(date -d "${BASH_REMATCH[3]}-${BASH_REMATCH[2]}-${BASH_REMATCH[1]} ${BASH_REMATCH[4]}:${BASH_REMATCH[5]}:00" +%s 2>/dev/null) &&
      [ "$(when "$target_epoch")" = "$RESTORE_TO" ] ||
      fail "время «$RESTORE_TO» не вида ДД.ММ.ГГГГ ЧЧ:ММ (например, 05.03.2024 14:30); ничего не изменено."
    [ "$target_epoch" -le "$(date +%s)" ] || fail "время $RESTORE_TO еще не наступило; ничего не изменено."
    target=$(date -d "@$target_epoch" '+%Y-%m-%d %H:%M:%S%z')
  fi
  check_repository "$RESTORE_DIR"
  PGDATA_DIR=$(readlink -m "$(offline_pgdata)")

  # This server's repository keeps receiving its WAL after the restore; any other (a copy,
  # a test on another machine) is only read, and the restored server archives nothing.
  local archive=preserve
  if [ "$(setting repository '')" = "$REPOSITORY" ]; then
    PORT=$(setting port "$PORT")
  else
    PGBR_CONF=$(dirname "$BACKUP_CONF")/pgbackrest-restore.conf
    archive=off
  fi
  [ -d "$(dirname "$PGBR_CONF")" ] || mkdir -p "$(dirname "$PGBR_CONF")"
  write_pgbackrest_conf "$REPOSITORY" "$PGBR_CONF"
  read_info
  [ "$INFO_CODE" = 0 ] && [ "$BACKUPS" -gt 0 ] ||
    fail "в хранилище «$REPOSITORY» нет резервных копий этого сервера (набор «$STANZA»); ничего не изменено."
  local version
  version=$(jq -r '.[0].db[-1].version' <<<"$INFO")
  PG_BIN=$(pg_bin_of "$version")
  [ -x "$PG_BIN/pg_ctl" ] || fail "копии сделаны PostgreSQL $version, а его программ нет ($PG_BIN): установите пакет postgresql-$version; ничего не изменено."
  # This server's data folder is not replaced by another cluster's backups. On another
  # machine (a repository not configured here) it is: the folder is kept aside below.
  if [ "$archive" = preserve ] && [ -f "$PGDATA_DIR/global/pg_control" ]; then
    local system_id
    system_id=$(as_postgres "$PG_BIN/pg_controldata" "$PGDATA_DIR" 2>/dev/null | awk -F: '/system identifier/ { gsub(/ /, "", $2); print $2 }')
    [ -z "$system_id" ] || [ "$system_id" = "$REPO_SYSTEM_ID" ] ||
      fail "копии в хранилище «$REPOSITORY» сделаны с другого кластера PostgreSQL, не с $PGDATA_DIR; ничего не изменено."
  fi
  if [ -n "$target" ]; then
    local first
    first=$(jq -r '.[0].backup[0].timestamp.stop' <<<"$INFO")
    [ "$first" -lt "$target_epoch" ] ||
      fail "в хранилище нет копии, сделанной раньше $RESTORE_TO (самая ранняя — $(when "$first")); ничего не изменено."
  fi

  # What a running server wrote so far goes to the archive before it stops.
  if cluster_running; then
    if [ "$archive" = preserve ] && query postgres "select pg_switch_wal()" >/dev/null 2>&1; then
      pgbr check >/dev/null 2>&1 || echo "Внимание: последний файл WAL не удалось передать в хранилище."
    fi
    echo "Сервер PostgreSQL останавливается."
    cluster_stop || fail "сервер не остановился; ничего не изменено."
  fi

  # The current data folder is kept aside, so a restore to the wrong minute loses nothing.
  local kept=
  if [ -d "$PGDATA_DIR" ] && [ -n "$(ls -A "$PGDATA_DIR" 2>/dev/null)" ]; then
    kept=$PGDATA_DIR.before-restore-$(date +%Y%m%d-%H%M%S)
    mv "$PGDATA_DIR" "$kept" || fail "папку данных $PGDATA_DIR не удалось переименовать; она не изменена (сервер остановлен)."
  fi
  if [ ! -d "$PGDATA_DIR" ]; then
    mkdir -m 700 "$PGDATA_DIR" && { [ "$(id -u)" -ne 0 ] || chown postgres: "$PGDATA_DIR"; } ||
      fail "не удалось создать папку данных $PGDATA_DIR."
  fi
  local args=(--archive-mode="$archive") out
  if [ -n "$target" ]; then
    args+=(--type=time "--target=$target" --target-action=promote)
    echo "Восстанавливается копия, сделанная раньше $RESTORE_TO, и WAL до этой минуты..."
  else
    echo "Восстанавливается последняя копия и весь архив WAL..."
  fi
  if ! out=$(pgbr restore "${args[@]}" 2>&1); then
    if [ -n "$kept" ]; then rm -rf "$PGDATA_DIR" && mv "$kept" "$PGDATA_DIR"; fi
    fail "восстановление не удалось; папка данных возвращена как была (сервер остановлен):
  $out"
  fi
  cluster_start "$kept" || fail "восстановленный сервер не запустился: смотрите $START_LOG"
  # Replaying the archive may take a while: the server answers reads before it is done.
  local i
  for i in $(seq 3600); do
    [ "$(query postgres "select pg_is_in_recovery()" 2>/dev/null)" = f ] && break
    cluster_running || fail "сервер остановился при восстановлении: смотрите $START_LOG"
    sleep 1
  done
  [ "$(query postgres "select pg_is_in_recovery()")" = f ] || fail "сервер не закончил восстановление за час: смотрите $START_LOG"
  # The target stays in postgresql.auto.conf; a standby copied from this server later must not stop at it.
  admin_psql -d postgres -c "alter system reset recovery_target_time" -c "alter system reset recovery_target_action" \
             -c "select pg_reload_conf()" >/dev/null

  echo "Сервер PostgreSQL запущен."
  if [ -n "$(query postgres "select 1 from pg_database where datname = '$DATABASE'")" ]; then
    local last month
    last=$(query "$DATABASE" "select coalesce(to_char(max(changed_at), 'DD.MM.YYYY HH24:MI:SS'), 'нет')
                               from accounts_dep.change_log where table_name = 'smena'" 2>/dev/null || echo "не прочитана")
    month=$(query "$DATABASE" "select count(*) from accounts_dep.smena
                                where data >= date_trunc('month', current_date)" 2>/dev/null || echo "не прочитано")
    echo "В базе «$DATABASE»: последняя запись журнала — $last; записей журнала за текущий месяц — $month."
  else
    echo "Внимание: базы «$DATABASE» на восстановленном сервере нет."
  fi
  [ -z "$kept" ] || echo "Прежняя папка данных сохранена: $kept (удалите ее, когда убедитесь, что данные верны)."
  if [ "$archive" = off ]; then
    echo "Архивирование WAL на этом сервере выключено: хранилище «$REPOSITORY» только прочитано."
    echo "  Включить копии этого сервера: tabel-setup-server --backup ПАПКА"
  else
    echo "Сделайте новую полную копию: pgbackrest --config=$PGBR_CONF --stanza=$STANZA --type=full backup (от имени postgres)."
  fi
}

backup_main() {
  [ "$DEMO$UPGRADE$SSL" = 000 ] && [ -z "$SET_CODE" ] ||
    fail "--backup, --restore и --backup-status выполняются отдельно от других действий."
  [ -z "$RESTORE_TO" ] || [ -n "$RESTORE_DIR" ] || fail "--to используется только с --restore."
  [ $(( ${BACKUP_DIR:+1}+0 + ${RESTORE_DIR:+1}+0 + BACKUP_STATUS )) = 1 ] ||
    fail "укажите одно из --backup, --restore, --backup-status."
  if [ -n "$BACKUP_DIR" ]; then backup_setup
  elif [ -n "$RESTORE_DIR" ]; then backup_restore
  else backup_status; fi
}
