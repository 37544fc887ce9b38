#include "db/sqlrun.h"

#include "db/dberror.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace SqlRun {
namespace {

QString errorText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    // The driver appends its own line to the server's message; the user needs only the
    // server's words.
    static const QString driverTail = QStringLiteral("Error while executing the query");
    if (text.endsWith(driverTail) && text.size() > driverTail.size()) {
        text.chop(driverTail.size());
        text = text.trimmed();
        if (text.endsWith(u';'))
            text.chop(1);
    }
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Ошибка базы данных");
    return text;
}

QSqlQuery run(const QString& connectionName, const QString& sql, const Params& params)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("Нет подключения к базе данных"));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ok;
    if (params.isEmpty()) {
        ok = query.exec(sql);
    } else {
        if (!query.prepare(sql))
            throw DbError(errorText(query.lastError()));
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            query.bindValue(u':' + it.key(), it.value());
        ok = query.exec();
    }
    if (!ok)
        throw DbError(errorText(query.lastError()));
    return query;
}

}

Result select(const QString& connectionName, const QString& sql, const Params& params)
{
    QSqlQuery query = run(connectionName, sql, params);
    Result result;
    result.fields = query.record();
    while (query.next())
        result.rows.push_back(query.record());
    if (query.lastError().isValid())
        throw DbError(errorText(query.lastError()));
    return result;
}

int execute(const QString& connectionName, const QString& sql, const Params& params)
{
    QSqlQuery query = run(connectionName, sql, params);
    return query.numRowsAffected();
}

}
