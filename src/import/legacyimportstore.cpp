#include "import/legacyimportstore.h"

#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/sqlrun.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <atomic>

namespace {

QString sqlTypeOf(ImportSteps::Form form)
{
    switch (form) {
    case ImportSteps::Form::Integer: return QStringLiteral("bigint[]");
    case ImportSteps::Form::Float: return QStringLiteral("double precision[]");
    case ImportSteps::Form::Text: break;
    }
    return QStringLiteral("text[]");
}

void openDataSource(const QString& name, const LegacyImportStore::DataSource& source)
{
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    if (db.isOpen())
        return;
    // A bare name is opened as "DSN=name;UID=user;PWD=password".
    db.setDatabaseName(source.name);
    db.setUserName(source.user);
    db.setPassword(source.password);
    if (!db.open())
        throw DbError(QStringLiteral("Не удалось подключиться к источнику данных ODBC «%1».\n%2")
                          .arg(source.name, db.lastError().text()).trimmed());
}

// Norm levels whose operation is gone go with it, as the foreign key's cascade does; the
// import replaces operations with the checks switched off, so it does it itself.
const char* const kImportRole = "set local role tabel_import";

// The old journal that a plant keeps beside the schema, and whether this login may read it.
const char* const kMainSource =
    "select quote_ident(n.nspname) || '.' || quote_ident(c.relname) as name, c.oid::bigint as oid, "
    "has_table_privilege(c.oid, 'SELECT')::integer as readable, current_database() as db "
    "from pg_class c join pg_namespace n on n.oid = c.relnamespace where c.oid = to_regclass(:name)";

const char* const kNormsOfGoneOperations =
    "delete from accounts_dep.norm where o_id>0 and not exists (select 1 from accounts_dep.oper where oper.id=norm.o_id)";

}

LegacyImportStore::LegacyImportStore(DataModule* main) : main_(main)
{
    static std::atomic<int> counter{0};
    const int n = ++counter;
    legacy_ = QStringLiteral("MSA_%1").arg(n);
    target_ = QStringLiteral("PGSQL_%1").arg(n);
}

