#pragma once
#include <QString>
#include <QStringList>

// The ODBC connection string of the one database connection.
namespace ConnectionString {

// The string for a database name and server, on the given port (the plant uses 5432).
QString compose(const QString& database, const QString& server, int port = 5432);

// The built-in default: database kesta_erp on the server chosen at build time.
QString builtInDefault();

// Chooses from the program's arguments (without the program name): a non-empty second
// argument composes the string from both, anything else gives the built-in default.
QString fromArguments(const QStringList& args);

}
