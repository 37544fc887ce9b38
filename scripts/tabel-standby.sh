# A hot standby of the plant's database server by PostgreSQL's streaming replication.
# Sourced by tabel-setup-server, which parses the options and calls standby_main with
#   STANDBY_OF   HOST[:PORT] of the primary (--standby-of): make this server its standby
#   SYNC         1: replication synchronous (--sync), 0 with --async: asynchronous again
#   PROMOTE      1: make this standby the primary (--promote)
#   STATUS       1: which server is the primary, the standby's lag, synchronous or not
#   FORCE        1: a server with databases of its own may be replaced by the copy
#   PORT         this server's port
# and, for a cluster of one's own instead of the system's (tests, a second cluster on one
# machine): DATA_DIR (its data folder), BIN_DIR (the PostgreSQL programs), SOCKET_DIR
# (its local socket folder), LISTEN (its listen_addresses). Environment: TABEL_PRIMARY_USER
# (the primary's superuser, postgres by default) and PGPASSWORD or ~/.pgpass for it.
# Everything said to the administrator is Russian.

REPLICATION_ROLE=tabel_replication

# Runs a server program as the server's account.
as_server() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

pg_program() {
  if [ -n "${BIN_DIR:-}" ]; then echo "$BIN_DIR/$1"
  elif [ -x "/usr/lib/postgresql/$(pg_version)/bin/$1" ]; then echo "/usr/lib/postgresql/$(pg_version)/bin/$1"
  else command -v "$1"; fi
}
pg_version() { ls /usr/lib/postgresql 2>/dev/null | sort -V | tail -n 1; }

