#pragma once
#include <QMap>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

// Runs one statement on a named connection and turns a refusal into DbError.
// Every statement of the client goes through here.
//
// Selects, and statements with parameters, run through the ODBC API (OdbcStatement). A
// text with parameters is prepared, and a connection opened through open() keeps it by
// its text for the next run: the server parses each text once and plans it for the values
// of each run. A select without parameters is sent whole the first time and prepared and
// kept from its second run on, and always sent whole inside a transaction. Other
// statements (fixtures, schema scripts) are sent as they are.
//
// A connection opened through open() finds its way back after the server was restarted
// or the network blinked: before a statement is sent, a connection that is known to be
// broken, or that has not answered for a while, is checked with a probe and opened
// anew. A statement is sent at most once: one that fails because the connection broke
// is reported (DbError::isConnectionLoss), never sent again by itself, since a write
// may already have taken effect on the server. Inside a transaction nothing is probed
// or re-opened: a transaction lost with its connection is reported.
namespace SqlRun {

struct Result {
    QSqlRecord fields;
    QVector<QSqlRecord> rows;
};

// The rows of a select held compactly: row r's value of column c at
// values[r * columnCount() + c]. Lists and journals are read this way; a record per row
// costs more than reading the row did.
struct Table {
    QSqlRecord fields;   // names and types, null values
    QVector<QVariant> values;

    int columnCount() const { return int(fields.count()); }
    int rowCount() const { return columnCount() == 0 ? 0 : int(values.size() / columnCount()); }
    const QVariant& value(int row, int column) const { return values[qsizetype(row) * columnCount() + column]; }
    // The index of a column by name, ignoring case as QSqlRecord does; -1 when none.
    int indexOf(const QString& name) const;
    QSqlRecord record(int row) const;
};

using Params = QMap<QString, QVariant>;

Result select(const QString& connectionName, const QString& sql, const Params& params = {});
Table selectTable(const QString& connectionName, const QString& sql, const Params& params = {});
// Returns the number of rows the statement changed.
int execute(const QString& connectionName, const QString& sql, const Params& params = {});

// Opens (or re-opens) a QODBC connection with the given string, sets up its session and
// remembers the string, so the connection can be opened again after a loss.
// onReopened runs after every later successful re-opening. Returns false with the
// driver's words in error when the server cannot be reached.
bool open(const QString& connectionName, const QString& connectionString, QString* error,
          std::function<void()> onReopened = {});
// Closes the connection and forgets it.
void forget(const QString& connectionName);

// A connection idle for at least this long is probed before its next statement
// (1000 ms unless set; 0 probes before every statement outside a transaction).
void setProbeAfterIdle(const QString& connectionName, int milliseconds);

// The connection broke and has not been opened again yet.
bool isBroken(const QString& connectionName);
// The user was told about the current loss of the connection (cleared by a re-opening).
bool lossReported(const QString& connectionName);
void setLossReported(const QString& connectionName);

// A transaction on the connection: begin() checks the connection first (nothing is sent
// yet), commit() throws DbError when the server refuses or the connection broke (then
// with an unknown outcome), rollback() never throws.
void begin(const QString& connectionName);
void commit(const QString& connectionName);
void rollback(const QString& connectionName);

// Told of every statement sent through here, with its values, and of "BEGIN", "COMMIT"
// and "ROLLBACK": the benchmarks send the same statements through the driver alone to
// know the floor under the program. Empty (the default): nobody is told.
using Observer = std::function<void(const QString& sql, const Params& params)>;
void setObserver(Observer observer);

}
