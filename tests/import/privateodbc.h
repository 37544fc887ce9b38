#pragma once
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

// Private ODBC data sources for the legacy import: a folder of its own with an
// odbcinst.ini naming the PostgreSQL and SQLite drivers and an odbc.ini declaring "Tabel"
// (an SQLite file in the folder) and "Tabel_PgSQL" (a database of the test server), with
// unixODBC pointed at it. unixODBC reads its ini files once per process: create this
// before the process's first ODBC connection.
class PrivateOdbc {
public:
    explicit PrivateOdbc(const QString& targetDatabase)
    {
        if (!folder_.isValid())
            throw std::runtime_error("no temporary folder for odbc.ini");
        write(QStringLiteral("odbcinst.ini"),
              QStringLiteral("[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nDebug=0\nCommLog=0\n\n"
                             "[SQLite3]\nDriver=libsqlite3odbc.so\n"));
        write(QStringLiteral("odbc.ini"),
              QStringLiteral("[Tabel]\nDriver=SQLite3\nDatabase=%1\n\n"
                             "[Tabel_PgSQL]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%2\n"
                             "Database=%3\nUsername=sys\nPassword=plomvux\n")
                  .arg(legacyFile())
                  .arg(TestDatabase::port())
                  .arg(targetDatabase));
        qputenv("ODBCSYSINI", QFile::encodeName(folder_.path()));
        qputenv("ODBCINI", QFile::encodeName(path(QStringLiteral("odbc.ini"))));
    }

    QString path(const QString& name) const { return QDir(folder_.path()).filePath(name); }
    // The old database behind "Tabel".
    QString legacyFile() const { return path(QStringLiteral("legacy.db")); }
    // A direct connection string to that file, for writing the old database.
    QString legacyWriter() const { return QStringLiteral("DRIVER={SQLite3};Database=%1").arg(legacyFile()); }

private:
    void write(const QString& name, const QString& text) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write " + name.toStdString());
        file.write(text.toUtf8());
    }

    QTemporaryDir folder_;
};
