#pragma once
#include <QString>
#include <QStringList>

// The ODBC connection string of the one database connection.
namespace ConnectionString {

// An account the connection logs in with.
struct Account {
    QString user;
    QString password;
};

// A database server: its name or address and its port (0 when the text names none).
struct Server {
    QString host;
    int port = 0;
};
// Reads "db2" or "db2:5433"; a port out of range gives an empty host.
Server parseServer(const QString& text);

// The account every workstation connects with first: it may only read the build stamp
// and call the sign-in, which hands back the login of the access code's role.
Account signInAccount();

// The string for a database name and server, on the given port (the plant uses 5432),
// with the sign-in account unless another is given, and the TLS mode of the installation.
// The server may be a list, "db1,db2:5433" (a part without a port has the given one):
// the connection is then made to the one that accepts writes, whichever it is.
QString compose(const QString& database, const QString& server, int port = 5432);
QString compose(const QString& database, const QString& server, int port, const Account& account,
                const QString& sslMode = QStringLiteral("allow"), const QString& sslRootCert = {});

// The string of the reports' connection: to a hot standby among the servers (the list as
// compose() reads it), read-only.
QString composeForReports(const QString& database, const QString& servers, int port, const Account& account,
                          const QString& sslMode = QStringLiteral("allow"), const QString& sslRootCert = {});

// The same string with another account in it; everything else stays as it is.
QString withAccount(const QString& connectionString, const Account& account);
// The account a string logs in with; empty when it names none.
Account accountOf(const QString& connectionString);

// The built-in default: database kesta_erp on the server chosen at build time.
QString builtInDefault();

// Chooses from the program's arguments (without the program name): a non-empty second
// argument composes the string from both, anything else gives the built-in default.
QString fromArguments(const QStringList& args);

// What a workstation's administrator wrote into the installation's setting file
// (lines "server = …", "database = …", "port = …", "sslmode = …", "sslrootcert = …",
// "report_server = …"; "server" may list several servers, "db1, db2:5433";
// "#" starts a comment). An empty part keeps the built-in one. Lines that cannot be used are left out and described in
// `problems`, so a typo never reaches the connection string.
struct InstallationSetting {
    QString server;   // one server, or several separated by commas
    // Where the reports read: a hot standby. Empty: any hot standby among the servers.
    QString reportServer;
    QString database;
    int port = 0;
    // TLS: "require", or "verify-full" with the plant's certificate authority file.
    QString sslMode;
    QString sslRootCert;
    QStringList problems;
};

InstallationSetting parseSetting(const QString& text);

// Reads the setting file; a missing file is an empty setting.
InstallationSetting readSetting(const QString& path);

// The setting file: TABEL_CONFIG when the environment names one, else the system-wide
// file fixed at build time (/etc/tabel/tabel.conf).
QString settingFilePath();

// The default connection of this installation: the built-in default with the parts the
// setting gives put in its place.
QString installedDefault(const InstallationSetting& setting);

// The command line first, as fromArguments() reads it; without a server there, the
// installation's default.
QString fromArguments(const QStringList& args, const InstallationSetting& setting);

// The setting file of this installation, its problems written to the log.
InstallationSetting readInstalledSetting();

// What the client connects to at start: the arguments, then the setting file of this
// installation (its problems are written to the log), then the built-in default.
QString forThisWorkstation(const QStringList& args);

// The reports' connection for the arguments and a setting: to the setting's report server,
// or else to a hot standby among its servers; empty when the setting names a single
// server and no report server, or the command line names the server.
QString reportsFor(const QStringList& args, const InstallationSetting& setting);

}
