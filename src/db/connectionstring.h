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

// The account every workstation connects with first: it may only read the build stamp
// and call the sign-in, which hands back the login of the access code's role.
Account signInAccount();

// The string for a database name and server, on the given port (the plant uses 5432),
// with the sign-in account unless another is given, and the TLS mode of the installation.
QString compose(const QString& database, const QString& server, int port = 5432);
QString compose(const QString& database, const QString& server, int port, const Account& account,
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
// (lines "server = …", "database = …", "port = …", "sslmode = …", "sslrootcert = …";
// "#" starts a comment). An empty part keeps the built-in one. Lines that cannot be used are left out and described in
// `problems`, so a typo never reaches the connection string.
struct InstallationSetting {
    QString server;
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

// What the client connects to at start: the arguments, then the setting file of this
// installation (its problems are written to the log), then the built-in default.
QString forThisWorkstation(const QStringList& args);

}