# The primary's host and port from HOST[:PORT].
split_primary() {
  PRIMARY_HOST=${STANDBY_OF%:*}
  PRIMARY_PORT=5432
  [ "$PRIMARY_HOST" = "$STANDBY_OF" ] || PRIMARY_PORT=${STANDBY_OF##*:}
  [[ "$PRIMARY_HOST" =~ ^[A-Za-z0-9._-]+$ ]] || fail "имя основного сервера «$PRIMARY_HOST» недопустимо: имя в сети или адрес."
  [[ "$PRIMARY_PORT" =~ ^[0-9]{1,5}$ ]] && [ "$PRIMARY_PORT" -ge 1 ] && [ "$PRIMARY_PORT" -le 65535 ] ||
    fail "порт основного сервера «$PRIMARY_PORT» недопустим: число от 1 до 65535."
}

# A statement on the primary as its superuser, over the network.
primary_query() {
  PGCONNECT_TIMEOUT=10 psql -X -q -tA -v ON_ERROR_STOP=1 -h "$PRIMARY_HOST" -p "$PRIMARY_PORT" \
    -U "${TABEL_PRIMARY_USER:-postgres}" -d postgres "$@"
}

# The name of this standby: its replication slot and its name among the primary's
# synchronous standbys.
standby_name() {
  local host
  host=$(hostname -s 2>/dev/null || hostname)
  host=$(echo "$host" | tr 'A-Z.-' 'a-z__' | tr -cd 'a-z0-9_')
  # A second cluster on one machine (a port of its own) gets a name of its own.
  echo "tabel_standby_${host:-server}_$PORT"
}

# The system's cluster on this server's port (Debian's pg_lsclusters), as "VERSION NAME DATADIR".
system_cluster() {
  command -v pg_lsclusters >/dev/null || return 1
  pg_lsclusters -h 2>/dev/null | awk -v port="$PORT" '$3 == port { print $1, $2, $6; exit }'
}

local_running() { admin_psql -d postgres -tA -c "select 1" >/dev/null 2>&1; }

start_local() {
  if [ -n "${DATA_DIR:-}" ]; then
    as_server "$(pg_program pg_ctl)" -D "$DATA_DIR" -l "$DATA_DIR/../standby.log" -w -t 120 \
      -o "-p $PORT${SOCKET_DIR:+ -k $SOCKET_DIR}${LISTEN:+ -c listen_addresses=$LISTEN}" start >/dev/null ||
      fail "резервный сервер не запустился: смотрите $DATA_DIR/../standby.log"
  else
    pg_ctlcluster "$CLUSTER_VERSION" "$CLUSTER_NAME" start || fail "резервный сервер не запустился: смотрите журнал PostgreSQL."
  fi
}

stop_local() {
  if [ -n "${DATA_DIR:-}" ]; then
    as_server "$(pg_program pg_ctl)" -D "$DATA_DIR" -m fast -w stop >/dev/null 2>&1 || true
  else
    pg_ctlcluster "$CLUSTER_VERSION" "$CLUSTER_NAME" stop 2>/dev/null || true
  fi
}

# --standby-of: this server becomes a copy of the primary that follows it.
make_standby() {
  split_primary
  command -v psql >/dev/null || fail "нет программы psql: установите пакет postgresql-client."
  local name data
  name=$(standby_name)
  if [ -n "${DATA_DIR:-}" ]; then
    data=$DATA_DIR
  else
    local cluster
    cluster=$(system_cluster) || true
    [ -n "$cluster" ] || fail "на этом компьютере нет кластера PostgreSQL на порту $PORT (pg_lsclusters): установите пакет postgresql."
    read -r CLUSTER_VERSION CLUSTER_NAME data <<<"$cluster"
  fi

  # What this server holds now: a server with databases of its own is not replaced
  # unless asked to (a former primary joining again as the standby).
  if local_running; then
    [ "$(query postgres "select pg_is_in_recovery()")" = f ] ||
      [ "$FORCE" = 1 ] || fail "этот сервер уже резервный; заменить его новой копией: повторите с --force."
    local own
    own=$(query postgres "select string_agg(datname, ', ') from pg_database where datname not in ('postgres', 'template0', 'template1')")
    [ -z "$own" ] || [ "$FORCE" = 1 ] || fail "на этом сервере есть базы данных: $own.
  Они будут заменены копией с $PRIMARY_HOST (прежние файлы сохраняются рядом).
  Если это прежний основной сервер после переключения, повторите команду с --force."
  fi

  # The replication account and this standby's slot on the primary. The slot keeps the
  # primary's journal until the standby has it, so a standby that was away catches up.
  local reply password
  reply=$(primary_query -c "select 1" 2>&1) || fail "основной сервер $PRIMARY_HOST:$PRIMARY_PORT недоступен как суперпользователь ${TABEL_PRIMARY_USER:-postgres}:
  $reply
  Нужен вход по сети суперпользователем (PGPASSWORD или ~/.pgpass) и правило в pg_hba.conf основного сервера."
  [ "$(primary_query -c "select pg_is_in_recovery()")" = f ] || fail "сервер $PRIMARY_HOST:$PRIMARY_PORT сам резервный: укажите основной."
  password=$(openssl rand -hex 24 2>/dev/null || head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n')
  primary_query -v role="$REPLICATION_ROLE" -v password="$password" >/dev/null <<'SQL' || fail "учетная запись репликации не создана на основном сервере (ошибка выше)."
select format('create role %I login replication', :'role') where not exists (select 1 from pg_roles where rolname = :'role') \gexec
select format('alter role %I login replication password %L', :'role', :'password') \gexec
SQL
  primary_query -v slot="$name" >/dev/null <<'SQL' ||
select pg_create_physical_replication_slot(:'slot') where not exists (select 1 from pg_replication_slots where slot_name = :'slot');
SQL
    fail "слот репликации $name не создан на основном сервере (ошибка выше)."

  # The replication account may connect from here: a rule of the primary's pg_hba.conf.
  local conninfo="host=$PRIMARY_HOST port=$PRIMARY_PORT user=$REPLICATION_ROLE password=$password application_name=$name"
  if ! PGCONNECT_TIMEOUT=10 psql -X -q -tA "$conninfo replication=true" -c "IDENTIFY_SYSTEM" >/dev/null 2>&1; then
    echo "Основной сервер не пускает учетную запись репликации с этого компьютера." >&2
    echo "  Добавьте в $(primary_query -c "show hba_file") на $PRIMARY_HOST строку (адрес этого сервера вместо АДРЕС):" >&2
    echo "    host  replication  $REPLICATION_ROLE  АДРЕС/32  scram-sha-256" >&2
    echo "  выполните там: SELECT pg_reload_conf();  и запустите эту команду снова." >&2
    exit 1
  fi

  # The copy: the primary's files, then this server follows the primary's journal.
  if local_running; then stop_local; fi
  if [ -d "$data" ] && [ -n "$(ls -A "$data" 2>/dev/null)" ]; then
    local kept
    kept="$data.before-standby.$(date +%Y%m%d%H%M%S)"
    mv "$data" "$kept"
    echo "Прежние файлы сервера сохранены в $kept."
  fi
  mkdir -p "$data"
  [ "$(id -u)" -ne 0 ] || chown postgres "$data"
  chmod 700 "$data"
  echo "Копирование данных с $PRIMARY_HOST:$PRIMARY_PORT…"
  as_server env PGPASSWORD="$password" "$(pg_program pg_basebackup)" -h "$PRIMARY_HOST" -p "$PRIMARY_PORT" \
    -U "$REPLICATION_ROLE" -D "$data" -R -S "$name" -X stream -c fast ||
    fail "копия с основного сервера не снята (pg_basebackup, ошибка выше)."
  # A hot standby refuses to start with fewer of these than its primary has.
  primary_query -c "select name || ' = ' || setting from pg_settings where name in ('max_connections',
      'max_worker_processes', 'max_wal_senders', 'max_prepared_transactions', 'max_locks_per_transaction')" |
    as_server tee -a "$data/postgresql.auto.conf" >/dev/null
  # Who this standby is to the primary (its name among synchronous standbys), and its
  # queries are not cut off by the primary's clean-up of rows they still read.
  as_server tee -a "$data/postgresql.auto.conf" >/dev/null <<CONF
primary_conninfo = '$conninfo'
hot_standby = on
hot_standby_feedback = on
synchronous_standby_names = ''
CONF
  # A certificate made for the primary's name does not fit this server's: one of its own.
  if [ -f "$data/tabel-server.crt" ]; then
    local server
    server=${SERVER_NAME:-$(hostname -f 2>/dev/null || hostname)}
    openssl req -new -x509 -days 3650 -nodes -newkey rsa:2048 -subj "/CN=$server" \
      -addext "subjectAltName=DNS:$server,DNS:localhost,IP:127.0.0.1" \
      -keyout "$data/tabel-server.key" -out "$data/tabel-server.crt" >/dev/null 2>&1 &&
      { [ "$(id -u)" -ne 0 ] || chown postgres "$data/tabel-server.key" "$data/tabel-server.crt"; chmod 600 "$data/tabel-server.key"; } &&
      echo "Создан сертификат этого сервера $server: $data/tabel-server.crt (для sslmode = verify-full добавьте его в файл sslrootcert рабочих мест)."
  fi
  start_local

  # Streaming: the primary sees this standby.
  local state=
  for _ in $(seq 1 60); do
    state=$(primary_query -v name="$name" 2>/dev/null <<<"select state from pg_stat_replication where application_name = :'name'")
    [ "$state" = streaming ] && break
    sleep 1
  done
  [ "$state" = streaming ] || fail "резервный сервер запущен, но не получает изменения с основного: смотрите журнал PostgreSQL."
  echo "Этот сервер — резервный сервер $PRIMARY_HOST:$PRIMARY_PORT (горячий резерв, слот $name)."
  [ "$SYNC" = 1 ] && set_sync on "$name"
  standby_advice
}

# A statement on the primary: over the network from the standby being made, else on
# this server itself.
on_primary() {
  if [ -n "$STANDBY_OF" ]; then primary_query "$@"; else admin_psql -d postgres -tA "$@"; fi
}

# --sync / --async on the primary: whether a commit waits for the standby.
set_sync() {
  local mode=$1 name=${2:-}
  [ -n "$STANDBY_OF" ] || [ "$(query postgres "select pg_is_in_recovery()")" = f ] ||
    fail "этот сервер резервный: синхронность репликации задается на основном."
  if [ "$mode" = on ]; then
    # This standby by its name; else every standby the primary has now.
    on_primary -v name="$name" >/dev/null <<'SQL' || fail "синхронная репликация не включена (ошибка выше)."
select format('alter system set synchronous_standby_names = %L', 'FIRST 1 (' || names || ')')
  from (select coalesce(nullif(:'name', ''), string_agg(quote_ident(application_name), ', ')) as names
          from pg_stat_replication) s
 where names is not null \gexec
select pg_reload_conf();
SQL
    sleep 1
    [ -n "$(on_primary -c "show synchronous_standby_names")" ] ||
      fail "у основного сервера нет подключенного резервного: синхронная репликация не включена."
    local sync
    sync=$(on_primary -c "select count(*) from pg_stat_replication where sync_state = 'sync'")
    [ "$sync" -ge 1 ] || fail "синхронная репликация задана, но резервный сервер не подтвердил ее: смотрите --status."
    echo "Репликация синхронная: запись считается сохраненной, когда она есть на обоих серверах."
    echo "  Если резервный сервер остановится надолго, сохранения будут ждать его;"
    echo "  тогда на основном сервере: tabel-setup-server --async"
  else
    on_primary -c "alter system reset synchronous_standby_names" -c "select pg_reload_conf()" >/dev/null ||
      fail "синхронная репликация не выключена (ошибка выше)."
    echo "Репликация асинхронная: сохранения не ждут резервный сервер."
  fi
}

standby_advice() {
  local here=${SERVER_NAME:-$(hostname -f 2>/dev/null || hostname)}
  echo
  echo "Рабочим местам в /etc/tabel/tabel.conf (оба сервера, через запятую):"
  echo "    server = $PRIMARY_HOST, $here"
  [ "$PRIMARY_PORT" = "$PORT" ] || echo "  (порты разные: server = $PRIMARY_HOST:$PRIMARY_PORT, $here:$PORT)"
  echo "  Программа подключается к тому, что принимает запись; отчеты читает с резервного."
  echo "Правила доступа этого сервера (pg_hba.conf) должны пускать рабочие места, как на основном,"
  echo "  и учетную запись $REPLICATION_ROLE с основного сервера (на случай смены ролей):"
  echo "    host  replication  $REPLICATION_ROLE  <адрес $PRIMARY_HOST>/32  scram-sha-256"
  echo "Переключение на этот сервер, если основной вышел из строя: tabel-setup-server --promote"
}

# --promote: this standby becomes the primary.
promote() {
  local reply
  reply=$(query postgres "select pg_is_in_recovery()" 2>&1) || fail "сервер на порту $PORT недоступен: $reply"
  [ "$reply" = t ] || fail "этот сервер уже основной: переключать нечего."
  # A promoted standby has no standby of its own: a wait for one would stop every save.
  admin_psql -d postgres -c "alter system set synchronous_standby_names = ''" -c "select pg_reload_conf()" >/dev/null
  [ "$(query postgres "select pg_promote(true, 60)")" = t ] || fail "сервер не стал основным за 60 секунд: смотрите журнал PostgreSQL."
  echo "Этот сервер теперь основной: он принимает запись."
  echo "Рабочие места, у которых в tabel.conf указаны оба сервера, подключатся к нему сами."
  echo "Прежний основной сервер НЕ запускайте как основной: сделайте его резервным этого:"
  echo "    tabel-setup-server --standby-of $(hostname -f 2>/dev/null || hostname)$([ "$PORT" = 5432 ] || echo ":$PORT") --force"
}

# --status: which server this is, and how the replication stands.
status() {
  local reply
  reply=$(query postgres "select pg_is_in_recovery()" 2>&1) || fail "сервер на порту $PORT недоступен: $reply"
  if [ "$reply" = t ]; then
    echo "Этот сервер: резервный (горячий резерв, только чтение)."
    query postgres "select coalesce(sender_host || ':' || sender_port, 'нет связи') || ' (' || coalesce(status, 'нет приема') || ')'
                    from (select 1) one left join pg_stat_wal_receiver on true" |
      sed -e 's/^/  Основной сервер: /' -e 's/(streaming)/(изменения поступают)/'
    query postgres "select pg_wal_lsn_diff(pg_last_wal_receive_lsn(), pg_last_wal_replay_lsn())::bigint,
                           case when pg_last_wal_receive_lsn() = pg_last_wal_replay_lsn() then 0
                                else round(extract(epoch from now() - pg_last_xact_replay_timestamp()))::bigint end" |
      awk -F'|' '{ printf "  Отставание: %s байт, %s с (полученное, но еще не примененное)\n", ($1 == "" ? 0 : $1), ($2 == "" ? "?" : $2) }'
  else
    echo "Этот сервер: основной (принимает запись)."
    local rows
    rows=$(query postgres "select application_name, coalesce(host(client_addr), 'этот компьютер'), state,
                                  pg_wal_lsn_diff(pg_current_wal_lsn(), replay_lsn)::bigint,
                                  coalesce(round(extract(epoch from replay_lag))::bigint, 0), sync_state
                           from pg_stat_replication order by application_name")
    if [ -z "$rows" ]; then
      echo "  Резервных серверов не подключено."
    else
      echo "$rows" | awk -F'|' '{
        printf "  Резервный сервер %s (%s): %s; отставание %s байт, %s с; репликация %s\n", $1, $2,
          ($3 == "streaming" ? "изменения поступают" : $3), ($4 == "" ? "?" : $4), $5,
          ($6 == "sync" ? "синхронная" : ($6 == "async" ? "асинхронная" : $6)) }'
    fi
    local sync
    sync=$(query postgres "show synchronous_standby_names")
    if [ -n "$sync" ]; then echo "  Синхронная репликация: включена ($sync)."; else echo "  Синхронная репликация: выключена."; fi
    query postgres "select slot_name, pg_size_pretty(pg_wal_lsn_diff(pg_current_wal_lsn(), restart_lsn))
                    from pg_replication_slots where not active" |
      awk -F'|' 'NF { printf "  Внимание: слот %s не используется, журнал копится (%s). Резервный сервер выключен?\n", $1, $2 }'
  fi
}

standby_main() {
  if [ -n "${SOCKET_DIR:-}" ]; then export PGHOST=$SOCKET_DIR PGUSER=${PGUSER:-postgres}; fi
  if [ -n "$STANDBY_OF" ]; then make_standby
  elif [ "$PROMOTE" = 1 ]; then promote
  elif [ "$STATUS" = 1 ]; then status
  elif [ "$SYNC" = 1 ]; then set_sync on
  else set_sync off
  fi
}
