#include "db/sqlrun.h"

#include "db/dberror.h"
#include "db/odbcstatement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <malloc.h>
#include <memory>

#include <sql.h>
#include <sqlext.h>

namespace SqlRun {
namespace {

// What the client knows about one connection it opened itself.
struct Link {
    QString connectionString;
    std::function<void()> onReopened;
    int probeAfterIdleMs = 1000;
    QElapsedTimer lastAnswer;
    bool broken = false;
    bool lossReported = false;
    bool transactionOpen = false;   // begun through begin(), not yet ended
    // Statements prepared on this connection, kept by their text for the next run: the
    // server parses and plans each once, and no deallocation follows every run.
    QHash<QString, std::shared_ptr<OdbcStatement>> statements;
    QStringList statementsByUse;   // least recently used first
    // Texts run once so far, sent whole: only a text that comes again is prepared.
    QSet<QString> seenOnce;

    void dropStatements()
    {
        statements.clear();
        statementsByUse.clear();
        seenOnce.clear();
    }
};

// Enough for every dataset and command of the client.
constexpr int kKeptStatements = 64;
// Texts that carry their values (a worker's number, a date written into the text) mostly
// run once; so many are remembered before the memory starts afresh.
constexpr int kSeenTexts = 1024;

Observer g_observer;

void tell(const QString& sql, const Params& params = {})
{
    if (g_observer)
        g_observer(sql, params);
}

QMutex g_linksMutex;
QMap<QString, std::shared_ptr<Link>> g_links;

std::shared_ptr<Link> linkOf(const QString& connectionName)
{
    QMutexLocker lock(&g_linksMutex);
    return g_links.value(connectionName);
}

SQLHANDLE nativeHandle(const QVariant& handle)
{
    // The QODBC driver hands its ODBC handles over as a void pointer (SQLHANDLE).
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "SQLHANDLE") != 0 && qstrcmp(handle.typeName(), "void*") != 0))
        return nullptr;
    return *static_cast<SQLHANDLE const*>(handle.data());
}

SQLHANDLE connectionHandle(const QSqlDatabase& db)
{
    return db.driver() ? nativeHandle(db.driver()->handle()) : nullptr;
}

// The SQLSTATE of the statement's first diagnostic record; the driver's error number
// (QSqlError::nativeErrorCode) is the driver's own, not the server's code.
QString sqlStateOf(const QSqlQuery& query)
{
    SQLHANDLE statement = query.result() ? nativeHandle(query.result()->handle()) : nullptr;
    if (!statement)
        return {};
    SQLWCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(SQL_HANDLE_STMT, statement, 1, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(r))
        return {};
    QString text;
    for (int i = 0; i < 5 && state[i]; ++i)
        text += QChar(char16_t(state[i]));
    return text;
}

// The driver keeps the connection's state: after a loss it is "dead".
bool connectionDead(const QSqlDatabase& db)
{
    SQLHANDLE connection = connectionHandle(db);
    if (!connection)
        return !db.isOpen();
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN r = SQLGetConnectAttr(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(r) && dead == SQL_CD_TRUE;
}

bool autocommitOff(const QSqlDatabase& db)
{
    SQLHANDLE connection = connectionHandle(db);
    if (!connection)
        return false;
    SQLULEN autocommit = SQL_AUTOCOMMIT_ON;
    const SQLRETURN r = SQLGetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr);
    return SQL_SUCCEEDED(r) && autocommit == SQL_AUTOCOMMIT_OFF;
}

QString cleanedText(QString text)
{
    // The driver appends its own line to the server's message; the user needs only the
    // server's words.
    static const QString driverTail = QStringLiteral("Error while executing the query");
    text = text.trimmed();
    if (text.endsWith(driverTail) && text.size() > driverTail.size()) {
        text.chop(driverTail.size());
        text = text.trimmed();
        if (text.endsWith(u';'))
            text.chop(1);
    }
    return text;
}

QString errorText(const QSqlError& error)
{
    QString text = cleanedText(error.databaseText());
    if (text.isEmpty())
        text = error.text().trimmed();
    return text;
}

DbError lost(const QString& sqlState, const QString& words, const QString& connectionName)
{
    DbError e(sqlState.isEmpty() ? QStringLiteral("08006") : sqlState, words, true);
    e.setConnectionName(connectionName);
    return e;
}