LegacyImportStore::~LegacyImportStore()
{
    for (const QString& name : {legacy_, target_}) {
        if (!QSqlDatabase::contains(name))
            continue;
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

void LegacyImportStore::open()
{
    openDataSource(legacy_, legacySource());
    // The new database is written with the rights the workstation signed in with.
    DataSource target = targetSource();
    const ConnectionString::Account signedIn = ConnectionString::accountOf(main_->connectionString());
    if (!signedIn.user.isEmpty())
        target.user = signedIn.user, target.password = signedIn.password;
    openDataSource(target_, target);
}

QString LegacyImportStore::mainConnection() const
{
    return main_->connectionName();
}

bool LegacyImportStore::targetIsMainDatabase() const
{
    // The same database when the main connection sees the target's own session in it.
    const SqlRun::Result own = SqlRun::select(
        target_, QStringLiteral("select pid, (extract(epoch from backend_start) * 1000000)::bigint as started "
                 "from pg_stat_activity where pid = pg_backend_pid()"));
    if (own.rows.isEmpty())
        return false;
    const SqlRun::Result seen = SqlRun::select(
        mainConnection(),
        QStringLiteral("select count(*) as cnt from pg_stat_activity where pid = :pid "
                       "and (extract(epoch from backend_start) * 1000000)::bigint = :started "
                       "and datname = current_database()"),
        {{QStringLiteral("pid"), own.rows.first().value(0).toInt()},
         {QStringLiteral("started"), own.rows.first().value(1).toLongLong()}});
    return !seen.rows.isEmpty() && seen.rows.first().value(0).toInt() > 0;
}

LegacyImportStore::Source LegacyImportStore::findSource(const ImportSteps::Step& step) const
{
    Source source;
    if (step.origin == ImportSteps::Origin::Main) {
        source.connection = mainConnection();
        // The name as an unqualified select would read it on that connection.
        const SqlRun::Result found =
            SqlRun::select(source.connection, QString::fromLatin1(kMainSource), {{QStringLiteral("name"), step.sourceTable}});
        if (found.rows.isEmpty())
            throw DbError(QStringLiteral("в базе основного подключения нет таблицы «%1» со старым журналом.").arg(step.sourceTable));
        source.table = found.rows.first().value(0).toString();
        if (found.rows.first().value(2).toInt() == 0)
            throw DbError(QStringLiteral("нет права читать старый журнал %1. Администратор разрешает это на сервере "
                                         "базы данных командой «tabel-setup-server --upgrade --database %2» "
                                         "и повторяет перенос.")
                              .arg(source.table, found.rows.first().value(3).toString()));
        const qlonglong sourceOid = found.rows.first().value(1).toLongLong();
        const SqlRun::Result target = SqlRun::select(
            target_, QStringLiteral("select '%1'::regclass::oid::bigint as oid").arg(step.target));
        if (sourceOid == target.rows.first().value(0).toLongLong() && targetIsMainDatabase())
            throw DbError(QStringLiteral("таблица «%1» основного подключения — это сама %2, которую заменяет перенос; "
                                         "из неё журнал не переносится.")
                              .arg(step.sourceTable, step.target));
    } else {
        source.connection = legacy_;
        source.table = step.sourceTable;
    }

    const SqlRun::Result shape =
        SqlRun::select(source.connection, QStringLiteral("select * from %1 where 1=0").arg(source.table));
    const QSqlDriver* driver = QSqlDatabase::database(source.connection, false).driver();
    for (const ImportSteps::Column& column : step.columns) {
        QString found;
        for (int i = 0; i < shape.fields.count(); ++i)
            if (shape.fields.fieldName(i).compare(column.sourceName(), Qt::CaseInsensitive) == 0)
                found = shape.fields.fieldName(i);
        if (found.isEmpty())
            throw DbError(QStringLiteral("в таблице %1 нет поля %2.").arg(step.sourceTable, column.sourceName().toUpper()));
        if (column.sourceName() == QLatin1String("id"))
            source.idColumn = static_cast<int>(source.columns.size());
        source.columns << driver->escapeIdentifier(found, QSqlDriver::FieldName);
    }
    return source;
}

int LegacyImportStore::countRows(const Source& source) const
{
    const SqlRun::Result r = SqlRun::select(source.connection, QStringLiteral("select count(*) from %1").arg(source.table));
    return r.rows.isEmpty() ? 0 : r.rows.first().value(0).toInt();
}

std::unique_ptr<BlockReader> LegacyImportStore::read(const Source& source, bool sortedById) const
{
    QString sql = QStringLiteral("select %1 from %2").arg(source.columns.join(QStringLiteral(", ")), source.table);
    if (sortedById && source.idColumn >= 0)
        sql += QStringLiteral(" order by %1").arg(source.columns.at(source.idColumn));
    return std::make_unique<BlockReader>(source.connection, sql);
}

void LegacyImportStore::beginStep(const ImportSteps::Step& step)
{
    QSqlDatabase db = QSqlDatabase::database(target_, false);
    if (!db.transaction())
        throw DbError(db.lastError().text());
    inStep_ = true;
    // The old database's rows, prices, marks and hours are written as they were under the
    // import's own role, which a full-access login takes for this transaction only.
    try {
        SqlRun::execute(target_, QString::fromLatin1(kImportRole));
        if (!step.checksReferences)
            SqlRun::execute(target_, QStringLiteral("set local session_replication_role = replica"));
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("перенос данных выполняется только с полным доступом к базе данных.\n")
                      + e.message());
    }
    SqlRun::execute(target_, QStringLiteral("delete from %1 where id>0").arg(step.target));
}

QString LegacyImportStore::insertStatement(const ImportSteps::Step& step) const
{
    // insert into T(a, b, c) select "a", "b", "c"::date from unnest(cast(:a as bigint[]), ...) as source("a", "b", "c")
    QStringList targets, values, casts, names;
    for (const ImportSteps::Column& column : step.columns) {
        const QString name = u'"' + column.name + u'"';
        targets << column.name;
        names << name;
        values << (column.cast.isEmpty() ? name : name + QStringLiteral("::") + column.cast);
        casts << QStringLiteral("cast(:%1 as %2)").arg(column.name, sqlTypeOf(column.form));
    }
    return QStringLiteral("insert into %1(%2) select %3 from unnest(%4) as source(%5)")
        .arg(step.target, targets.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
             casts.join(QStringLiteral(", ")), names.join(QStringLiteral(", ")));
}

SqlRun::Params LegacyImportStore::arrays(const ImportSteps::Step& step, const QVector<Row>& rows)
{
    SqlRun::Params params;
    for (int c = 0; c < step.columns.size(); ++c) {
        ValueForms::ArrayText array;
        array.reserve(rows.size() * 12);
        for (const Row& row : rows) {
            const ValueForms::Converted& value = row.at(c);
            if (value.null)
                array.appendNull();
            else if (step.columns.at(c).form == ImportSteps::Form::Text)
                array.appendText(value.text);
            else
                array.appendNumber(value.text);
        }
        params.insert(step.columns.at(c).name, array.finish());
    }
    return params;
}

void LegacyImportStore::insertRows(const ImportSteps::Step& step, const SqlRun::Params& arrays)
{
    SqlRun::execute(target_, insertStatement(step), arrays);
}

void LegacyImportStore::insert(const ImportSteps::Step& step, const QVector<Row>& rows, const SqlRun::Params& arrays)
{
    SqlRun::execute(target_, QStringLiteral("savepoint import_rows"));
    try {
        insertRows(step, arrays);
        SqlRun::execute(target_, QStringLiteral("release savepoint import_rows"));
        return;
    } catch (const DbError& refused) {
        // Find the row: each alone, in order, until one is refused.
        try {
            SqlRun::execute(target_, QStringLiteral("rollback to savepoint import_rows"));
        } catch (const DbError&) {
            throw RowRefused{-1, refused.message()};
        }
        for (int i = 0; i < rows.size(); ++i) {
            try {
                insertRows(step, LegacyImportStore::arrays(step, {rows.at(i)}));
            } catch (const DbError& e) {
                throw RowRefused{i, e.message()};
            }
        }
        throw RowRefused{-1, refused.message()};
    }
}

void LegacyImportStore::moveGenerator(const ImportSteps::Step& step)
{
    if (step.generatorOf.isEmpty())
        return;
    // Forward only: the generator may serve other tables with higher ids already.
    SqlRun::select(target_,
                   QStringLiteral("select setval(generator, top) from (select pg_get_serial_sequence('%1', 'id')::regclass as generator) g, "
                                  "(select max(id)::bigint as top from %2) copied "
                                  "where top > coalesce(pg_sequence_last_value(generator), 0)")
                       .arg(step.generatorOf, step.target));
}

void LegacyImportStore::dropNormsOfGoneOperations(const ImportSteps::Step& step)
{
    if (step.target == QLatin1String("accounts_dep.oper"))
        SqlRun::execute(target_, QString::fromLatin1(kNormsOfGoneOperations));
}

void LegacyImportStore::commitStep()
{
    QSqlDatabase db = QSqlDatabase::database(target_, false);
    inStep_ = false;
    if (!db.commit())
        throw DbError(db.lastError().text());
}

void LegacyImportStore::rollbackStep()
{
    if (!inStep_)
        return;
    inStep_ = false;
    QSqlDatabase::database(target_, false).rollback();
}
