# Sourced by scripts/testserver.sh and scripts/benchserver.sh.
# write_private_odbc_ini FOLDER: registers the PostgreSQL driver in FOLDER/odbcinst.ini
# with an empty FOLDER/odbc.ini. The driver's packaged registration writes a CommLog into
# /tmp; a private one keeps it quiet.
write_private_odbc_ini() {
  mkdir -p "$1"
  cat > "$1/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=psqlodbcw.so
Setup=libodbcpsqlS.so
Debug=0
CommLog=0
INI
  : > "$1/odbc.ini"
}