// Opens the connection and prepares its session.
bool openSession(QSqlDatabase& db, const QString& connectionString, QString* error)
{
    db.close();
    db.setDatabaseName(connectionString);
    if (!db.open()) {
        if (error)
            *error = db.lastError().databaseText().trimmed().isEmpty() ? db.lastError().text()
                                                                       : db.lastError().databaseText().trimmed();
        return false;
    }
    // Dates in statement texts are day first ('07.03.2024'); a database copied or restored
    // without its own settings would read them month first, so the session says so itself.
    QSqlQuery(db).exec(QStringLiteral("set datestyle = 'ISO, DMY'"));
    // Statements stay prepared for their next run. After a few runs the server would
    // switch to one plan for any parameter values, and for a journal of one date that plan
    // misjudges the rows and runs four times slower than planning for the date given.
    // (A server older than 12 knows no such setting and keeps its own choice.)
    QSqlQuery(db).exec(QStringLiteral("set plan_cache_mode = force_custom_plan"));
    return true;
}

void reopen(QSqlDatabase& db, Link& link, const QString& connectionName)
{
    link.dropStatements();
    QString error;
    if (!openSession(db, link.connectionString, &error)) {
        link.broken = true;
        throw lost(QStringLiteral("08001"), error, connectionName);
    }
    link.broken = false;
    link.lossReported = false;
    link.lastAnswer.start();
    if (link.onReopened)
        link.onReopened();
}

// Makes sure the connection answers before a statement is sent on it.
void ensureAnswering(QSqlDatabase& db, Link& link, const QString& connectionName)
{
    if (link.transactionOpen) {
        // A transaction lives and dies with its connection: its later statements must
        // not run on a new one, outside it.
        if (link.broken)
            throw lost(QString(), QStringLiteral("Связь оборвалась во время транзакции; её изменения не сохранены."),
                       connectionName);
        return;
    }
    if (!link.broken && db.isOpen() && autocommitOff(db))
        return;   // a transaction opened elsewhere: nothing is sent before its statements
    if (!link.broken && db.isOpen()) {
        if (link.lastAnswer.isValid() && link.lastAnswer.elapsed() < link.probeAfterIdleMs)
            return;
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("select 1")) || !connectionDead(db)) {
            link.lastAnswer.start();
            return;
        }
    }
    reopen(db, link, connectionName);
}

// The statement for the text: the one kept on the connection, or a new one.
// A text without parameters is prepared and kept only when it comes a second time. Such
// texts mostly carry their values (a worker's number, a date written into the text) and
// run once; preparing one costs two round trips before it runs and a deallocation after,
// and would push the statements that do come again out of the kept ones. The first time
// it is sent whole, in one round trip. Inside a transaction it is always sent whole: the
// driver guards each statement there with a savepoint, which travels with a text sent
// whole but costs a prepared statement a round trip of its own.
// A text with parameters is always prepared: sent whole, the driver would write casts
// of its own into it, and the server would read the values by those instead of by the
// columns they are compared with. A text the server refused is not kept.
std::shared_ptr<OdbcStatement> statementFor(QSqlDatabase& db, Link* link, const QString& sql, bool inTransaction,
                                            bool* fresh)
{
    auto hasParams = [&sql] {
        QStringList names;
        OdbcStatement::positional(sql, &names);
        return !names.isEmpty();
    };
    *fresh = true;
    if (inTransaction && !hasParams())
        return std::make_shared<OdbcStatement>(connectionHandle(db), sql, OdbcStatement::Mode::Direct);
    if (link) {
        if (std::shared_ptr<OdbcStatement> kept = link->statements.value(sql)) {
            link->statementsByUse.removeOne(sql);
            link->statementsByUse.append(sql);
            *fresh = false;
            return kept;
        }
    }
    if ((!link || !link->seenOnce.contains(sql)) && !hasParams()) {
        if (link) {
            if (link->seenOnce.size() >= kSeenTexts)
                link->seenOnce.clear();
            link->seenOnce.insert(sql);
        }
        return std::make_shared<OdbcStatement>(connectionHandle(db), sql, OdbcStatement::Mode::Direct);
    }
    if (link)
        link->seenOnce.remove(sql);
    auto statement = std::make_shared<OdbcStatement>(connectionHandle(db), sql);
    if (link && statement->isPrepared()) {
        if (link->statementsByUse.size() >= kKeptStatements)
            link->statements.remove(link->statementsByUse.takeFirst());
        link->statements.insert(sql, statement);
        link->statementsByUse.append(sql);
    }
    return statement;
}

void forgetStatement(Link* link, const QString& sql)
{
    if (!link)
        return;
    link->statements.remove(sql);
    link->statementsByUse.removeOne(sql);
}

