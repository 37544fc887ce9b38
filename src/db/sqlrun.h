#pragma once
#include <QMap>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVector>

// Runs one statement on a named connection and turns a refusal into DbError.
// Every statement of the client goes through here.
namespace SqlRun {

struct Result {
    QSqlRecord fields;
    QVector<QSqlRecord> rows;
};

using Params = QMap<QString, QVariant>;

Result select(const QString& connectionName, const QString& sql, const Params& params = {});
// Returns the number of rows the statement changed.
int execute(const QString& connectionName, const QString& sql, const Params& params = {});

}