// The plan of a kept statement no longer fits the tables (a column was added or changed
// since it was prepared; the server says "cached plan must not change result type", in
// the server's language). The server refuses it before running it, so preparing it anew
// and sending it once more runs it exactly once.
bool planOutdated(const OdbcStatement& statement)
{
    return statement.sqlState() == QLatin1String("0A000");
}

// Turns a refusal into DbError, marking the connection broken when the refusal was its
// loss.
[[noreturn]] void refuse(QSqlDatabase& db, Link* link, const QString& state, const QString& words,
                         const QString& connectionName, bool writes)
{
    if (DbError::kindOf(state) == DbError::Kind::Connection || connectionDead(db)) {
        if (link) {
            link->broken = true;
            link->dropStatements();
        }
        DbError e = lost(state, words, connectionName);
        // Inside a transaction nothing was committed: the server rolls it back with the
        // connection. Only its COMMIT can end with an unknown outcome (see commit()).
        if (writes && !(link && link->transactionOpen))
            e.setOutcomeUnknown();
        throw e;
    }
    if (link)
        link->lastAnswer.start();
    DbError e(state, words);
    e.setConnectionName(connectionName);
    throw e;
}

[[noreturn]] void refuse(QSqlDatabase& db, Link* link, const OdbcStatement& statement, const QString& connectionName,
                         bool writes)
{
    refuse(db, link, statement.sqlState(), cleanedText(statement.errorText()), connectionName, writes);
}

// The client's knowledge of the connection (none for one it did not open itself), once
// the connection answers.
std::shared_ptr<Link> answeringLink(QSqlDatabase& db, const QString& connectionName)
{
    std::shared_ptr<Link> link = linkOf(connectionName);
    if (link)
        ensureAnswering(db, *link, connectionName);
    else if (!db.isOpen())
        throw lost(QStringLiteral("08003"), QStringLiteral("Соединение не открыто."), connectionName);
    return link;
}

// Runs a statement through the ODBC API: a text that comes again is prepared once and
// kept on the connection (see statementFor).
std::shared_ptr<OdbcStatement> runStatement(const QString& connectionName, const QString& sql, const Params& params,
                                           bool writes)
{
    tell(sql, params);
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const std::shared_ptr<Link> link = answeringLink(db, connectionName);

    const bool inTransaction = (link && link->transactionOpen) || autocommitOff(db);
    bool fresh = false;
    std::shared_ptr<OdbcStatement> statement = statementFor(db, link.get(), sql, inTransaction, &fresh);
    bool ok = statement->execute(params);
    if (!ok && !fresh && !inTransaction && planOutdated(*statement)) {
        forgetStatement(link.get(), sql);
        statement = statementFor(db, link.get(), sql, inTransaction, &fresh);
        ok = statement->execute(params);
    }
    if (!ok) {
        forgetStatement(link.get(), sql);
        refuse(db, link.get(), *statement, connectionName, writes);
    }
    if (link)
        link->lastAnswer.start();
    return statement;
}

// A statement without parameters that changes something (fixtures, schema scripts with
// bodies of their own) is sent as it is, never prepared and kept.
int runDirect(const QString& connectionName, const QString& sql)
{
    tell(sql);
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const std::shared_ptr<Link> link = answeringLink(db, connectionName);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.exec(sql)) {
        if (link)
            link->lastAnswer.start();
        return query.numRowsAffected();
    }
    refuse(db, link.get(), sqlStateOf(query), errorText(query.lastError()), connectionName, true);
}

}

int Table::indexOf(const QString& name) const
{
    return fields.indexOf(name);
}

QSqlRecord Table::record(int row) const
{
    QSqlRecord r = fields;
    for (int c = 0; c < columnCount(); ++c)
        r.setValue(c, value(row, c));
    return r;
}

Table selectTable(const QString& connectionName, const QString& sql, const Params& params)
{
    const std::shared_ptr<OdbcStatement> statement = runStatement(connectionName, sql, params, false);
    Table table;
    table.fields = statement->fields();
    if (!statement->fetchAll(table.fields, &table.values)) {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        const std::shared_ptr<Link> link = linkOf(connectionName);
        forgetStatement(link.get(), sql);
        refuse(db, link.get(), *statement, connectionName, false);
    }
    return table;
}

Result select(const QString& connectionName, const QString& sql, const Params& params)
{
    const Table table = selectTable(connectionName, sql, params);
    Result result;
    result.fields = table.fields;
    result.rows.reserve(table.rowCount());
    for (int row = 0; row < table.rowCount(); ++row)
        result.rows.push_back(table.record(row));
    return result;
}

int execute(const QString& connectionName, const QString& sql, const Params& params)
{
    if (params.isEmpty())
        return runDirect(connectionName, sql);
    const std::shared_ptr<OdbcStatement> statement = runStatement(connectionName, sql, params, true);
    const int changed = statement->rowsAffected();
    statement->closeCursor();
    return changed;
}

// Settings of the process that reading rows depends on, made before the first
// connection opens:
// - Without TZ the C library checks /etc/localtime again for every local date-time it
//   makes, and a journal makes one per row. Naming the same file once spares those
//   checks; a zone the user chose stays as it is.
// - A list's rows come to a few hundred kilobytes and a month's report to some 30 MB,
//   which the C library would take from the system and give back on every re-read,
//   paying a page fault per page each time (a fifth of a list's reading, a third of a
//   report's in a virtual machine). Blocks up to 32 MB come from the heap instead, and
//   up to 64 MB of freed heap is kept for the next list or report.
static void prepareProcessOnce()
{
    static const bool prepared = [] {
        if (!qEnvironmentVariableIsSet("TZ") && QFile::exists(QStringLiteral("/etc/localtime")))
            qputenv("TZ", ":/etc/localtime");
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        return true;
    }();
    Q_UNUSED(prepared);
}

bool open(const QString& connectionName, const QString& connectionString, QString* error,
          std::function<void()> onReopened)
{
    prepareProcessOnce();
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
        ? QSqlDatabase::database(connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connectionName);
    auto link = std::make_shared<Link>();
    link->connectionString = connectionString;
    link->onReopened = std::move(onReopened);
    if (const std::shared_ptr<Link> old = linkOf(connectionName)) {
        link->probeAfterIdleMs = old->probeAfterIdleMs;
        old->dropStatements();
    }
    const bool ok = openSession(db, connectionString, error);
    link->broken = !ok;
    if (ok)
        link->lastAnswer.start();
    QMutexLocker lock(&g_linksMutex);
    g_links.insert(connectionName, link);
    return ok;
}

void forget(const QString& connectionName)
{
    std::shared_ptr<Link> link;
    {
        QMutexLocker lock(&g_linksMutex);
        link = g_links.take(connectionName);
    }
    // Statements go before their connection. A connection that something closed first (Qt
    // closes every connection still open when the application object goes) took its
    // statements with it: freeing their handles then would touch freed memory.
    if (link && !QSqlDatabase::database(connectionName, false).isOpen())
        for (const std::shared_ptr<OdbcStatement>& statement : std::as_const(link->statements))
            statement->abandon();
    if (link)
        link->dropStatements();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void setProbeAfterIdle(const QString& connectionName, int milliseconds)
{
    if (const std::shared_ptr<Link> link = linkOf(connectionName))
        link->probeAfterIdleMs = milliseconds;
}

bool isBroken(const QString& connectionName)
{
    const std::shared_ptr<Link> link = linkOf(connectionName);
    return link && link->broken;
}

bool lossReported(const QString& connectionName)
{
    const std::shared_ptr<Link> link = linkOf(connectionName);
    return link && link->lossReported;
}

void setLossReported(const QString& connectionName)
{
    if (const std::shared_ptr<Link> link = linkOf(connectionName))
        link->lossReported = true;
}

void begin(const QString& connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const std::shared_ptr<Link> link = linkOf(connectionName);
    if (link)
        ensureAnswering(db, *link, connectionName);
    tell(QStringLiteral("BEGIN"));
    if (!db.transaction()) {
        DbError e(QString(), errorText(db.lastError()), connectionDead(db));
        e.setConnectionName(connectionName);
        throw e;
    }
    if (link)
        link->transactionOpen = true;
}

void commit(const QString& connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const std::shared_ptr<Link> link = linkOf(connectionName);
    tell(QStringLiteral("COMMIT"));
    if (db.commit()) {
        if (link) {
            link->transactionOpen = false;
            link->lastAnswer.start();
        }
        return;
    }
    const bool dead = connectionDead(db) || (link && link->broken);
    DbError e(QString(), errorText(db.lastError()), dead);
    e.setConnectionName(connectionName);
    if (dead)
        e.setOutcomeUnknown();   // the commit may have reached the server
    rollback(connectionName);
    throw e;
}

void rollback(const QString& connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const std::shared_ptr<Link> link = linkOf(connectionName);
    if (link)
        link->transactionOpen = false;
    tell(QStringLiteral("ROLLBACK"));
    if (db.rollback())
        return;
    // A connection that cannot even roll back is opened anew before its next statement,
    // and a new one starts in autocommit.
    if (link) {
        link->dropStatements();
        link->broken = true;
    }
    db.close();
}

void setObserver(Observer observer)
{
    g_observer = std::move(observer);
}

}
